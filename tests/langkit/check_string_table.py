#!/usr/bin/python3
"""Checks that a server DLL's string table is its language folder's: every
text of texts.po (the msgstr) under its string id, the module name under
id 1000, nothing else, all stored under the folder's resource language.

Usage: check_string_table.py DLL LANGUAGE-FOLDER"""

import argparse
import json
import sys
import unittest
from pathlib import Path

import pefile
import polib

RT_STRING = pefile.RESOURCE_TYPE["RT_STRING"]
MODULE_NAME_ID = 1000


def resources(path):
    """(type, name, language) -> (bytes, {string id: text} for string blocks)."""
    image = pefile.PE(str(path))
    found = {}
    for kind in image.DIRECTORY_ENTRY_RESOURCE.entries:
        for name in kind.directory.entries:
            for language in name.directory.entries:
                data = language.data.struct
                key = (str(kind.name or kind.id), str(name.name or name.id), language.id)
                strings = dict(getattr(name.directory, "strings", {})) if kind.id == RT_STRING else {}
                found[key] = (image.get_data(data.OffsetToData, data.Size), strings)
    return found


def string_table(found):
    table = {}
    for _, strings in found.values():
        table.update(strings)
    return table


class StringTable(unittest.TestCase):
    dll = None
    folder = None

    def setUp(self):
        self.found = resources(self.dll)
        self.identity = json.loads((self.folder / "language.json").read_text(encoding="utf-8"))

    def test_texts_are_the_language_folders(self):
        expected = {int(entry.msgctxt): entry.msgstr for entry in polib.pofile(str(self.folder / "texts.po"))}
        expected[MODULE_NAME_ID] = self.identity["module"]
        self.assertEqual(string_table(self.found), expected)

    def test_string_blocks_are_stored_under_the_resource_language(self):
        languages = {language for (kind, _, language) in self.found if kind == str(RT_STRING)}
        self.assertEqual(languages, {int(self.identity["resourceLanguage"], 16)})


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("dll", type=Path)
    parser.add_argument("folder", type=Path)
    arguments = parser.parse_args()
    StringTable.dll, StringTable.folder = arguments.dll, arguments.folder
    result = unittest.TextTestRunner(verbosity=2).run(unittest.defaultTestLoader.loadTestsFromTestCase(StringTable))
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
