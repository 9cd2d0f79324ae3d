"""The Wine test guest: a small Debian machine under qemu's emulation, for
hosts whose kernel refuses 32-bit code. One state folder holds one guest:

  qemu.pid      its qemu; trusted only while that process is a qemu with
                this folder's job folder on its command line
  booted-by     the session of the run that booted it: only that run stops it
  console.log   what its system printed
  wake          a pipe through which the host wakes its agent
  jobs/         the job folder, shared with the guest (guest-agent)
  winevm.lock   start and stop take turns on it

The guest shares the folders it is booted with at the same paths, and stops
by itself after a while without jobs.
"""

import os
import sys
import re
import signal
import subprocess
import time
from pathlib import Path

import processes
import sessions
from locks import FileLock

HERE = Path(__file__).resolve().parent
GUEST_SCRIPTS = HERE.parent / "winevm"
BOOT_DEADLINE_SECONDS = 900
# The kernel keeps 2048 bytes of its command line.
COMMAND_LINE_LIMIT = 2000
PANIC = re.compile(r"Kernel panic|Attempted to kill init")
CONSOLE_LINES_SHOWN = 20
# The guest's memory holds its Wine prefixes (guest-agent mounts them in
# memory, up to 6 GiB): a 32-bit prefix takes about 0.6 GiB and a WoW64 one
# about 1.3 GiB, and the native lane's demo makes a pair of its own beside the
# guest's pair. Memory the guest never touches costs the host nothing.
GUEST_MEMORY_MIB = 8192
SHUTDOWN_STEP_SECONDS = 5


class GuestError(Exception):
    """A guest that cannot be booted, stopped or used."""


def refuse_control_characters(what, path):
    """A path with a line feed, a tab or another control character does not
    reach the guest intact, nor Wine, whose file names cannot hold them."""
    if any(ord(letter) < 32 or ord(letter) == 127 for letter in str(path)):
        raise GuestError(f"{what} holds a control character (such as a line feed or a tab),"
                         f" which the guest cannot take: {str(path)!r}")


def wake(pipe):
    """Wakes the agent. Opened for reading and writing, the pipe never blocks
    when nobody reads it."""
    try:
        descriptor = os.open(pipe, os.O_RDWR | os.O_NONBLOCK | os.O_CLOEXEC)
    except OSError:
        return
    try:
        os.write(descriptor, b"x")
    except OSError:
        pass
    finally:
        os.close(descriptor)


class Guest:
    def __init__(self, state, settings):
        self.state = Path(os.path.abspath(state))
        self.settings = settings
        self.jobs = self.state / "jobs"
        self.lock = FileLock(self.state / "winevm.lock")

    # What runs.
    def pid(self):
        try:
            pid = int((self.state / "qemu.pid").read_text().split()[0])
        except (OSError, ValueError, IndexError):
            return None
        return pid if self._is_mine(pid) else None

    def _is_mine(self, pid):
        guest = processes.guest_process(pid)
        return guest is not None and processes.same_folder(guest.jobs, self.jobs)

    def running(self):
        return (self.jobs / "ready").exists() and self.pid() is not None

    def owner(self):
        try:
            return (self.state / "booted-by").read_text().strip()
        except OSError:
            return None

    # Boot.
    def boot(self, shares):
        """Boots the guest unless it runs; records this run's session as the
        one that booted it."""
        refuse_control_characters("the state folder", self.state)
        agent = Path(os.path.abspath(self.settings.guest_init or GUEST_SCRIPTS / "guest-agent"))
        refuse_control_characters("the guest's first script", agent)
        for share in shares:
            refuse_control_characters("the shared folder", os.path.abspath(share))
        self.state.mkdir(parents=True, exist_ok=True)
        with self.lock:
            pid = self.pid()
            if pid is not None:
                # A guest that is shutting down (idle too long) is let go first.
                for _ in range(60):
                    if (self.jobs / "ready").exists():
                        return False
                    if not self._is_mine(pid):
                        break
                    time.sleep(0.5)
                if self._is_mine(pid):
                    self._kill(pid)
            self._boot(agent, shares)
            return True

    def _boot(self, agent, shares):
        image = subprocess.run([str(GUEST_SCRIPTS / "build-image"), "--if-missing"],
                               env=self._image_environment())
        if image.returncode != 0:
            raise GuestError("there is no guest image to boot")
        for name in ("qemu.pid", "console.log", "wake", "booted-by"):
            (self.state / name).unlink(missing_ok=True)
        self._fresh_job_folder()
        os.mkfifo(self.state / "wake")
        append = ["root=/dev/vda", "rw", "console=ttyS0", "quiet", "panic=1", "init=/usr/sbin/vrl-guest-boot",
                  f"vrl.init={processes.encode(str(agent))}", f"{processes.JOBS_WORD}{processes.encode(str(self.jobs))}",
                  f"vrl.idle={self.settings.idle_timeout}"]
        shared = []
        for folder in (os.path.realpath(share) for share in shares):
            # A folder inside another shared folder is visible through that one.
            if folder in shared or any(processes.inside(folder, other) and other != folder
                                       for other in map(os.path.realpath, shares)):
                continue
            shared.append(folder)
        virtfs = []
        for number, folder in enumerate(shared):
            append.append(f"{processes.SHARE_WORD}{processes.encode(folder)}")
            virtfs += ["-virtfs", f"local,path={_option(folder)},mount_tag=share{number},security_model=none,id=share{number}"]
        command_line = " ".join(append)
        if len(command_line) >= COMMAND_LINE_LIMIT:
            raise GuestError("the shared folders' paths are too long for the guest's command line")
        cache = self.settings.vm_cache
        subprocess.run(
            ["qemu-system-x86_64", "-accel", "tcg,thread=multi", "-cpu", "max,-smap", "-smp", str(os.cpu_count() or 1),
             "-m", str(GUEST_MEMORY_MIB), "-no-reboot", "-kernel", str(cache / "vmlinuz"), "-initrd", str(cache / "initrd.img"),
             "-append", command_line, "-drive", f"file={_option(cache / 'rootfs.img')},if=virtio,format=raw,snapshot=on",
             *virtfs, "-nic", "none", "-display", "none",
             "-chardev", f"file,id=console,path={_option(self.state / 'console.log')}", "-serial", "chardev:console",
             "-chardev", f"pipe,id=wake,path={_option(self.state / 'wake')}", "-device", "virtio-serial",
             "-device", "virtserialport,chardev=wake,name=vrl.wake",
             "-daemonize", "-pidfile", str(self.state / "qemu.pid")], check=True, stdin=subprocess.DEVNULL)
        pid = int((self.state / "qemu.pid").read_text().split()[0])
        sessions.record_boot(self.settings.session, self.state)
        (self.state / "booted-by").write_text(self.settings.session + "\n")
        deadline = time.monotonic() + BOOT_DEADLINE_SECONDS
        while not (self.jobs / "ready").exists():
            if not self._is_mine(pid):
                self._fail(pid, "the guest ended while it booted")
            if PANIC.search(self._console()):
                self._fail(pid, "the guest's system failed while it booted")
            if time.monotonic() > deadline:
                self._fail(pid, "the guest did not come up within 15 minutes")
            time.sleep(0.5)

    def _image_environment(self):
        environment = dict(os.environ)
        environment["VRL_VM_CACHE"] = str(self.settings.vm_cache)
        return environment

    def _fresh_job_folder(self):
        """What the last guest left goes, but a job that it had not taken stays
        while its client runs (the file names begin with the client's pid):
        the client may have queued it just as the last guest stopped."""
        self.jobs.mkdir(parents=True, exist_ok=True)
        for entry in self.jobs.iterdir():
            client = entry.name.split("-", 1)[0]
            if entry.suffix in (".job", ".tmp") and client.isdigit() and _alive(int(client)):
                continue
            if entry.is_dir():
                subprocess.run(["rm", "-rf", str(entry)])
            else:
                entry.unlink(missing_ok=True)

    def _console(self):
        try:
            return (self.state / "console.log").read_text(errors="replace")
        except OSError:
            return ""

    def _fail(self, pid, why):
        lines = self._console().splitlines()
        panic = next((number for number, line in enumerate(lines) if PANIC.search(line)), None)
        if panic is not None:
            shown = lines[max(0, panic - CONSOLE_LINES_SHOWN + 1):panic + 1]
            what = f"its console log ({self.state / 'console.log'}) up to the panic"
        else:
            shown = lines[-CONSOLE_LINES_SHOWN:]
            what = f"the end of its console log ({self.state / 'console.log'})"
        self._kill(pid)
        (self.state / "qemu.pid").unlink(missing_ok=True)
        raise GuestError(f"{why}; {what}:" + "".join(f"\n  | {line}" for line in shown))

    def _kill(self, pid):
        _signal(pid, signal.SIGKILL)
        self._wait_end(pid, 2)

    def _wait_end(self, pid, seconds):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if not self._is_mine(pid):
                return True
            time.sleep(0.1)
        return not self._is_mine(pid)

    # Stop.
    def stop(self):
        """Asks the guest to shut down and waits until it has ended; switches
        it off when it does not in time."""
        if not self.state.is_dir():
            return
        with self.lock:
            pid = self.pid()
            if pid is not None:
                (self.jobs / "stop").touch()
                wake(self.state / "wake")
                if not self._wait_end(pid, self.settings.stop_grace):
                    print("winevm: the guest did not shut down; switching it off", file=sys.stderr)
                    _signal(pid, signal.SIGTERM)
                    if not self._wait_end(pid, SHUTDOWN_STEP_SECONDS):
                        _signal(pid, signal.SIGKILL)
                        if not self._wait_end(pid, SHUTDOWN_STEP_SECONDS):
                            raise GuestError(f"qemu (pid {pid}) does not end")
            for name in ("qemu.pid", "jobs/ready", "booted-by"):
                (self.state / name).unlink(missing_ok=True)

    def stop_if_booted_by(self, session):
        """Stops the guest when the run of SESSION booted it."""
        if self.pid() is not None and self.owner() == session:
            self.stop()
            return True
        return False


def _option(path):
    """A value in one of qemu's option lists, where a comma is doubled."""
    return str(path).replace(",", ",,")


def _alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    except PermissionError:
        return True
    return True


def _signal(pid, number):
    try:
        os.kill(pid, number)
    except OSError:
        pass
