"""The one runner of Windows programs: every program of the build, the tests,
the demo, the packaging and the benchmarks runs through it, in this host's
own Wine (the native lane) or in the test guest's (the guest lane). Nothing
else boots or stops a guest, makes or ends a prefix, or chooses a lane.

  wine --bits=32|64 [OPTIONS] [--] PROGRAM [ARG...]   runs a program
  wine --bits=N [OPTIONS] --fresh    a new, empty prefix (or a running guest)
  wine --bits=N [OPTIONS] --end      ends the home's Wine and removes its
                                     prefixes; in the guest lane, stops the
                                     guest when this session booted it
  wine --bits=N --lane               prints the lane: native or guest
  wine --bits=N --state=DIR --share=DIR... --guest-system -- COMMAND [ARG...]
                                     runs a command of the guest's own
                                     system, not of its Wine (the guest lane)
      OPTIONS: --home=DIR (the host prefix's folder), --state=DIR (the
      guest's state folder; by default the checkout's build/winevm),
      --share=DIR (a folder the guest must see; may repeat; by default the
      checkout), --linger=SECONDS, --wow64 (a 32-bit program beside 64-bit
      ones, in a WoW64 prefix)
  session [--] COMMAND [ARG...]      runs COMMAND as a session: what the
                                     runner boots or starts for it is
                                     stopped when it ends, however it ends
  guest-start STATE SHARE...         boots the guest of STATE
  guest-stop STATE                   stops it, whoever booted it
  status [CHECKOUT]                  the guests and host Wine servers of a checkout
  processes FOLDER                   the Wine processes of prefixes in FOLDER
  kernel32                           whether this kernel runs 32-bit code

Exit code 125: the runner could not run the program (the program's own code
otherwise); 2: a usage error.
"""

import os
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import guest_jobs
import lanes
import processes
import sessions
from guest import Guest, GuestError
from host_wine import HostWine, PrefixError
from settings import Settings, SettingError

CHECKOUT = Path(__file__).resolve().parents[2]
# The guest of a run that names none: the one the 32-bit build's tests use,
# which sees the checkout.
DEFAULT_GUEST_STATE = CHECKOUT / "build" / "winevm"
CANNOT_RUN = 125
USAGE = 2
INTERRUPTED = 130


class UsageError(Exception):
    pass


def _say(message):
    print(f"winevm: {message}" if not message.startswith(("wine-lane:", "winevm:")) else message, file=sys.stderr)


def _options(arguments):
    options = {"bits": None, "home": None, "state": None, "shares": [], "linger": None, "wow64": None,
               "action": "run", "guest_system": False}
    while arguments:
        argument = arguments[0]
        name, _, value = argument.partition("=")
        if argument == "--":
            arguments = arguments[1:]
            break
        if name == "--bits" and value in ("32", "64"):
            options["bits"] = int(value)
        elif name == "--home" and value:
            options["home"] = value
        elif name == "--state" and value:
            options["state"] = value
        elif name == "--share" and value:
            options["shares"].append(value)
        elif name == "--linger" and value.isdigit() and int(value) > 0:
            options["linger"] = int(value)
        elif argument == "--wow64":
            options["wow64"] = True
        elif argument == "--guest-system":
            options["guest_system"] = True
        elif argument in ("--fresh", "--end", "--lane"):
            options["action"] = argument[2:]
        elif argument.startswith("--"):
            raise UsageError(f"unknown option {argument}")
        else:
            break
        arguments = arguments[1:]
    if options["bits"] is None:
        raise UsageError("--bits=32 or --bits=64")
    options["program"] = arguments
    return options


PROGRAM_GRACE_SECONDS = 3
SCRIPT_GRACE_SECONDS = 10
STOPPING_SIGNALS = (signal.SIGINT, signal.SIGTERM, signal.SIGHUP)


def _raise_interrupt(_number, _frame):
    raise KeyboardInterrupt


def _run_to_end(process, grace, whole_tree=False):
    """Waits for PROCESS. An interrupt (Ctrl-C), TERM or HUP asks it to end
    with TERM, and ends it with KILL when it has not within GRACE seconds (a
    Windows program may ignore the terminal's interrupt); the exit code then
    names the signal that came, as a shell's does. With WHOLE_TREE, the
    signal itself goes to PROCESS and every process below it instead (a
    script waits for its running command before it takes a signal)."""
    received = []
    signalled = []

    def ask_to_end(number, _frame):
        if received:
            return
        received.append(number)
        targets = [process.pid, *processes.descendants(process.pid)] if whole_tree else [process.pid]
        signalled.extend(targets[1:])
        for pid in targets:
            try:
                os.kill(pid, number if whole_tree else signal.SIGTERM)
            except OSError:
                pass
    for number in STOPPING_SIGNALS:
        signal.signal(number, ask_to_end)
    deadline = None
    while True:
        try:
            code = process.wait(timeout=0.2)
            break
        except subprocess.TimeoutExpired:
            pass
        if received and deadline is None:
            deadline = time.monotonic() + grace
        if deadline is not None and time.monotonic() > deadline:
            for pid in ([*processes.descendants(process.pid), process.pid] if whole_tree else [process.pid]):
                try:
                    os.kill(pid, signal.SIGKILL)
                except OSError:
                    pass
    if signalled:
        _end_stragglers(signalled, deadline if deadline is not None else time.monotonic() + grace)
    for number in STOPPING_SIGNALS:
        signal.signal(number, _raise_interrupt)
    if received:
        return 128 + received[0]
    return 128 - code if code < 0 else code


def _end_stragglers(signalled, deadline):
    """The processes that had the signal with the script may outlive it: a
    test that ctest started goes on once ctest has gone, as an orphan. Each
    still running at DEADLINE is killed, with whatever it started since."""
    while time.monotonic() < deadline and any(map(processes.running, signalled)):
        time.sleep(0.2)
    for pid in signalled:
        if processes.running(pid):
            for straggler in [*processes.descendants(pid), pid]:
                try:
                    os.kill(straggler, signal.SIGKILL)
                except OSError:
                    pass


def wine(arguments, settings):
    options = _options(arguments)
    bits = options["bits"]
    wow64 = settings.wow64 if options["wow64"] is None else options["wow64"]
    linger = options["linger"] or settings.linger
    lane = lanes.choose(bits, settings)
    if options["action"] == "lane":
        if lane.fallback and not (bits == 32 and settings.lane32):
            _say(f"wine-lane: {lane.fallback}; running in the test guest instead")
        print(lane.name)
        return 0
    if options["guest_system"] and (lane.name != "guest" or options["action"] != "run"):
        raise UsageError("--guest-system runs a command in the guest lane only")
    if lane.name == "guest":
        guest = Guest(options["state"] or str(DEFAULT_GUEST_STATE), settings)
        shares = options["shares"] or [str(CHECKOUT)]
        if options["action"] == "end":
            guest.stop_if_booted_by(settings.session)
            return 0
        program = options["program"] if options["action"] == "run" else ["cmd", "/c", "exit"]
        if not program:
            raise UsageError("no program to run")
        passed = dict(settings.passed_to_guest)
        if bits == 64 or wow64:
            passed["VRL_WINEARCH"] = "win64"
        return guest_jobs.run_in_guest(guest, shares, program, passed, not options["guest_system"])
    if not options["home"]:
        raise UsageError("no --home folder given")
    host = HostWine(Path(options["home"]).absolute(), bits, wow64, linger)
    if options["action"] == "end":
        host.end()
        return 0
    if options["action"] == "fresh":
        host.fresh()
        sessions.record_home(settings.session, host.home)
        return 0
    if not options["program"]:
        raise UsageError("no program to run")
    if not host.ready():
        # The prefix is made, and its server started, for this session: an
        # interrupt while wineboot runs must still end them with the session.
        sessions.record_home(settings.session, host.home)
    if host.prepare():
        sessions.record_home(settings.session, host.home)
    try:
        process = subprocess.Popen([str(host.loader), *options["program"]], env=host.environment(), close_fds=True)
    except OSError as error:
        raise PrefixError(f"cannot start {host.loader}: {error}")
    return _run_to_end(process, PROGRAM_GRACE_SECONDS)


def session(arguments, settings):
    if arguments[:1] == ["--"]:
        arguments = arguments[1:]
    if not arguments:
        raise UsageError("session: no command")
    folder = tempfile.mkdtemp(prefix="vrl-session.")
    environment = dict(os.environ, VRL_RUNNER_SESSION=folder, VRL_RUNNER_SESSION_SCRIPT=arguments[0])
    try:
        process = subprocess.Popen(arguments, env=environment)
        code = _run_to_end(process, SCRIPT_GRACE_SECONDS, whole_tree=True)
    finally:
        end_session(folder, Settings.from_environment(environment))
    return code


def end_session(folder, settings):
    """Stops the guests that the session booted, and the Wine servers that it
    started on this host where no program uses them any more."""
    for state in sessions.recorded(folder, "guests"):
        try:
            Guest(state, settings).stop_if_booted_by(folder)
        except GuestError as error:
            _say(str(error))
    for home in sessions.recorded(folder, "homes"):
        HostWine(Path(home), 64, False, settings.linger).end_if_unused()
    subprocess.run(["rm", "-rf", folder])


def status(arguments):
    checkout = Path(arguments[0]) if arguments else CHECKOUT
    if not checkout.is_dir():
        raise UsageError(f"status: {checkout}: no such folder")
    checkout = checkout.resolve()
    now = time.time()
    ticks = os.sysconf("SC_CLK_TCK")
    uptime = float(Path("/proc/uptime").read_text().split()[0])
    rows = []
    for guest in processes.guest_processes():
        state = os.path.dirname(guest.jobs)
        if not any(processes.inside(folder, checkout) for folder in (*guest.shares, state)):
            continue
        jobs = Path(guest.jobs)
        if (jobs / "stopped").exists() or (jobs / "stop").exists():
            what = "stopping"
        elif (jobs / "ready").exists():
            what = "ready"
        else:
            what = "booting"
        try:
            last = jobs.stat().st_mtime
        except OSError:
            last = now
        rows.append((guest.pid, what, _duration(uptime - _started(guest.pid) / ticks), _duration(now - last), state))
    if rows:
        print(f"{'PID':<8} {'STATE':<9} {'UP':<9} {'LAST-JOB':<9} FOLDER")
        for row in rows:
            print(f"{row[0]:<8} {row[1]:<9} {row[2]:<9} {row[3]:<9} {row[4]}")
    else:
        print(f"no guest of {checkout} is running")
    servers, counts = {}, {}
    for process in processes.wine_processes(checkout):
        counts[process.prefix] = counts.get(process.prefix, 0) + 1
        if process.command.startswith("wineserver"):
            servers[process.prefix] = process.pid
    if not servers:
        print(f"no Wine server of {checkout} is running on this host")
        return 0
    print(f"{'PID':<8} {'UP':<9} {'PROCESSES':<9} PREFIX")
    for prefix, pid in servers.items():
        print(f"{pid:<8} {_duration(uptime - _started(pid) / ticks):<9} {counts[prefix]:<9} {prefix}")
    return 0


def _started(pid):
    try:
        return int(Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()[19])
    except (OSError, IndexError, ValueError):
        return 0


def _duration(seconds):
    seconds = max(0, int(seconds))
    return f"{seconds // 60}m{seconds % 60:02d}s"


def main(arguments):
    if not arguments:
        raise UsageError("a command: wine, session, guest-start, guest-stop, status, processes, kernel32")
    command, rest = arguments[0], arguments[1:]
    settings = Settings.from_environment()
    if command == "wine":
        return wine(rest, settings)
    if command == "session":
        return session(rest, settings)
    if command == "guest-start" and rest:
        Guest(rest[0], settings).boot(rest[1:])
        return 0
    if command == "guest-stop" and len(rest) == 1:
        Guest(rest[0], settings).stop()
        return 0
    if command == "status":
        return status(rest)
    if command == "processes" and len(rest) == 1:
        for process in processes.wine_processes(os.path.abspath(rest[0])):
            print(f"{process.pid}\t{process.command}\t{process.prefix}")
        return 0
    if command == "kernel32":
        answer = lanes.kernel_answer(settings)
        print("yes" if answer.runs_32_bit else f"no ({answer.reason})")
        return 0 if answer.runs_32_bit else 1
    if command == "end-session" and len(rest) == 1:
        end_session(rest[0], settings)
        return 0
    if command == "watch-job" and len(rest) == 3:
        guest_jobs.watch_job(int(rest[0]), rest[1], rest[2])
        return 0
    raise UsageError(f"unknown command or arguments: {' '.join(arguments)}")


if __name__ == "__main__":
    # TERM and HUP end the runner as an interrupt does: a program in the
    # guest is cancelled, a half-made prefix stays unready.
    for stopping in STOPPING_SIGNALS[1:]:
        signal.signal(stopping, _raise_interrupt)
    try:
        sys.exit(main(sys.argv[1:]))
    except UsageError as error:
        print(f"runner: {error}", file=sys.stderr)
        sys.exit(USAGE)
    except (SettingError, lanes.LaneError, PrefixError, GuestError) as error:
        _say(str(error))
        sys.exit(CANNOT_RUN)
    except KeyboardInterrupt:
        sys.exit(INTERRUPTED)
