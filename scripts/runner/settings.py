"""Everything the runner takes from its environment, read here once.

No other file of the runner reads an environment variable, and no caller of
the runner needs to: an option on the command line beats the variable, which
only fills in what the command line leaves open.

    VRL_LANE32               native or guest: the lane of 32-bit programs,
                             instead of what this host can do
    VRL_HOST32               yes or no: stands in for the kernel's answer (tests)
    VRL_WINE_LINGER          seconds a host prefix's Wine server outlives its
                             last program (default 3); --linger beats it
    VRL_WINEARCH             win64: 32-bit programs run in the home's WoW64
                             prefix; --wow64 says the same
    VRL_WINEVM_IDLE_TIMEOUT  seconds without a job before a guest stops itself
                             (default 600; 0: never)
    VRL_WINEVM_STOP_GRACE    seconds a guest gets to shut down (default 15)
    VRL_WINEVM_INIT          the guest's first script instead of its agent (tests)
    VRL_VM_CACHE             the folder of the guest image
    VRL_RUNNER_SESSION       the session this run belongs to (set by `session`)
    XDG_CACHE_HOME, HOME     where the kernel's answer is kept
"""

import os
from dataclasses import dataclass
from pathlib import Path

DEFAULT_LINGER = 3
DEFAULT_IDLE_TIMEOUT = 600
DEFAULT_STOP_GRACE = 15
DEFAULT_VM_CACHE = "/var/cache/vrldiscovery-winevm"

# What a program run in the guest gets of this environment: the locale, and
# the variables that the tests' programs read. Nothing else: a job travels to
# the guest as a file, and a secret (VRL_SIGN_PASSWORD) must not.
PASSED_TO_GUEST = ("LC_ALL", "LANG", "OANOCACHE", "VRL_WINEARCH", "VRL_RANDOM_SCRIPTS",
                   "VRL_RANDOM_SEED", "VRL_EXPECT_ANSI_CODE_PAGE")


class SettingError(Exception):
    """A variable that holds something the runner cannot use."""


def _seconds(environment, name, default, lowest):
    text = environment.get(name, "")
    if text == "":
        return default
    if not text.isdigit() or int(text) < lowest:
        raise SettingError(f"{name} must be a whole number of seconds, at least {lowest}, not {text!r}")
    return int(text)


@dataclass(frozen=True)
class Settings:
    lane32: str
    host32: str
    linger: int
    wow64: bool
    idle_timeout: int
    stop_grace: int
    guest_init: str
    vm_cache: Path
    session: str
    cache: Path
    passed_to_guest: dict

    @classmethod
    def from_environment(cls, environment=None):
        environment = os.environ if environment is None else environment
        lane32 = environment.get("VRL_LANE32", "")
        if lane32 not in ("", "native", "guest"):
            raise SettingError(f"VRL_LANE32 must be native or guest, not {lane32!r}")
        cache_home = environment.get("XDG_CACHE_HOME") or str(Path(environment.get("HOME") or "/tmp") / ".cache")
        return cls(
            lane32=lane32,
            host32=environment.get("VRL_HOST32", ""),
            linger=_seconds(environment, "VRL_WINE_LINGER", DEFAULT_LINGER, 1),
            wow64=environment.get("VRL_WINEARCH", "win32") == "win64",
            idle_timeout=_seconds(environment, "VRL_WINEVM_IDLE_TIMEOUT", DEFAULT_IDLE_TIMEOUT, 0),
            stop_grace=_seconds(environment, "VRL_WINEVM_STOP_GRACE", DEFAULT_STOP_GRACE, 0),
            guest_init=environment.get("VRL_WINEVM_INIT", ""),
            vm_cache=Path(environment.get("VRL_VM_CACHE") or DEFAULT_VM_CACHE),
            session=environment.get("VRL_RUNNER_SESSION", ""),
            cache=Path(cache_home) / "vrldiscovery",
            passed_to_guest={name: environment[name] for name in PASSED_TO_GUEST if name in environment},
        )
