"""A language folder: language.json (the identity), the texts (texts.po, or
texts.xlf) and, optionally, allowed-words.txt (words its spell check
accepts, one to a line). The Spanish folder is the source language: its
msgids are the texts every other language translates."""

import os
from dataclasses import dataclass
from pathlib import Path

from .identity import load_identity
from .problems import ERROR, Problem, Refused

LANGUAGES_ROOT = Path(__file__).resolve().parents[2] / "languages"
# The folders of the languages that the build makes for its tests only.
BUILD_LANGUAGE_FOLDERS = (Path(__file__).resolve().parents[2] / "tests" / "languages",)
SOURCE_LANGUAGE = "es"
IDENTITY_FILE = "language.json"
TEXTS_FILES = ("texts.po", "texts.xlf")
ALLOWED_WORDS_FILE = "allowed-words.txt"


@dataclass(frozen=True)
class LanguageFolder:
    path: Path

    @property
    def identity_path(self):
        return self.path / IDENTITY_FILE

    @property
    def texts_path(self):
        """The translation file: texts.po, else texts.xlf."""
        for name in TEXTS_FILES:
            if (self.path / name).exists():
                return self.path / name
        return self.path / TEXTS_FILES[0]

    @property
    def allowed_words_path(self):
        return self.path / ALLOWED_WORDS_FILE

    def identity(self):
        return load_identity(self.identity_path)


def language_folder(name_or_path):
    """An existing folder of languages/ by name (es, fr), or any folder by its
    path; Refused, naming the folder, when there is none."""
    if os.sep in name_or_path or name_or_path.startswith("."):
        folder = LanguageFolder(Path(name_or_path))
    else:
        folder = LanguageFolder(LANGUAGES_ROOT / name_or_path)
    if not folder.path.is_dir():
        raise Refused([Problem(ERROR, str(folder.path), None, None,
                               "no such language folder (langkit new TAG makes one)")])
    return folder


def source_folder():
    return LanguageFolder(LANGUAGES_ROOT / SOURCE_LANGUAGE)
