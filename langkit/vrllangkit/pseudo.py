"""The pseudo-locale qps-ploc: every source text with accented letters, about
35% longer and between [ and ], so that a text that is cut, joined to
another or not taken from the server at all shows at a glance. Accelerators
(the letter after '&' stays as it is), leading and trailing blanks and line
breaks are kept, outside the brackets."""

import math
import re

from pathlib import Path

from .collisions import collision_problems
from .exporting import po_document
from .identity import identity_document, identity_problems, load_identity
from .language import IDENTITY_FILE, LANGUAGES_ROOT, LanguageFolder, source_folder
from .problems import ERROR, Problem, Refused
from .pseudo_identity import pseudo_identity

GROWTH = 0.35
_ACCENTED = str.maketrans(
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ",
    "áƀçđéƒĝĥíĵķĺɱñóþǫŕšţúṽŵẋýžÅßÇĐÉƑĜĤÍĴĶĹṀÑÓÞǪŔŠŢÚṼŴẊÝŽ",
)
# Filler that looks like words, so that wrapping behaves as with real text.
_FILLER = "ŀóŕéɱ íƥšúɱ đóŀóŕ šíţ áɱéţ çóñšéçţéţúŕ "
_FRAME = re.compile(r"^(\s*)(.*?)(\s*)$", re.DOTALL)


def accented(text):
    """text with its letters accented, except the letter after each '&'."""
    pieces = re.split(r"(&.)", text, flags=re.DOTALL)
    return "".join(piece if piece.startswith("&") else piece.translate(_ACCENTED) for piece in pieces)


def pseudo_text(text):
    lead, body, trail = _FRAME.match(text).groups()
    padding = math.ceil(len(body) * GROWTH)
    filler = (_FILLER * (padding // len(_FILLER) + 1))[:padding]
    return f"{lead}[{accented(body)}{filler}]{trail}"


def write_pseudo_language(path):
    """A complete language folder at path: the pseudo-locale's identity and
    its texts, made from the source language. Refused, before anything is
    written, when path holds anything but an earlier pseudo-locale folder,
    or when a language folder has the pseudo-locale's identity."""
    folder = LanguageFolder(Path(path))
    identity = pseudo_identity()
    if folder.path.exists() and not _is_pseudo_folder(folder, identity):
        raise Refused([Problem(ERROR, str(folder.path), None, None,
                               "exists and is no pseudo-locale folder; give a new folder")])
    problems = identity_problems(identity)
    problems = [Problem(ERROR, str(folder.identity_path), None, None, message) for message in problems]
    problems += collision_problems(identity, folder.identity_path, LANGUAGES_ROOT, skip=folder.path, pseudo=True)
    if problems:
        raise Refused(problems)
    document = po_document(source_folder(), identity)
    for entry in document:
        entry.msgstr = pseudo_text(entry.msgid)
        entry.flags = []
        entry.previous_msgid = None
    folder.path.mkdir(parents=True, exist_ok=True)
    _write_if_changed(folder.identity_path, identity_document(identity))
    _write_if_changed(folder.path / "texts.po", str(document))
    return folder


def _is_pseudo_folder(folder, identity):
    """Whether path is empty or a pseudo-locale folder written before."""
    if not folder.path.is_dir():
        return False
    names = {child.name for child in folder.path.iterdir()}
    if not names:
        return True
    if not names <= {IDENTITY_FILE, "texts.po"} or IDENTITY_FILE not in names:
        return False
    try:
        earlier = load_identity(folder.identity_path)
    except ValueError:
        return False
    return (earlier.tag, earlier.module) == (identity.tag, identity.module)


def _write_if_changed(path, text):
    """Leaves a file that holds text already as it is, so that what the
    build made from it is not made again."""
    if path.exists() and path.read_text(encoding="utf-8") == text:
        return
    path.write_text(text, encoding="utf-8")
