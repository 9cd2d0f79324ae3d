"""What the package tests share: the packages made by scripts/package, one
batch file of commands run as a single job in the guest's Wine (every
program start is slow there), the registry as `reg query` printed it, and
the failures found.

The tests run on the host, in a work folder that the guest sees at the same
path, under the lock of the guest's Wine prefix that the other registration
tests take."""

import fcntl
import os
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

SOURCE = Path(os.environ["VRL_SOURCE"])
sys.dont_write_bytecode = True
sys.path.insert(0, str(SOURCE / "langkit"))
from vrllangkit.identity import load_identity  # noqa: E402,F401  (the tests' reader of a language folder)
SERVER_IDENTITY = SOURCE / "tests" / "server-identity.sh"
# reg's header of each key it lists.
# How reg begins the line that says a key is missing.
REG_COMPLAINT = "reg: "
CLASSES_ROOT_NAMES = ("HKEY_CLASSES_ROOT\\", "HKEY_LOCAL_MACHINE\\", "HKEY_CURRENT_USER\\")


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\")


def shell_constants(path=SERVER_IDENTITY):
    """The `readonly name='value'` lines of a sourced shell file."""
    constants = {}
    for line in path.read_text(encoding="utf-8").splitlines():
        if line.startswith("readonly ") and "='" in line:
            name, value = line[len("readonly "):].split("=", 1)
            constants[name] = value.strip("'")
    return constants


class Failures:
    def __init__(self, name):
        self.name = name
        self.count = 0

    def fail(self, message):
        print("FAIL: %s" % message, flush=True)
        self.count += 1

    def check(self, condition, message):
        if not condition:
            self.fail(message)
        return condition

    def finish(self):
        if self.count == 0:
            print("%s: PASS" % self.name)
        return min(self.count, 100)


def parse_reg(text):
    """`reg query KEY /s` output as rows: (key,) for every key listed and
    (key, name, type, data) for every value, keys in lower case."""
    rows = set()
    key = None
    for line in text.splitlines():
        if line.startswith(CLASSES_ROOT_NAMES):
            key = line.strip().lower()
            rows.add((key,))
        elif key and line.startswith("    ") and line.strip():
            parts = line.strip().split("    ", 2)
            name = "" if parts[0] == "(Default)" else parts[0]
            rows.add((key, name, parts[1] if len(parts) > 1 else "", parts[2] if len(parts) > 2 else ""))
    return rows


class Work:
    """The test's work folder, which the guest sees at the same path."""

    def __init__(self, prefix):
        self.path = Path(tempfile.mkdtemp(prefix=prefix + ".", dir=os.getcwd()))

    def remove(self):
        """Ends the Wine of any home in the folder (scripts/package records
        in one), then removes the folder."""
        for home in {lock.parent for lock in self.path.rglob("users.lock")}:
            subprocess.run([str(SOURCE / "scripts" / "wine64"), f"--home={home}", "--end"],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        shutil.rmtree(self.path, ignore_errors=True)

    def text(self, name, encoding="cp1252"):
        """A file the session wrote, CRs dropped, and reg's complaints about
        missing keys left out; empty when it is missing. The platform's
        tools write the ANSI code page; vrl-discover --json writes UTF-8."""
        try:
            text = (self.path / name).read_bytes().decode(encoding, "replace").replace("\r", "")
        except FileNotFoundError:
            return ""
        return "".join(line for line in text.splitlines(keepends=True) if not line.startswith(REG_COMPLAINT))

    def rows(self, name):
        return parse_reg(self.text(name))


def lock_prefix():
    """Waits until no other test changes the guest's Wine prefix, and holds
    the lock until the process ends."""
    lock = open(os.environ["VRL_SHARED_PREFIX_LOCK"], "w")
    fcntl.flock(lock, fcntl.LOCK_EX)
    return lock


def make_packages(out, build32, build64, *arguments, environment=None):
    """scripts/package of the built servers into OUT; None when it failed
    (its output printed)."""
    result = subprocess.run([str(SOURCE / "scripts" / "package"), "--no-build", "--build32", str(build32),
                             "--build64", str(build64), "--out", str(out), *arguments],
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                            env=dict(os.environ, **(environment or {})))
    if result.returncode != 0:
        print(result.stdout)
        return None
    return out


def wine(*arguments, stdout=subprocess.DEVNULL):
    return subprocess.run([os.environ["VRL_WINE"], "--", *map(str, arguments)], stdout=stdout,
                          stderr=subprocess.STDOUT).returncode


class Session:
    """Commands for one batch file, each writing what the checks read into
    the work folder."""

    def __init__(self, work):
        self.work = work
        self.lines = ["@echo off", 'cd /d "%s"' % windows_path(work.path)]

    def add(self, line):
        self.lines.append(line)

    def run(self, name, command):
        """COMMAND's output and messages in NAME.out."""
        self.add("%s > %s.out 2>&1" % (command, name))

    def msi(self, name, *arguments):
        """msiexec, its exit code in NAME.exit."""
        self.add("start /wait msiexec %s /qn" % " ".join(arguments))
        # Redirection first: "echo 1> FILE" would redirect handle 1.
        self.add("> %s.exit echo %%ERRORLEVEL%%" % name)

    def query(self, name, keys, reg="reg"):
        """Every key of KEYS, with all below it, into NAME.reg."""
        self.add("type nul > %s.reg" % name)
        for key in keys:
            self.add('%s query "%s" /s >> %s.reg 2>nul' % (reg, key, name))

    def exists(self, name, path):
        self.add('if exist "%s" echo present> %s.out' % (path, name))

    def execute(self, name="session"):
        script = self.work.path / (name + ".cmd")
        script.write_bytes(("\r\n".join(self.lines) + "\r\n").encode("cp1252"))
        self.lines = self.lines[:2]
        with open(self.work.path / (name + ".log"), "wb") as log:
            return wine("cmd", "/c", windows_path(script), stdout=log)

    def exit_code(self, name):
        return self.work.text(name + ".exit").strip()
