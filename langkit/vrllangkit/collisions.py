"""Two language servers must not share a CLSID, LIBID, ProgID, module name or
resource language: installed side by side, one would overwrite the other's
registration. A GUID collides whichever field holds it (one server's CLSID
as another's LIBID is as bad), and so does a name, whatever its case (the
registry and the file system ignore case). The build's own servers count:
the test languages of tests/languages and the pseudo-locale."""

from pathlib import Path

from .identity import PSEUDO_TAG, load_identity
from .language import BUILD_LANGUAGE_FOLDERS, IDENTITY_FILE
from .problems import ERROR, Problem
from .pseudo_identity import pseudo_identity

# The fields that must be unique, by kind: a value collides with any field
# of its kind.
_KINDS = {
    "clsid": "guid",
    "libid": "guid",
    "module": "module",
    "prog_id": "prog_id",
    "versioned_prog_id": "prog_id",
    "resource_language": "language",
}
_KEYS = {
    "clsid": "clsid",
    "libid": "libid",
    "module": "module",
    "prog_id": "progId",
    "versioned_prog_id": "versionedProgId",
    "resource_language": "resourceLanguage",
}


def _shown(field, value):
    return f"0x{value:04X}" if field == "resource_language" else value


def _claims(identity):
    """(kind, comparable value) -> field, for each unique value."""
    found = {}
    for field, kind in _KINDS.items():
        value = getattr(identity, field)
        found.setdefault((kind, value.upper() if isinstance(value, str) else value), field)
    return found


def _message(field, identity, other_field, owner):
    where = "" if other_field == field else f" (as its {_KEYS[other_field]})"
    return f"{_KEYS[field]} {_shown(field, getattr(identity, field))} is taken by {owner}{where}"


def identity_collisions(identity, path, others):
    """Problems at path for each value of identity that one of others
    ((owner, identity) pairs) claims already."""
    found = []
    mine = _claims(identity)
    for owner, other in others:
        theirs = _claims(other)
        for key, field in mine.items():
            if key in theirs:
                found.append(Problem(ERROR, str(path), None, None, _message(field, identity, theirs[key], owner)))
    return found


PSEUDO_OWNER = f"the pseudo-locale {PSEUDO_TAG}"


def known_identities(languages_root):
    """(owner, identity) of every language the build knows: the folders of
    languages_root, the build's own test languages, and the pseudo-locale."""
    known = []
    folders = sorted(Path(languages_root).glob(f"*/{IDENTITY_FILE}"))
    for root in BUILD_LANGUAGE_FOLDERS:
        folders += sorted(root.glob(f"*/{IDENTITY_FILE}"))
    seen = set()
    for path in folders:
        if path.resolve() in seen:
            continue
        seen.add(path.resolve())
        known.append((str(path.parent), load_identity(path)))
    known.append((PSEUDO_OWNER, pseudo_identity()))
    return known


def collision_problems(identity, path, languages_root, skip=None, pseudo=False):
    """Problems at path for each value of identity that a known language
    uses already (skip: the folder being written, if it is known; pseudo:
    identity is the pseudo-locale's own)."""
    others = [(owner, other) for owner, other in known_identities(languages_root)
              if not (pseudo and owner == PSEUDO_OWNER)
              and (skip is None or owner == PSEUDO_OWNER or Path(owner).resolve() != Path(skip).resolve())]
    return identity_collisions(identity, path, others)


def collisions_among(folders):
    """A problem for each identity value that a folder shares with an
    earlier folder of the list."""
    found = []
    earlier = []
    for folder in folders:
        identity = folder.identity()
        found += identity_collisions(identity, folder.identity_path, earlier)
        earlier.append((str(folder.path), identity))
    return found
