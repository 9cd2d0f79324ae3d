"""Finds this host's Wine processes and guest machines in /proc.

A Wine process is known by the WINEPREFIX of its environment, a guest by the
job folder on the kernel command line that its qemu was given. Paths are
taken whole: blanks and any other letter included.
"""

import fnmatch
import os
import re
from dataclasses import dataclass
from pathlib import Path

GUEST_COMMAND = "qemu-system-x86"
JOBS_WORD = "vrl.jobs="
SHARE_WORD = "vrl.share="


@dataclass(frozen=True)
class WineProcess:
    pid: int
    prefix: str
    command: str


def _read(path):
    try:
        return Path(path).read_bytes()
    except OSError:
        return None


def command_of(pid):
    name = _read(f"/proc/{pid}/comm")
    return None if name is None else name.decode(errors="replace").rstrip("\n")


def _prefix_of(pid):
    environment = _read(f"/proc/{pid}/environ")
    if not environment:
        return None
    for entry in environment.split(b"\0"):
        if entry.startswith(b"WINEPREFIX="):
            return os.fsdecode(entry[len(b"WINEPREFIX="):])
    return None


def _pids():
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            yield int(entry)


def running(pid):
    """Whether PID is a process that has not ended (a zombie has)."""
    stat = _read(f"/proc/{pid}/stat")
    try:
        return bool(stat) and stat.rsplit(b")", 1)[1].split()[0] != b"Z"
    except IndexError:
        return False


def descendants(pid):
    """The processes below PID: its children, theirs, and so on."""
    children = {}
    for child in _pids():
        stat = _read(f"/proc/{child}/stat")
        if stat:
            try:
                parent = int(stat.rsplit(b")", 1)[1].split()[1])
            except (IndexError, ValueError):
                continue
            children.setdefault(parent, []).append(child)
    found, waiting = [], list(children.get(pid, []))
    while waiting:
        child = waiting.pop()
        found.append(child)
        waiting.extend(children.get(child, []))
    return found


def inside(path, folder):
    """Whether PATH is FOLDER or lies in it (as text: either may be gone)."""
    path, folder = str(path).rstrip("/") or "/", str(folder).rstrip("/") or "/"
    return path == folder or path.startswith(folder + "/")


def wine_processes(folder, command_pattern="*"):
    """The processes whose Wine prefix is FOLDER or lies inside it."""
    found = []
    for pid in _pids():
        command = command_of(pid)
        if command is None or not fnmatch.fnmatchcase(command, command_pattern):
            continue
        prefix = _prefix_of(pid)
        if prefix and inside(prefix, folder):
            found.append(WineProcess(pid, prefix.rstrip("/"), command))
    return found


def wine_server_pid(prefix):
    """The pid of the Wine server of exactly PREFIX, or None."""
    wanted = str(prefix).rstrip("/")
    for process in wine_processes(prefix, "wineserver*"):
        if process.prefix == wanted:
            return process.pid
    return None


def encode(text):
    """A path as it travels on a kernel command line: every byte but letters,
    digits and / . _ - as %XX."""
    safe = b"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789/._-"
    return "".join(chr(byte) if byte in safe else f"%{byte:02X}" for byte in os.fsencode(text))


def decode(text):
    return os.fsdecode(re.sub(rb"%([0-9A-Fa-f]{2})", lambda match: bytes([int(match[1], 16)]), os.fsencode(text)))


@dataclass(frozen=True)
class GuestProcess:
    pid: int
    jobs: str
    shares: tuple


def guest_process(pid):
    """The guest machine that PID runs, or None when it is no guest's qemu."""
    if command_of(pid) != GUEST_COMMAND:
        return None
    arguments = (_read(f"/proc/{pid}/cmdline") or b"").split(b"\0")
    jobs, shares = None, []
    for option, value in zip(arguments, arguments[1:]):
        if option != b"-append":
            continue
        for word in value.decode("ascii", errors="replace").split():
            if word.startswith(JOBS_WORD):
                jobs = decode(word[len(JOBS_WORD):])
            elif word.startswith(SHARE_WORD):
                shares.append(decode(word[len(SHARE_WORD):]))
    return GuestProcess(pid, jobs, tuple(shares)) if jobs else None


def guest_processes():
    return [guest for guest in map(guest_process, _pids()) if guest]


def same_folder(first, second):
    try:
        return os.path.samefile(first, second)
    except OSError:
        return False
