"""Wine prefixes on this host: one home folder holds a prefix per kind (the
plain one of its bitness, and a WoW64 one for 32-bit programs beside 64-bit
ones), their locks and the log of the last wineboot.

Locks of a home, always taken in this order:
  prefix.lock  alone, while a prefix is looked at, made, started or ended
  users.lock   shared by every program that runs; alone to end a prefix, so
               that no prefix is ended under a program that uses it

The Wine server of a prefix ends by itself some seconds (the linger) after
its last program. It and Wine's background services are always started by a
program of the runner's own, with none of the caller's pipes: a service that
inherited a test's output would hold it open as long as it lives.
"""

import os
import shutil
import subprocess
import time
from pathlib import Path

import lanes
import processes
from locks import FileLock

READY_MARK = ".vrl-ready"
QUIET = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
LOG_LINES_SHOWN = 15
# How long the end of a run waits for its programs to end (the runner gives
# an interrupted Windows program 3 s before it kills it).
ENDING_PROGRAM_SECONDS = 5


class PrefixError(Exception):
    """A prefix that could not be made or started."""


class HostWine:
    def __init__(self, home, bits, wow64, linger):
        self.home = Path(home)
        self.bits = bits
        self.linger = linger
        if bits == 64:
            self.loader, self.server, self.prefix, self.arch = lanes.LOADER64, lanes.SERVER64, self.home / "prefix", "win64"
        elif wow64:
            # The 64-bit loader starts 32-bit programs through its 32-bit twin.
            self.loader, self.server, self.prefix, self.arch = lanes.LOADER64, lanes.SERVER64, self.home / "prefix-wow64", "win64"
        else:
            self.loader, self.server, self.prefix, self.arch = lanes.LOADER32, lanes.SERVER32, self.home / "prefix", "win32"
        self.prefix_lock = FileLock(self.home / "prefix.lock")
        self.users_lock = FileLock(self.home / "users.lock")
        self.wineboot_log = self.home / "wineboot.log"

    def environment(self, prefix=None, server=None, loader=None):
        environment = dict(os.environ)
        environment.update(WINEPREFIX=str(prefix or self.prefix), WINEARCH=self.arch, WINEDEBUG="-all",
                           WINELOADER=str(loader or self.loader), WINESERVER=str(server or self.server),
                           # No Mono or Gecko prompts, and no debugger: a crash ends the program at once.
                           WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d")
        return environment

    def ready(self):
        return (self.prefix / READY_MARK).exists()

    def server_running(self, prefix=None):
        return processes.wine_server_pid(prefix or self.prefix) is not None

    def _start_server(self):
        subprocess.run([str(self.server), f"-p{self.linger}"], env=self.environment(), **QUIET)
        subprocess.run([str(self.loader), "cmd", "/c", "exit"], env=self.environment(), **QUIET)

    def _make(self):
        """A new prefix, marked ready only when wineboot made it."""
        self.prefix.mkdir(parents=True, exist_ok=True)
        subprocess.run([str(self.server), f"-p{self.linger}"], env=self.environment(), **QUIET)
        with open(self.wineboot_log, "wb") as log:
            booted = subprocess.run([str(self.loader), "wineboot", "-i"], env=self.environment(),
                                    stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        if booted.returncode != 0:
            self._end_one(self.prefix, self.server)
            tail = self.wineboot_log.read_text(errors="replace").splitlines()[-LOG_LINES_SHOWN:]
            shown = "".join(f"\n  | {line}" for line in tail)
            raise PrefixError(f"wineboot could not make the prefix {self.prefix} (exit code {booted.returncode});"
                              f" the end of {self.wineboot_log}:{shown}")
        subprocess.run([str(self.loader), "cmd", "/c", "exit"], env=self.environment(), **QUIET)
        (self.prefix / READY_MARK).touch()

    def _end_server(self, prefix, server):
        """Ends the prefix's server and every program of it, and waits for them."""
        environment = self.environment(prefix=prefix, server=server)
        subprocess.run([str(server), "-k"], env=environment, **QUIET)
        subprocess.run([str(server), "-w"], env=environment, **QUIET)

    def _end_one(self, prefix, server):
        if prefix.is_dir():
            self._end_server(prefix, server)
        shutil.rmtree(prefix, ignore_errors=True)

    def _prefixes(self):
        """Each prefix of the home with the server of its kind."""
        plain_server = lanes.SERVER64 if self.bits == 64 else lanes.SERVER32
        return ((self.home / "prefix", plain_server), (self.home / "prefix-wow64", lanes.SERVER64))

    def _end_all(self):
        for prefix, server in self._prefixes():
            self._end_one(prefix, server)

    def end(self):
        """Ends the home's Wine and removes its prefixes, once no program of
        another run uses them."""
        self.home.mkdir(parents=True, exist_ok=True)
        with self.prefix_lock, self.users_lock:
            self._end_all()

    def fresh(self):
        """A new, empty prefix in place of the old ones."""
        self.home.mkdir(parents=True, exist_ok=True)
        with self.prefix_lock, self.users_lock:
            self._end_all()
            self._make()

    def end_if_unused(self):
        """Ends the home's Wine servers at once when no program uses them (a
        run that started them is over); a later program starts them again."""
        if not self.home.is_dir():
            return
        with self.prefix_lock:
            # A program that the run's end interrupted may still be ending.
            deadline = time.monotonic() + ENDING_PROGRAM_SECONDS
            while not self.users_lock.acquire(wait=False):
                if time.monotonic() > deadline:
                    return
                time.sleep(0.1)
            try:
                # The server of whichever bitness runs there: a session
                # records homes, not their bitness.
                for prefix in (self.home / "prefix", self.home / "prefix-wow64"):
                    for process in processes.wine_processes(prefix, "wineserver*"):
                        if process.prefix == str(prefix):
                            wine64 = process.command == "wineserver64"
                            self._end_server(prefix, lanes.SERVER64 if wine64 else lanes.SERVER32)
            finally:
                self.users_lock.release()

    def prepare(self):
        """Makes the prefix ready and its server running, and takes this
        program's share of the users' lock; the caller releases it. True
        when it started the server."""
        self.home.mkdir(parents=True, exist_ok=True)
        started = False
        with self.prefix_lock:
            if not self.ready():
                # A prefix that is not ready may still have programs of a run
                # that made it before: it is ended only when none does.
                with self.users_lock:
                    self._end_one(self.prefix, self.server)
                    self._make()
                started = True
            elif not self.server_running():
                self._start_server()
                started = True
            self.users_lock.acquire(shared=True)
        return started
