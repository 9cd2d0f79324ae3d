"""The spell check of a language's texts with its hunspell dictionary, where
the system has one, accepting the words of the folder's allowed-words.txt
(hunspell's personal dictionary). Accelerator marks are taken out first."""

import re
import subprocess
import tempfile
from pathlib import Path

from .dictionaries import dictionary_package
from .problems import ERROR, WARNING, Problem

DICTIONARY_FOLDER = Path("/usr/share/hunspell")
# hunspell -u3: "FILE:LINE: Locate: WORD | Try: SUGGESTIONS"
_FINDING = re.compile(r":(\d+): Locate: (\S+)(?: \| Try: (.*))?$")


def dictionary_for(tag):
    """The hunspell dictionary of a language tag (es-ES -> es_ES), or None."""
    parts = tag.split("-")
    names = [f"{parts[0].lower()}_{parts[1].upper()}"] if len(parts) > 1 else []
    names.append(parts[0].lower())
    for name in names:
        if (DICTIONARY_FOLDER / f"{name}.dic").exists():
            return name
    return None


def spoken_text(text):
    """The words of a text as shown: no accelerator marks, one line."""
    return re.sub(r"&(.)", r"\1", text).replace("\r", " ").replace("\n", " ")


def spelling_problems(folder, texts, lines):
    """Misspelt words of texts (string id -> text), reported at lines (string
    id -> line of the translation file)."""
    path = str(folder.texts_path)
    dictionary = dictionary_for(folder.identity().tag)
    if dictionary is None:
        tag = folder.identity().tag
        package = dictionary_package(tag)
        advice = f"install Debian's {package} (scripts/bootstrap does)" if package else "Debian has none"
        return [Problem(WARNING, path, None, None, f"no hunspell dictionary for {tag}; spelling not checked: {advice}")]
    ids = sorted(texts)
    with tempfile.NamedTemporaryFile("w", encoding="utf-8", suffix=".txt") as listing:
        listing.write("".join(spoken_text(texts[text_id]) + "\n" for text_id in ids))
        listing.flush()
        command = ["hunspell", "-d", dictionary, "-i", "utf-8", "-u3"]
        if folder.allowed_words_path.exists():
            command += ["-p", str(folder.allowed_words_path)]
        result = subprocess.run(command + [listing.name], capture_output=True, text=True, encoding="utf-8", check=True)
    problems = []
    for finding in result.stdout.splitlines():
        match = _FINDING.search(finding)
        if match:
            text_id = ids[int(match.group(1)) - 1]
            advice = f" (try: {match.group(3)})" if match.group(3) else ""
            problems.append(Problem(ERROR, path, lines.get(text_id), str(text_id), f"misspelt {match.group(2)!r}{advice}"))
    return problems
