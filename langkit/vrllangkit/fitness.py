"""Whether a translation file is fit to build a server from: every id is a
string id of the source, every text is translated and not fuzzy (or falls
back to the source when asked, with a warning), and translate-toolkit's
pofilter checks for '&' accelerators, end whitespace and line breaks pass."""

import re
import unicodedata
from dataclasses import dataclass

from translate.filters import checks

from .catalogue import FUZZY, UNTRANSLATED, read_catalogue
from .resource_script import MODULE_NAME_ID
from .problems import ERROR, NOTE, WARNING, Problem, Refused, errors

LARGEST_STRING_ID = 0xFFFF
# The longest text the kit builds, in UTF-16 units. A string table entry
# holds up to 65,535 (its length is a 16-bit count); the control's labels
# and message boxes show far less, and the longest source text is about 100.
LONGEST_TEXT = 1024
# The pofilter tests that a text must pass, as `pofilter --kde -t NAME` runs them.
TEXT_TESTS = ("accelerators", "endwhitespace", "newlines")
_STRING_ID = re.compile(r"[0-9]{1,5}")
# A `#:` reference (or XLIFF location) that the kit writes: <Module>.rc:<id>.
_REFERENCE = re.compile(r"[A-Za-z0-9_.-]*\.rc:([0-9]{1,5})")
_KEPT_CONTROLS = "\r\n\t"


@dataclass(frozen=True)
class CheckedTexts:
    """The texts to build from, by string id, and what the check found."""

    texts: dict
    problems: list


def string_id(context):
    """The string id that a msgctxt or resname names (the whole of it), or None."""
    if context is None or not _STRING_ID.fullmatch(context):
        return None
    number = int(context)
    return number if number <= LARGEST_STRING_ID else None


def reference_id(reference):
    """The string id of a reference <Module>.rc:<id>, or None."""
    found = _REFERENCE.fullmatch(reference)
    return string_id(found.group(1)) if found else None


def text_problems(text):
    """Why a text cannot go into the string table, as messages."""
    found = []
    units = len(text.encode("utf-16-le")) // 2
    if units > LONGEST_TEXT:
        found.append(f"{units} UTF-16 units long; a text may have {LONGEST_TEXT} at most")
    controls = sorted({character for character in text
                       if unicodedata.category(character) in ("Cc", "Cs") and character not in _KEPT_CONTROLS})
    if controls:
        found.append("control character " + ", ".join(f"U+{ord(character):04X}" for character in controls)
                     + "; only line breaks (CR, LF) and tabs may be in a text")
    return found


@dataclass(frozen=True)
class Placement:
    """Where an entry goes: its string ids, what named them, and what is
    wrong with it (then ids is empty)."""

    entry: object
    ids: tuple
    named_by: str
    problem: str = ""
    shown_id: str | None = None


def place_entry(entry, ids_of_text):
    """The string ids of an entry: from its msgctxt (or resname), else from
    its references, else from a source text that only one id has; a text
    that several ids share goes to each of them. ids_of_text: source text
    -> its ids, in order."""
    kind = entry.context_kind
    if entry.context:
        text_id = string_id(entry.context)
        if text_id is not None:
            return Placement(entry, (text_id,), kind, shown_id=str(text_id))
        # xliff2po writes a unit's location as the msgctxt of a text that
        # two units share.
        text_id = reference_id(entry.context)
        if text_id is not None:
            return Placement(entry, (text_id,), kind, shown_id=str(text_id))
        return Placement(entry, (), kind, f"{kind} {entry.context!r} is not a string id", shown_id=entry.context)
    referenced = tuple(dict.fromkeys(reference_id(reference) for reference in entry.references
                                     if reference_id(reference) is not None))
    if referenced:
        return Placement(entry, referenced, "reference", shown_id=",".join(map(str, referenced)))
    ids = tuple(ids_of_text.get(entry.source, ()))
    if ids:
        return Placement(entry, ids, "source text", shown_id=",".join(map(str, ids)))
    return Placement(entry, (), "", f"no {kind}, no reference <module>.rc:<id>, and no source text "
                                    "like its own: it names no string id")


def place_entries(catalogue, source):
    ids_of_text = {}
    for text_id, text in sorted(source.items()):
        ids_of_text.setdefault(text, []).append(text_id)
    return [place_entry(entry, ids_of_text) for entry in catalogue.entries]


def entry_lines(catalogue, source):
    """The line of each string id's text in the file."""
    lines = {}
    for placement in place_entries(catalogue, source):
        for text_id in placement.ids:
            lines.setdefault(text_id, placement.entry.line)
    return lines


def read_source(folder):
    """The source language's texts by string id; Refused if its file is unfit."""
    catalogue = read_catalogue(folder.texts_path)
    path = str(catalogue.path)
    found = []
    texts = {}
    for entry in catalogue.entries:
        text_id = string_id(entry.context)
        if text_id is None:
            found.append(Problem(ERROR, path, entry.line, entry.context, "msgctxt is not a string id"))
        elif text_id == MODULE_NAME_ID:
            found.append(Problem(ERROR, path, entry.line, entry.context, "this id holds the module name, not a text"))
        elif text_id in texts:
            found.append(Problem(ERROR, path, entry.line, entry.context, "a second text of this id"))
        else:
            texts[text_id] = entry.source
            found += [Problem(ERROR, path, entry.line, str(text_id), message) for message in text_problems(entry.source)]
    if found:
        raise Refused(found)
    return texts


def _text_failures(checker, source, target):
    messages = []
    for test in TEXT_TESTS:
        try:
            getattr(checker, test)(source, target)
        except checks.FilterFailure as failure:
            messages.extend(f"{test}: {message}" for message in failure.messages)
    return messages


def check_catalogue(catalogue, source, language_tag, fallback_to_source=False):
    """The texts of catalogue checked against source (string id -> text)."""
    checker = checks.KdeChecker(checkerconfig=checks.CheckerConfig(targetlanguage=language_tag.split("-")[0]))
    path = str(catalogue.path)
    problems = []
    texts = {}
    seen = {}

    def unfinished(line, text_id, message):
        if fallback_to_source:
            problems.append(Problem(WARNING, path, line, str(text_id), message + "; the source text is used"))
            texts[text_id] = source[text_id]
        else:
            problems.append(Problem(ERROR, path, line, str(text_id), message))

    placements = place_entries(catalogue, source)
    # An id that an entry names is that entry's, whatever order the file
    # has; a source text's ids are only those that no entry names.
    named = {text_id for placement in placements if placement.named_by != "source text" for text_id in placement.ids}
    for placement in placements:
        entry = placement.entry
        if placement.problem:
            problems.append(Problem(ERROR, path, entry.line, placement.shown_id, placement.problem))
            continue
        ids = placement.ids
        if placement.named_by == "source text":
            ids = tuple(text_id for text_id in ids if text_id not in named)
            if not ids:
                continue
            shown = ", ".join(map(str, ids))
            problems.append(Problem(NOTE, path, entry.line, None,
                                    f"no msgctxt, resname or reference: the source text names id{'s' if len(ids) > 1 else ''} {shown}"))
        for text_id in ids:
            if text_id not in source:
                problems.append(Problem(ERROR, path, entry.line, str(text_id), "the source has no text of this id"))
                continue
            if text_id in seen:
                earlier = seen[text_id]
                if placement.named_by == "source text" and earlier.named_by == "source text" \
                        and (earlier.entry.target, earlier.entry.state) == (entry.target, entry.state):
                    continue  # the same text twice (xliff2po repeats a shared source text)
                problems.append(Problem(ERROR, path, entry.line, str(text_id), "a second text of this id"))
                continue
            seen[text_id] = placement
            if entry.source != source[text_id]:
                unfinished(entry.line, text_id, "translated from an older source text (msgid differs from the source)")
            elif entry.state == UNTRANSLATED or not entry.target:
                unfinished(entry.line, text_id, "not translated" + (f" ({entry.state_note})" if entry.state_note else ""))
            elif entry.state == FUZZY or entry.fuzzy:
                unfinished(entry.line, text_id, "marked fuzzy" + (f" ({entry.state_note})" if entry.state_note else ""))
            else:
                failures = _text_failures(checker, entry.source, entry.target) + text_problems(entry.target)
                problems.extend(Problem(ERROR, path, entry.line, str(text_id), failure) for failure in failures)
                if not failures:
                    texts[text_id] = entry.target

    for text_id in sorted(set(source) - set(seen)):
        unfinished(None, text_id, "missing from the file")
    return CheckedTexts(texts, problems)


def checked_texts(folder, source, fallback_to_source=False):
    """The texts of a language folder; Refused when the file is not fit."""
    checked = check_catalogue(
        read_catalogue(folder.texts_path), source, folder.identity().tag, fallback_to_source
    )
    if errors(checked.problems):
        raise Refused(checked.problems)
    return checked
