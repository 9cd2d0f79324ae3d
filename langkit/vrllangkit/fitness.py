"""Whether a translation file is fit to build a server from: every id is a
string id of the source, every text is translated and not fuzzy (or falls
back to the source when asked, with a warning), and translate-toolkit's
pofilter checks for '&' accelerators, end whitespace and line breaks pass."""

import re
from dataclasses import dataclass

from translate.filters import checks

from .catalogue import read_catalogue
from .resource_script import MODULE_NAME_ID
from .problems import ERROR, WARNING, Problem, Refused, errors

LARGEST_STRING_ID = 0xFFFF
# The pofilter tests that a text must pass, as `pofilter --kde -t NAME` runs them.
TEXT_TESTS = ("accelerators", "endwhitespace", "newlines")
_STRING_ID = re.compile(r"^[0-9]+$")


@dataclass(frozen=True)
class CheckedTexts:
    """The texts to build from, by string id, and what the check found."""

    texts: dict
    problems: list


def string_id(context):
    """The string id that a msgctxt or resname names, or None."""
    if context is None or not _STRING_ID.match(context):
        return None
    number = int(context)
    return number if number <= LARGEST_STRING_ID else None


def read_source(folder):
    """The source language's texts by string id; Refused if its file is unfit."""
    catalogue = read_catalogue(folder.texts_path)
    found = [
        Problem(ERROR, str(catalogue.path), entry.line, entry.context, "msgctxt is not a string id")
        for entry in catalogue.entries
        if string_id(entry.context) is None
    ]
    found += [
        Problem(ERROR, str(catalogue.path), entry.line, entry.context, "this id holds the module name, not a text")
        for entry in catalogue.entries
        if string_id(entry.context) == MODULE_NAME_ID
    ]
    if found:
        raise Refused(found)
    return {string_id(entry.context): entry.source for entry in catalogue.entries}


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
    seen = set()

    def unfinished(line, text_id, message):
        if fallback_to_source:
            problems.append(Problem(WARNING, path, line, str(text_id), message + "; the source text is used"))
            texts[text_id] = source[text_id]
        else:
            problems.append(Problem(ERROR, path, line, str(text_id), message))

    for entry in catalogue.entries:
        text_id = string_id(entry.context)
        if text_id is None:
            problems.append(Problem(ERROR, path, entry.line, entry.context, f"msgctxt {entry.context!r} is not a string id"))
            continue
        if text_id not in source:
            problems.append(Problem(ERROR, path, entry.line, str(text_id), "the source has no text of this id"))
            continue
        if text_id in seen:
            problems.append(Problem(ERROR, path, entry.line, str(text_id), "a second text of this id"))
            continue
        seen.add(text_id)
        if entry.source != source[text_id]:
            unfinished(entry.line, text_id, "translated from an older source text (msgid differs from the source)")
        elif not entry.target:
            unfinished(entry.line, text_id, "not translated")
        elif entry.fuzzy:
            unfinished(entry.line, text_id, "marked fuzzy")
        else:
            failures = _text_failures(checker, entry.source, entry.target)
            problems.extend(Problem(ERROR, path, entry.line, str(text_id), failure) for failure in failures)
            if not failures:
                texts[text_id] = entry.target

    for text_id in sorted(set(source) - seen):
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
