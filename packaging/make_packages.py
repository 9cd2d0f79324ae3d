#!/usr/bin/python3
"""The run of scripts/package: builds the language servers and writes their
installer packages into the output folder (see scripts/package for its
options and what it writes). Run through scripts/package, which makes it a
session of the runner; an interrupt or TERM ends the run's own Wine and
removes its scratch folders."""

import hashlib
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
from dataclasses import dataclass, field
from pathlib import Path

sys.dont_write_bytecode = True
sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "langkit"))
sys.path.insert(0, str(Path(__file__).resolve().parent))
from package_source import MANUFACTURER, PackageError, write_package_source  # noqa: E402
from vrllangkit.identity import load_identity  # noqa: E402
from vrllangkit.language import IDENTITY_FILE  # noqa: E402

ROOT = Path(__file__).resolve().parents[1]
USAGE = ("usage: scripts/package [--language NAME]... [--out DIR] [--no-build] [--build32 DIR] [--build64 DIR]"
         " [--wine-home DIR] [--sign FILE.pfx] [--timestamp URL]")
# Everything that one language may ship: its two servers and three packages.
LANGUAGE_SIZE_LIMIT = 256 * 1024
CHECKSUMS = "SHA256SUMS"
# The output folder's mode before the umask: readable by everyone.
FOLDER_MODE = 0o777
# The Wine home in which a build folder writes its type libraries.
TYPELIB_HOME = "wine64-typelib"
# The file that configure writes: the languages that the build ships.
SHIPPED_LANGUAGES = Path("languages") / "shipped.txt"
SIGNING_PASSWORD_VARIABLE = "VRL_SIGN_PASSWORD"
# Exit codes of a run ended by a signal, as a shell's.
INTERRUPTED_EXIT = 130
TERMINATED_EXIT = 143
_VERSION_NUMBER = r"(0|[1-9][0-9]{0,4})"
_VERSION = re.compile(r"\.".join([_VERSION_NUMBER] * 4))
# The flavours of a language's packages: (flavour, bitness, file name suffix, step).
PACKAGES = (
    ("x86", 32, "", "per machine, 32-bit"),
    ("x64", 64, "-x64", "per machine, 64-bit"),
    ("user", 32, "-user", "per user"),
)


class RunFailed(Exception):
    """Ends the run: what the message says, after "package: "."""


class UsageError(Exception):
    pass


@dataclass
class Options:
    languages: list = field(default_factory=list)
    out: str = ""
    build: bool = True
    build32: str = ""
    build64: str = ""
    wine64_home: str = ""
    certificate: str = ""
    timestamp_url: str = ""
    # Set by the run: the build folders that it chose for a version other
    # than the checkout's own.
    version_builds: list = field(default_factory=list)


def parse_options(arguments):
    """The options of the command line; UsageError on anything else."""
    options = Options()
    takes_value = {"--language", "--out", "--build32", "--build64", "--wine-home", "--sign", "--timestamp"}
    inline = ("--out=", "--sign=", "--timestamp=")
    remaining = list(arguments)
    while remaining:
        argument = remaining.pop(0)
        if argument.startswith(inline):
            argument, value = argument.split("=", 1)
        elif argument in takes_value:
            if not remaining:
                raise UsageError()
            value = remaining.pop(0)
        elif argument == "--no-build":
            options.build = False
            continue
        else:
            raise UsageError()
        if argument == "--language":
            options.languages.append(value)
        else:
            attribute = {"--out": "out", "--build32": "build32", "--build64": "build64", "--wine-home": "wine64_home",
                         "--sign": "certificate", "--timestamp": "timestamp_url"}[argument]
            setattr(options, attribute, value)
    return options


def checked_version(version):
    """The version, when the installer can tell it from the others."""
    found = _VERSION.fullmatch(version)
    if not found:
        raise RunFailed(f"VRL_VERSION: not four numbers: {version}")
    major, minor, patch, revision = map(int, found.groups())
    if major > 255 or minor > 255 or patch > 65535:
        raise RunFailed(f"VRL_VERSION: {version}: the installer takes at most 255.255.65535 for the first three numbers")
    if revision != 0:
        raise RunFailed(f"VRL_VERSION: {version}: the fourth number must be 0; the installer compares only the first"
                        f" three, so this package would install beside {major}.{minor}.{patch}.0 instead of replacing it")
    return version


def project_version():
    found = re.search(r"^set\(VRL_VERSION ([0-9.]*) ", (ROOT / "CMakeLists.txt").read_text(encoding="utf-8"), re.MULTILINE)
    return found.group(1) if found else ""


def _byte_order(name):
    return os.fsencode(name)


def checksum_listing(folder):
    """The files that the folder's SHA256SUMS lists."""
    listed = set()
    for line in (folder / CHECKSUMS).read_text(encoding="utf-8", errors="surrogateescape").splitlines():
        found = re.match(r"[0-9a-f]{64} [ *](.*)$", line)
        listed.add(found.group(1) if found else line)
    return listed


def folder_listing(folder):
    """The folder's files, and its empty folders (with a trailing /), but
    its SHA256SUMS, relative to it."""
    found = set()
    for directory, subfolders, files in os.walk(folder):
        relative = Path(directory).relative_to(folder)
        for name in files + [name for name in subfolders if os.path.islink(os.path.join(directory, name))]:
            found.add(str(relative / name))
        if not subfolders and not files and directory != str(folder):
            found.add(f"{relative}/")
    found.discard(CHECKSUMS)
    return found


def check_earlier_output(out):
    """An existing output folder must be empty or an earlier output: its
    SHA256SUMS lists exactly its files. Any other folder (--out ~/Desktop)
    is not the run's to replace."""
    if not out.exists() and not out.is_symlink():
        return
    why = ""
    if not out.is_dir() or out.is_symlink():
        why = "it is not a folder"
    else:
        has_checksums = (out / CHECKSUMS).is_file()
        listed = checksum_listing(out) if has_checksums else set()
        stray = sorted(listed ^ folder_listing(out), key=_byte_order)
        if not has_checksums:
            why = f"it has no SHA256SUMS, and holds {stray[0]}" if stray else ""
        elif stray:
            why = f"its SHA256SUMS does not list exactly its files: {stray[0]}"
    if why:
        raise RunFailed(f"{out} is no earlier output of scripts/package ({why}); it is left as it is:"
                        " name a new folder, or remove it first")


def shipped_languages(build64):
    """The languages that the last configure of the build ships (not the
    test languages, nor a language that an earlier configure left)."""
    shipped = Path(build64) / SHIPPED_LANGUAGES
    if not shipped.is_file():
        raise RunFailed(f"{build64} is not configured; build it first")
    languages = [line for line in shipped.read_text(encoding="utf-8").splitlines() if line]
    if not languages:
        raise RunFailed(f"{build64} makes no language server; build it first")
    return languages


def language_identities(build64, languages):
    """language -> its identity, as the build holds it."""
    identities = {}
    for language in languages:
        path = Path(build64) / "languages" / language / IDENTITY_FILE
        if not path.is_file():
            raise RunFailed(f"{language}: no such language server in {build64}")
        try:
            identities[language] = load_identity(path)
        except ValueError as error:
            raise RunFailed(f"{language}: {error}") from None
    return identities


def write_checksums(folder):
    names = sorted((str(path.relative_to(folder)) for path in folder.rglob("*") if path.is_file()), key=_byte_order)
    lines = [f"{hashlib.sha256((folder / name).read_bytes()).hexdigest()}  {name}\n" for name in names]
    (folder / CHECKSUMS).write_text("".join(lines), encoding="utf-8")


def run(command, **arguments):
    """The command's exit code; its output goes where the run's goes."""
    return subprocess.run([str(part) for part in command], **arguments).returncode


def step(name, command, **arguments):
    """Runs the command, and ends the run when it fails."""
    code = run(command, **arguments)
    if code != 0:
        raise RunFailed(f'step "{name}" failed (exit code {code})')


class PackageRun:
    def __init__(self, options, password, version, epoch):
        self.options = options
        self.password = password
        self.version = version
        self.epoch = epoch
        self.build32 = Path(os.path.realpath(options.build32))
        self.build64 = Path(os.path.realpath(options.build64))
        self.certificate = options.certificate
        self.stage = None
        self.secrets = None
        self.own_wine_home = False
        self.wine64_home = options.wine64_home
        # A version's own build folders keep no Wine home once packaged: the
        # type library builder's would hold over a gigabyte each.
        self.build_homes = [Path(folder) / TYPELIB_HOME for folder in options.version_builds]
        # The package times are the source's, in UTC.
        self.package_time = subprocess.run(["date", "-u", "-d", f"@{epoch}", "+%Y-%m-%d %H:%M:%S"],
                                           capture_output=True, text=True, check=True).stdout.strip()

    def wine64(self, *arguments):
        return [ROOT / "scripts" / "wine64", f"--home={self.wine64_home}", *arguments]

    def lane(self, script, home):
        result = subprocess.run([ROOT / "scripts" / script, f"--home={home}", f"--state={self.build32 / 'winevm'}", "--lane"],
                                stdout=subprocess.PIPE, text=True)
        if result.returncode != 0:
            return None
        return "this host's own Wine" if result.stdout.strip() == "native" else "the emulated guest"

    def prepare(self, out):
        self.stage = Path(tempfile.mkdtemp(prefix=f"{out.name}.partial.", dir=out.parent))
        # Readable by all, as the user's other folders are (mkdtemp makes it
        # the owner's alone).
        mask = os.umask(0)
        os.umask(mask)
        os.chmod(self.stage, FOLDER_MODE & ~mask)
        self.secrets = Path(tempfile.mkdtemp())
        # The recording runs in the Wine home given, or in the 64-bit lane's
        # test prefix when that is ready, or else in one of the run's own,
        # which goes again at the end.
        if not self.wine64_home:
            self.wine64_home = str(self.build64 / "wine64")
            if not (Path(self.wine64_home) / "prefix" / ".vrl-ready").is_file():
                self.wine64_home = str(self.secrets / "wine64")
                self.own_wine_home = True

    def clean_up(self):
        if self.own_wine_home:
            run(self.wine64("--end"), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for home in self.build_homes:
            run([ROOT / "scripts" / "wine64", f"--home={home}", "--end"], stdout=subprocess.DEVNULL,
                stderr=subprocess.DEVNULL)
        for folder in (self.stage, self.secrets):
            if folder:
                shutil.rmtree(folder, ignore_errors=True)

    def at_source_time(self, command):
        return ["faketime", "-f", self.package_time, *command]

    def sign(self, path, module):
        """Signs the file in place. Without a time-stamp server, the
        signature carries the source's time, so that signed packages are
        reproducible too."""
        signed = path.with_name(path.name + ".signed")
        command = ["osslsigncode", "sign", "-pkcs12", self.certificate, "-readpass", "-", "-h", "sha256",
                   "-n", module, "-in", path, "-out", signed]
        command += ["-t", self.options.timestamp_url] if self.options.timestamp_url else ["-time", str(self.epoch)]
        # The password reaches osslsigncode through a pipe only.
        result = subprocess.run([str(part) for part in command], input=self.password.encode("utf-8"),
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        if result.returncode == 0:
            os.replace(signed, path)
            return
        said = result.stdout.decode("utf-8", "replace")
        sys.stderr.write("".join(f"  {line}\n" for line in said.splitlines()))
        # What osslsigncode said tells the causes apart.
        if "Wrong password" in said:
            cause = f"the password in {SIGNING_PASSWORD_VARIABLE} does not open it"
        elif "Failed to extract PKCS#12 data" in said:
            cause = "it is not a PKCS#12 certificate"
        elif self.options.timestamp_url and "timestamping failed" in said.lower():
            cause = f"no time stamp from {self.options.timestamp_url}"
        else:
            cause = "osslsigncode failed (its output is above)"
        raise RunFailed(f"cannot sign {path.name} with {self.certificate}: {cause}")

    def record(self, server, rows):
        """The rows that the server file's registration writes."""
        windows_path = "Z:" + str(server).replace("/", "\\")
        with open(rows.with_suffix(".raw"), "wb") as raw:
            code = run(self.wine64("--", self.build64 / "bin" / "vrlrgs.exe", "record", windows_path,
                                   "[#ServerFile]", "[INSTALLFOLDER]"), stdout=raw)
        if code != 0:
            return code
        rows.write_bytes(rows.with_suffix(".raw").read_bytes().replace(b"\r", b""))
        return 0

    def make_package(self, identity, flavour, rows, server, name):
        """One package, server relative to the stage folder (wixl takes
        relative paths only)."""
        module = identity.module
        work = self.secrets / f"{module}-{flavour}"
        work.mkdir(parents=True, exist_ok=True)
        try:
            package_code = write_package_source(identity, rows, flavour, self.version, server, work, base=self.stage)
        except (PackageError, OSError) as error:
            raise RunFailed(f'step "package {module} ({flavour})" failed: {error}') from None
        arch, template = ("x64", "x64;1033") if flavour == "x64" else ("x86", "Intel;1033")
        environment = dict(os.environ, TZ="UTC")
        with open(work / "wixl.log", "wb") as log:
            code = run(self.at_source_time(["wixl", "--arch", arch, "-o", work / name, work / "package.wxs"]),
                       cwd=self.stage, env=environment, stderr=log)
        if code != 0:
            sys.stderr.write((work / "wixl.log").read_text(encoding="utf-8", errors="replace"))
            return code
        for arguments in (["-i", work / "Registry.idt"], ["-s", module, MANUFACTURER, template, package_code]):
            code = run(self.at_source_time(["msibuild", work / name, *arguments]), cwd=self.stage, env=environment)
            if code != 0:
                return code
        if self.certificate:
            self.sign(work / name, module)
        shutil.move(work / name, self.stage / name)
        return 0

    def package_language(self, language, identity):
        """The language's servers, signed first when asked (the packages
        carry the signed files), and its three packages."""
        module = identity.module
        built = {32: self.build32 / "bin" / f"{module}.dll", 64: self.build64 / "bin" / f"{module}.dll"}
        for path in built.values():
            if not path.is_file():
                raise RunFailed(f"{path} is not built")
        staged = {32: Path(f"{module}.dll"), 64: Path("x64") / f"{module}.dll"}
        (self.stage / "x64").mkdir(exist_ok=True)
        for bits in (32, 64):
            shutil.copy(built[bits], self.stage / staged[bits])
            if self.certificate:
                self.sign(self.stage / staged[bits], module)
            os.utime(self.stage / staged[bits], (self.epoch, self.epoch))
        rows = {bits: self.secrets / f"{module}.rows{bits}" for bits in (32, 64)}
        for bits in (32, 64):
            code = self.record(self.stage / staged[bits], rows[bits])
            if code != 0:
                raise RunFailed(f'step "record the {bits}-bit registration of {module}" failed (exit code {code})')
        names = []
        for flavour, bits, suffix, scope in PACKAGES:
            name = f"{module}-{self.version}{suffix}.msi"
            code = self.make_package(identity, flavour, rows[bits], staged[bits], name)
            if code != 0:
                raise RunFailed(f'step "package {module} ({scope})" failed (exit code {code})')
            names.append(name)
        size = sum((self.stage / name).stat().st_size for name in [*map(str, staged.values()), *names])
        if size >= LANGUAGE_SIZE_LIMIT:
            raise RunFailed(f"{language}: its files take {size} bytes, over the {LANGUAGE_SIZE_LIMIT} that a language may ship")
        print(f"package: {language} ({module}): {size} bytes", flush=True)

    def execute(self, out):
        options = self.options
        lane64 = self.lane("wine64", self.wine64_home)
        if lane64 is None:
            raise RunFailed("no Wine for the 64-bit lane")
        print(f"package: the registration is recorded in the 64-bit lane: {lane64}", flush=True)
        if options.build:
            lane32 = self.lane("wine32", self.build32 / "wine32")
            if lane32 is None:
                raise RunFailed("no Wine for the 32-bit lane")
            print(f"package: the 32-bit build runs its programs in {lane32}", flush=True)
            for name, preset, folder in (("32-bit", "default", self.build32), ("64-bit", "win64", self.build64)):
                step(f"configure ({name})", ["cmake", "--preset", preset, "-B", folder, f"-DVRL_VERSION={self.version}"],
                     stdout=subprocess.DEVNULL)
        identities = language_identities(self.build64, options.languages or shipped_languages(self.build64))
        modules = [identity.module for identity in identities.values()]
        if options.build:
            step("build (32-bit)", ["cmake", "--build", self.build32, "--target", *modules])
            step("build (64-bit)", ["cmake", "--build", self.build64, "--target", *modules, "vrlrgs"])
        if not (self.build64 / "bin" / "vrlrgs.exe").is_file():
            raise RunFailed(f"{self.build64 / 'bin' / 'vrlrgs.exe'} is not built")
        for language, identity in identities.items():
            self.package_language(language, identity)
        write_checksums(self.stage)
        # Only now does the output folder change, and only an earlier output
        # is replaced.
        check_earlier_output(out)
        old = None
        if out.exists() or out.is_symlink():
            try:
                old = Path(tempfile.mkdtemp(prefix=f"{out.name}.old.", dir=out.parent))
                os.rename(out, old / out.name)
            except OSError:
                raise RunFailed(f"cannot replace {out}") from None
        try:
            os.rename(self.stage, out)
        except OSError:
            raise RunFailed(f"cannot write {out}") from None
        self.stage = None
        if old:
            shutil.rmtree(old, ignore_errors=True)
        print(f"package: wrote {out}", flush=True)
        listing = subprocess.run(["ls", "-l", out, out / "x64"], stdout=subprocess.PIPE, text=True).stdout
        print("".join(f"  {line}\n" for line in listing.splitlines()), end="", flush=True)


def _end_by_signal(exit_code):
    def handler(signum, frame):
        raise SystemExit(exit_code)
    return handler


def main(arguments):
    # The password, from here on in the run's memory only: no program that
    # the run starts inherits it.
    password = os.environ.pop(SIGNING_PASSWORD_VARIABLE, None)
    try:
        options = parse_options(arguments)
    except UsageError:
        print(USAGE, file=sys.stderr)
        return 2
    run_state = None
    try:
        tools = ["cmake", "wixl", "msibuild", "msiinfo", "faketime"]
        if options.certificate:
            tools.append("osslsigncode")
        for tool in tools:
            if not shutil.which(tool):
                raise RunFailed(f"{tool} is missing; run scripts/bootstrap")
        if options.certificate:
            if not Path(options.certificate).is_file():
                raise RunFailed(f"{options.certificate}: no such file")
            if password is None:
                raise RunFailed(f"--sign needs the certificate's password in {SIGNING_PASSWORD_VARIABLE}")
            options.certificate = os.path.abspath(options.certificate)
        default_version = project_version()
        version = checked_version(os.environ.get("VRL_VERSION") or default_version)
        if version == default_version:
            options.build32 = options.build32 or str(ROOT / "build")
            options.build64 = options.build64 or str(ROOT / "build-win64")
        else:
            options.version_builds = [str(ROOT / build / f"version-{version}") for build, given
                                      in (("build", options.build32), ("build-win64", options.build64)) if not given]
            options.build32 = options.build32 or str(ROOT / "build" / f"version-{version}")
            options.build64 = options.build64 or str(ROOT / "build-win64" / f"version-{version}")
        if not os.environ.get("SOURCE_DATE_EPOCH"):
            result = subprocess.run(["git", "-C", ROOT, "log", "-1", "--format=%ct"], capture_output=True, text=True)
            if result.returncode != 0 or not result.stdout.strip():
                raise RunFailed("not a git checkout: set SOURCE_DATE_EPOCH")
            os.environ["SOURCE_DATE_EPOCH"] = result.stdout.strip()
        epoch = int(os.environ["SOURCE_DATE_EPOCH"])
        out = Path(options.out or ROOT / "dist")
        out.parent.mkdir(parents=True, exist_ok=True)
        out = Path(os.path.abspath(out.parent)) / out.name
        check_earlier_output(out)
        run_state = PackageRun(options, password or "", version, epoch)
        # A signal ends the run through its clean-up.
        signal.signal(signal.SIGTERM, _end_by_signal(TERMINATED_EXIT))
        signal.signal(signal.SIGHUP, _end_by_signal(TERMINATED_EXIT))
        signal.signal(signal.SIGINT, _end_by_signal(INTERRUPTED_EXIT))
        try:
            run_state.prepare(out)
        except OSError:
            raise RunFailed(f"cannot write beside {out}") from None
        run_state.execute(out)
        return 0
    except RunFailed as failure:
        print(f"package: {failure}", file=sys.stderr, flush=True)
        return 1
    finally:
        if run_state:
            # Signals wait until the clean-up is done.
            for signum in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
                signal.signal(signum, signal.SIG_IGN)
            run_state.clean_up()


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv[1:]))
    except KeyboardInterrupt:
        # Ctrl-C before the run took its signals: nothing was written yet.
        sys.exit(INTERRUPTED_EXIT)
