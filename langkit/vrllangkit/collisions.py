"""Two language servers must not share a CLSID, LIBID, ProgID, module name or
resource language: installed side by side, one would overwrite the other's
registration."""

from pathlib import Path

from .identity import load_identity
from .language import IDENTITY_FILE
from .problems import ERROR, Problem

_UNIQUE = ("module", "prog_id", "clsid", "libid", "resource_language")


def collision_problems(identity, languages_root):
    """A problem for each value of identity that a folder of languages_root
    already uses (a folder with that very module is the same language)."""
    found = []
    for path in sorted(Path(languages_root).glob(f"*/{IDENTITY_FILE}")):
        other = load_identity(path)
        for field in _UNIQUE:
            if getattr(other, field) == getattr(identity, field):
                found.append(Problem(ERROR, str(path), None, None, f"{field} {getattr(identity, field)} is taken by {other.module}"))
    return found
