"""The pseudo-locale qps-ploc: every source text with accented letters, about
35% longer and between [ and ], so that a text that is cut, joined to
another or not taken from the server at all shows at a glance. Accelerators
(the letter after '&' stays as it is), leading and trailing blanks and line
breaks are kept, outside the brackets."""

import math
import re

from .exporting import po_document
from .identity import PSEUDO_TAG, derive_identity, identity_document
from .language import LanguageFolder, source_folder

GROWTH = 0.35
_ACCENTED = str.maketrans(
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ",
    "áƀçđéƒĝĥíĵķĺɱñóþǫŕšţúṽŵẋýžÅßÇĐÉƑĜĤÍĴĶĹṀÑÓÞǪŔŠŢÚṼŴẊÝŽ",
)
# Filler that looks like words, so that wrapping behaves as with real text.
_FILLER = "ŀóŕéɱ íƥšúɱ đóŀóŕ šíţ áɱéţ çóñšéçţéţúŕ "
_FRAME = re.compile(r"^(\s*)(.*?)(\s*)$", re.DOTALL)
SUFFIX = "PLOC"


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
    its texts, made from the source language."""
    folder = LanguageFolder(path)
    folder.path.mkdir(parents=True, exist_ok=True)
    identity = derive_identity(PSEUDO_TAG, SUFFIX, source_folder().identity())
    _write_if_changed(folder.identity_path, identity_document(identity))
    document = po_document(source_folder(), identity)
    for entry in document:
        entry.msgstr = pseudo_text(entry.msgid)
        entry.flags = []
    _write_if_changed(folder.path / "texts.po", str(document))
    return folder


def _write_if_changed(path, text):
    """Leaves a file that holds text already as it is, so that what the
    build made from it is not made again."""
    if path.exists() and path.read_text(encoding="utf-8") == text:
        return
    path.write_text(text, encoding="utf-8")
