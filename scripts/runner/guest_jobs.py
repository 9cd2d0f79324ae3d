"""Runs one Windows program in the guest: a job file dropped into the guest's
job folder, which the guest's agent runs in the same working folder, and
whose output and exit code come back through the same folder.

  ID.job     the job, a shell script readable by its owner only; ID begins
             with the client's pid
  ID.run     taken by the guest; ID.out, ID.err and ID.rc its results
  ID.cancel  the client ended before its job: the guest ends it

When the client is ended before its program (a test's time-out ends it with
KILL), a watcher outside its process tree cancels the job: the guest does
not start it, or ends it.
"""

import os
import random
import shlex
import signal
import subprocess
import sys
import time
from pathlib import Path

from guest import GUEST_SCRIPTS, GuestError, refuse_control_characters, wake

POLL_SECONDS = 0.02
CHECKS_EVERY = 25
RUNNER = Path(__file__).resolve().parent


def _job_text(arguments, passed, in_wine):
    lines = [f"cd {shlex.quote(os.getcwd())} || exit 126"]
    lines += [f"export {name}={shlex.quote(value)}" for name, value in passed.items()]
    # VRL_WINEARCH=win64: the guest's second, 64-bit (WoW64) prefix.
    lines.append("loader=wine")
    lines.append(f'[ "${{VRL_WINEARCH:-win32}}" = win64 ] && {{ source {shlex.quote(str(GUEST_SCRIPTS / "guest-wow64"))} || exit 126; }}')
    command = " ".join(shlex.quote(argument) for argument in arguments)
    lines.append(f'exec "$loader" {command}' if in_wine else f"exec {command}")
    return "\n".join(lines) + "\n"


def run_in_guest(guest, shares, arguments, passed, in_wine=True):
    """Runs ARGUMENTS in GUEST's Wine (or its own system's shell) and passes
    back its output and exit code."""
    refuse_control_characters("the working folder", os.getcwd())
    if not guest.running():
        guest.boot(shares)
    if not guest.running():
        raise GuestError("the guest is not running")
    base = guest.jobs / f"{os.getpid()}-{random.randrange(10**9)}"
    job = Path(f"{base}.job")
    temporary = Path(f"{base}.tmp")
    descriptor = os.open(temporary, os.O_WRONLY | os.O_CREAT | os.O_EXCL | os.O_CLOEXEC, 0o600)
    with os.fdopen(descriptor, "w", encoding="utf-8", errors="surrogateescape") as file:
        file.write(_job_text(arguments, passed, in_wine))
    temporary.replace(job)
    wake(guest.state / "wake")
    _watch(base, guest.state / "wake")
    result = Path(f"{base}.rc")
    polls = 0
    while not result.exists():
        time.sleep(POLL_SECONDS)
        polls += 1
        if polls % CHECKS_EVERY:
            continue
        if guest.pid() is not None:
            # A guest runs: the one that took the job, or a new one that keeps it.
            if job.exists() or Path(f"{base}.run").exists() or result.exists():
                continue
            raise GuestError("the job is gone: its guest stopped while it ran, and another took over")
        if result.exists():
            break
        # The guest stopped (idle) before it took the job: taken back, a new guest runs it.
        try:
            job.replace(temporary)
        except OSError:
            _remove(base)
            raise GuestError("the guest stopped before the program ended")
        guest.boot(shares)
        temporary.replace(job)
        wake(guest.state / "wake")
    sys.stdout.flush()
    for name, stream in ((".out", sys.stdout.buffer), (".err", sys.stderr.buffer)):
        try:
            stream.write(Path(f"{base}{name}").read_bytes())
        except OSError:
            pass
        stream.flush()
    code = int(result.read_text().strip() or 125)
    _remove(base)
    return code


def _remove(base):
    for file in Path(base).parent.glob(Path(base).name + ".*"):
        file.unlink(missing_ok=True)


def _watch(base, wake_pipe):
    """The watcher runs apart from the client's process tree (setsid --fork
    leaves it to init), so that what ends the client, a signal to its tree
    or a time-out, never reaches it."""
    subprocess.run(["setsid", "--fork", sys.executable, str(RUNNER), "watch-job", str(os.getpid()), str(base),
                    str(wake_pipe)], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   close_fds=True)


def watch_job(client, base, wake_pipe):
    """Waits for the client to end. When it ended without taking its files
    away, the job was cancelled: one the guest has not begun is taken back,
    and the guest is asked to end one that runs."""
    for number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        signal.signal(number, signal.SIG_IGN)
    while True:
        try:
            os.kill(client, 0)
        except ProcessLookupError:
            break
        except PermissionError:
            pass
        time.sleep(0.5)
    base = Path(base)
    job, run, result = (Path(f"{base}{suffix}") for suffix in (".job", ".run", ".rc"))
    taken_back = False
    if not result.exists():
        try:
            job.replace(Path(f"{base}.taken"))
            taken_back = True
        except OSError:
            pass
    if result.exists() or taken_back or not run.exists():
        _remove(base)
    else:
        Path(f"{base}.cancel").touch()
        wake(wake_pipe)
