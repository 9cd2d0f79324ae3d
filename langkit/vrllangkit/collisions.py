"""Two language servers must not share a CLSID, LIBID, ProgID, module name or
resource language: installed side by side, one would overwrite the other's
registration."""

from pathlib import Path

from .identity import load_identity
from .language import IDENTITY_FILE
from .problems import ERROR, Problem

_LABELS = {
    "module": "module name",
    "prog_id": "ProgID",
    "clsid": "CLSID",
    "libid": "LIBID",
    "resource_language": "resource language",
}
_UNIQUE = tuple(_LABELS)


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


def collisions_among(folders):
    """A problem for each identity value that a folder shares with an
    earlier folder of the list."""
    found = []
    owners = {}
    for folder in folders:
        identity = folder.identity()
        for field, label in _LABELS.items():
            value = getattr(identity, field)
            shown = f"0x{value:04X}" if field == "resource_language" else value
            key = (field, value.upper() if isinstance(value, str) else value)
            if key in owners:
                found.append(Problem(ERROR, str(folder.identity_path), None, None,
                                     f"{label} {shown} is taken by {owners[key]}"))
            else:
                owners[key] = str(folder.path)
    return found
