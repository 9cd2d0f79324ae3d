"""Reads a translation file, PO (through polib) or XLIFF 1.2 (through
translate-toolkit), into its entries: the string id as written, source,
translation, whether it is marked fuzzy, and its line. A file that is not
UTF-8 or not well formed is refused, naming the line. polib reads some
broken PO files without complaint, so gettext's own reader (msgcat) judges
the form of a PO file first."""

import re
import subprocess
from dataclasses import dataclass
from pathlib import Path

import polib
from lxml import etree
from translate.storage import xliff

from .problems import ERROR, Problem, Refused


@dataclass(frozen=True)
class Entry:
    context: str | None
    source: str
    target: str
    fuzzy: bool
    line: int | None


@dataclass(frozen=True)
class Catalogue:
    path: Path
    entries: tuple


def _refused(path, line, message):
    return Refused([Problem(ERROR, str(path), line, None, message)])


def _require_utf8(path, data):
    try:
        data.decode("utf-8")
    except UnicodeDecodeError as error:
        line = data[: error.start].count(b"\n") + 1
        raise _refused(path, line, f"not UTF-8 (byte {data[error.start]:#04x})") from None


# msgcat's reports: "FILE:LINE: MESSAGE" or "FILE:LINE:COLUMN: MESSAGE".
_GETTEXT_REPORT = re.compile(r":(\d+):(?:\d+:)? (.*)$")


def _require_well_formed_po(path):
    result = subprocess.run(["msgcat", "-o", "/dev/null", str(path)], capture_output=True, text=True, encoding="utf-8")
    if result.returncode == 0:
        return
    problems = []
    for report in result.stderr.splitlines():
        found = _GETTEXT_REPORT.search(report)
        if found and not found.group(2).startswith("warning:"):
            problems.append(Problem(ERROR, str(path), int(found.group(1)), None, f"not a well-formed PO file: {found.group(2)}"))
    raise Refused(problems or [Problem(ERROR, str(path), None, None, f"not a well-formed PO file: {result.stderr.strip()}")])


def _read_po(path):
    _require_well_formed_po(path)
    try:
        document = polib.pofile(str(path), encoding="utf-8", wrapwidth=0)
    except (OSError, ValueError) as error:
        raise _refused(path, None, f"not a well-formed PO file: {error}") from None
    charset = document.metadata.get("Content-Type", "").lower()
    if "charset=utf-8" not in charset.replace(" ", ""):
        raise _refused(path, 1, f"the header must declare charset=UTF-8, not {charset or 'nothing'!r}")
    return tuple(
        Entry(entry.msgctxt, entry.msgid, entry.msgstr, "fuzzy" in entry.flags, entry.linenum)
        for entry in document
        if not entry.obsolete
    )


def _read_xliff(path):
    try:
        document = xliff.xlifffile.parsefile(str(path))
    except etree.XMLSyntaxError as error:
        raise _refused(path, error.lineno, f"not well-formed XML: {error.msg}") from None
    except (ValueError, etree.LxmlError) as error:
        raise _refused(path, None, f"not an XLIFF file: {error}") from None
    return tuple(
        Entry(
            unit.xmlelement.get("resname"),
            str(unit.source),
            str(unit.target or ""),
            unit.isfuzzy(),
            unit.xmlelement.sourceline,
        )
        for unit in document.units
        if not unit.isheader()
    )


def read_catalogue(path):
    """The catalogue in path (.po or .xlf/.xliff); Refused when it cannot be read."""
    path = Path(path)
    try:
        data = path.read_bytes()
    except OSError as error:
        raise _refused(path, None, f"cannot be read: {error.strerror}") from None
    _require_utf8(path, data)
    if path.suffix == ".po":
        return Catalogue(path, _read_po(path))
    if path.suffix in (".xlf", ".xliff"):
        return Catalogue(path, _read_xliff(path))
    raise _refused(path, None, "is neither a .po nor an .xlf file")


def source_texts(catalogue):
    """The source language's texts by string id, from its msgids."""
    return {int(entry.context): entry.source for entry in catalogue.entries}
