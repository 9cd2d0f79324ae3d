"""Which Wine runs a program of each bitness: this host's own (native) or the
test guest's (guest).

The 64-bit lane is native wherever Debian's 64-bit Wine is installed. The
32-bit lane is native where the kernel runs 32-bit code and 32-bit Wine is
installed; elsewhere it is the guest. VRL_LANE32 asks for one of them. The
kernel's answer is the one thing kept: it holds until the machine boots
again, so it is kept with the boot's id, in one file of the user's cache.
"""

import errno
import os
import struct
import subprocess
import tempfile
from dataclasses import dataclass
from pathlib import Path

LOADER32 = Path("/usr/lib/wine/wine")
SERVER32 = Path("/usr/lib/wine/wineserver")
LOADER64 = Path("/usr/lib/wine/wine64")
SERVER64 = Path("/usr/lib/wine/wineserver64")
BOOT_ID = Path("/proc/sys/kernel/random/boot_id")
KERNEL_ANSWER_FILE = "kernel32"
PROBE_EXIT_CODE = 42


class LaneError(Exception):
    """A lane that was asked for and cannot be had."""


def _probe_program():
    """A static 32-bit x86 Linux program that only exits with 42 through the
    32-bit system call gate: it runs exactly when the kernel runs 32-bit code."""
    base, header_size, program_header_size = 0x08048000, 52, 32
    code = bytes([0xB8, 1, 0, 0, 0,                    # mov eax, 1 (exit)
                  0xBB, PROBE_EXIT_CODE, 0, 0, 0,      # mov ebx, 42
                  0xCD, 0x80])                         # int 0x80
    size = header_size + program_header_size + len(code)
    elf_header = struct.pack("<16sHHIIIIIHHHHHH", b"\x7fELF\x01\x01\x01" + bytes(9), 2, 3, 1,
                             base + header_size + program_header_size, header_size, 0, 0,
                             header_size, program_header_size, 1, 0, 0, 0)
    program_header = struct.pack("<IIIIIIII", 1, 0, base, base, size, size, 5, 0x1000)
    return elf_header + program_header + code


def _run_probe(path, pass_fds=()):
    """True or False for the kernel's answer; None when the program could not
    be started for another reason (a folder mounted noexec)."""
    try:
        result = subprocess.run([path], pass_fds=pass_fds, stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)
    except OSError as error:
        return False if error.errno == errno.ENOEXEC else None
    except subprocess.TimeoutExpired:
        return None
    return result.returncode == PROBE_EXIT_CODE


def ask_kernel(scratch_folder):
    """Runs the probe from memory, or from SCRATCH_FOLDER where memory files
    may not be run: yes, no, or None when neither can tell."""
    program = _probe_program()
    try:
        descriptor = os.memfd_create("vrl-probe32", 0)
    except (AttributeError, OSError):
        descriptor = None
    if descriptor is not None:
        try:
            os.write(descriptor, program)
            answer = _run_probe(f"/proc/self/fd/{descriptor}", pass_fds=(descriptor,))
        finally:
            os.close(descriptor)
        if answer is not None:
            return answer
    scratch_folder.mkdir(parents=True, exist_ok=True)
    with tempfile.TemporaryDirectory(dir=scratch_folder) as work:
        path = Path(work) / "probe32"
        path.write_bytes(program)
        path.chmod(0o700)
        return _run_probe(str(path))


@dataclass(frozen=True)
class KernelAnswer:
    runs_32_bit: bool
    reason: str


def kernel_answer(settings):
    """Whether the kernel runs 32-bit code, kept for this boot of the machine."""
    if settings.host32:
        if settings.host32 == "yes":
            return KernelAnswer(True, "")
        return KernelAnswer(False, f"VRL_HOST32={settings.host32}")
    boot = BOOT_ID.read_text().strip() if BOOT_ID.exists() else "unknown"
    kept = settings.cache / KERNEL_ANSWER_FILE
    try:
        kept_boot, kept_answer = kept.read_text().splitlines()[:2]
        if kept_boot == boot and kept_answer in ("yes", "no"):
            return _answer(kept_answer == "yes")
    except (OSError, ValueError):
        pass
    runs = ask_kernel(settings.cache)
    if runs is None:
        return KernelAnswer(False, "the 32-bit probe could not be started here")
    try:
        settings.cache.mkdir(parents=True, exist_ok=True)
        temporary = kept.with_name(f"{kept.name}.{os.getpid()}")
        temporary.write_text(f"{boot}\n{'yes' if runs else 'no'}\n")
        temporary.replace(kept)
    except OSError:
        pass
    return _answer(runs)


def _answer(runs):
    return KernelAnswer(True, "") if runs else KernelAnswer(False, "the kernel refuses 32-bit programs")


@dataclass(frozen=True)
class Lane:
    name: str        # "native" or "guest"
    fallback: str    # why the guest runs what was not asked for there; empty otherwise


def choose(bits, settings):
    if bits == 64:
        if LOADER64.exists() and SERVER64.exists():
            return Lane("native", "")
        return Lane("guest", f"no 64-bit Wine on this host ({LOADER64})")
    if settings.lane32 == "guest":
        return Lane("guest", "")
    answer = kernel_answer(settings)
    if answer.runs_32_bit and not (LOADER32.exists() and SERVER32.exists()):
        answer = KernelAnswer(False, "the kernel runs 32-bit code, but 32-bit Wine is not installed: run scripts/bootstrap")
    if answer.runs_32_bit:
        return Lane("native", "")
    if settings.lane32 == "native":
        raise LaneError(f"VRL_LANE32=native, but this host cannot run 32-bit Wine: {answer.reason}")
    return Lane("guest", f"this host cannot run 32-bit Wine ({answer.reason})")
