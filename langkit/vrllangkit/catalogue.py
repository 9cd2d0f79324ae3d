"""Reads a translation file, PO (through polib) or XLIFF 1.2 (through
translate-toolkit), into its entries: what names the string id (the
msgctxt or resname as written, and the `#:` references or location
contexts), source, translation, its state, and its line. A file that is
not in its declared charset or not well formed is refused, naming the
line. polib reads some broken PO files without complaint, so gettext's own
reader (msgcat) judges the form of a PO file first."""

import codecs
import re
import subprocess
import tempfile
from dataclasses import dataclass
from pathlib import Path

import polib
from lxml import etree
from translate.storage import xliff

from .problems import ERROR, Problem, Refused

# What an entry's state says of its translation.
FIT = "fit"
FUZZY = "fuzzy"
UNTRANSLATED = "untranslated"

_UTF8_BOM = codecs.BOM_UTF8
CONVERT_ADVICE = "declare its charset in the header, or convert it: msgconv --to-code=UTF-8"


@dataclass(frozen=True)
class Entry:
    context: str | None
    source: str
    target: str
    fuzzy: bool
    line: int | None
    # The `#:` references (PO) or location contexts (XLIFF), "FILE:LINE".
    references: tuple = ()
    # What names the id in this format: "msgctxt" or "resname".
    context_kind: str = "msgctxt"
    state: str = FIT
    # Why the state is what it is, where the file says more than fuzzy.
    state_note: str = ""


@dataclass(frozen=True)
class Catalogue:
    path: Path
    entries: tuple


def _refused(path, line, message):
    return Refused([Problem(ERROR, str(path), line, None, message)])


# msgcat's reports: "FILE:LINE: MESSAGE" or "FILE:LINE:COLUMN: MESSAGE".
_GETTEXT_REPORT = re.compile(r":(\d+):(?:\d+:)? (.*)$")
# The header's charset, as gettext reads it: from the first msgstr.
_DECLARED_CHARSET = re.compile(rb'"Content-Type:[^"\n]*charset=([A-Za-z0-9_.:+-]+)', re.IGNORECASE)


def _require_well_formed_po(path, data):
    """msgcat's verdict on the file's bytes (without a byte-order mark,
    which gettext does not read)."""
    result = subprocess.run(["msgcat", "-o", "/dev/null", "-"], input=data, capture_output=True)
    if result.returncode == 0:
        return
    problems = []
    for report in result.stderr.decode("utf-8", "replace").splitlines():
        found = _GETTEXT_REPORT.search(report)
        if found and not found.group(2).startswith("warning:"):
            problems.append(Problem(ERROR, str(path), int(found.group(1)), None, f"not a well-formed PO file: {found.group(2)}"))
    stderr = result.stderr.decode("utf-8", "replace").strip()
    raise Refused(problems or [Problem(ERROR, str(path), None, None, f"not a well-formed PO file: {stderr}")])


def _po_text(path, data):
    """The file's text, decoded from its declared charset (UTF-8 when it
    declares none, or gettext's placeholder CHARSET)."""
    declared = _DECLARED_CHARSET.search(data)
    charset = declared.group(1).decode("ascii") if declared else "UTF-8"
    if charset.upper() == "CHARSET":
        charset = "UTF-8"
    try:
        codecs.lookup(charset)
    except LookupError:
        line = data[: declared.start()].count(b"\n") + 1
        raise _refused(path, line, f"charset {charset!r} is not one the kit can read; {CONVERT_ADVICE}") from None
    try:
        return data.decode(charset)
    except UnicodeDecodeError as error:
        line = data[: error.start].count(b"\n") + 1
        shown = "UTF-8" if charset.upper().replace("_", "-") in ("UTF-8", "UTF8") else charset
        raise _refused(path, line, f"not {shown} (byte {data[error.start]:#04x}); {CONVERT_ADVICE}") from None


def _read_po(path, data):
    data = data.removeprefix(_UTF8_BOM)
    text = _po_text(path, data)
    _require_well_formed_po(path, data)
    # polib splits text it is given on every Unicode line break; from a
    # file, it reads lines as gettext does.
    with tempfile.NamedTemporaryFile("w", encoding="utf-8", suffix=".po") as copy:
        copy.write(text)
        copy.flush()
        try:
            document = polib.pofile(copy.name, encoding="utf-8", wrapwidth=0)
        except (OSError, ValueError) as error:
            raise _refused(path, None, f"not a well-formed PO file: {error}") from None
    return tuple(
        Entry(
            entry.msgctxt,
            entry.msgid,
            entry.msgstr,
            "fuzzy" in entry.flags,
            entry.linenum,
            references=tuple(f"{file}:{line}" if line else file for file, line in entry.occurrences),
            state=FUZZY if "fuzzy" in entry.flags and entry.msgstr else (FIT if entry.msgstr else UNTRANSLATED),
        )
        for entry in document
        if not entry.obsolete and not (entry.msgid == "" and entry.msgctxt is None)
    )


_FIT_STATES = ("translated", "final", "signed-off")


def xliff_state(unit):
    """A unit's state as XLIFF 1.2 defines it: fit when its target's state
    is translated, final or signed-off, or the unit is approved; fuzzy in
    the needs-* states; not translated in state new or without a target.
    A target with neither state nor approval is fit: many tools never
    write approved."""
    target = unit.getlanguageNode(lang=None, index=1)
    text = str(unit.target or "")
    if target is None or not text:
        return UNTRANSLATED, ""
    state = target.get("state")
    if state is not None and state.startswith("needs-"):
        return FUZZY, f"state {state}"
    if state == "new":
        return UNTRANSLATED, "state new"
    if state is None or state in _FIT_STATES or unit.xmlelement.get("approved") == "yes":
        return FIT, ""
    return FUZZY, f"state {state}"


def _locations(unit):
    """The unit's location contexts (po2xliff's form of `#:`), "FILE:LINE"."""
    found = []
    for group in unit.xmlelement.iterfind(f"{{{unit.namespace}}}context-group"):
        if group.get("purpose") != "location":
            continue
        values = {context.get("context-type"): (context.text or "")
                  for context in group.iterfind(f"{{{unit.namespace}}}context")}
        if "sourcefile" in values:
            line = values.get("linenumber")
            found.append(f"{values['sourcefile']}:{line}" if line else values["sourcefile"])
    return tuple(found)


def _read_xliff(path):
    try:
        document = xliff.xlifffile.parsefile(str(path))
    except etree.XMLSyntaxError as error:
        raise _refused(path, error.lineno, f"not well-formed XML: {error.msg}") from None
    except (ValueError, etree.LxmlError) as error:
        raise _refused(path, None, f"not an XLIFF file: {error}") from None
    entries = []
    for unit in document.units:
        if unit.isheader() or unit.xmlelement.get("restype") == "x-gettext-domain-header":
            continue
        state, note = xliff_state(unit)
        entries.append(Entry(
            unit.xmlelement.get("resname"),
            str(unit.source),
            str(unit.target or ""),
            state == FUZZY,
            unit.xmlelement.sourceline,
            references=_locations(unit),
            context_kind="resname",
            state=state,
            state_note=note,
        ))
    return tuple(entries)


def read_catalogue(path):
    """The catalogue in path (.po or .xlf/.xliff); Refused when it cannot be read."""
    path = Path(path)
    try:
        data = path.read_bytes()
    except OSError as error:
        raise _refused(path, None, f"cannot be read: {error.strerror}") from None
    if path.suffix == ".po":
        return Catalogue(path, _read_po(path, data))
    if path.suffix in (".xlf", ".xliff"):
        return Catalogue(path, _read_xliff(path))
    raise _refused(path, None, "is neither a .po nor an .xlf file")
