#!/usr/bin/python3
"""Checks that a server DLL's string table is its language folder's: every
translation of its texts file under the string ids that the kit reads for
it (msgctxt or resname, else the `#:` reference, else the source text), the
module name under id 1000, nothing else, all stored under the folder's
resource language. Prints only the texts that differ.

Usage: check_string_table.py DLL LANGUAGE-FOLDER"""

import argparse
import sys
import unittest
from pathlib import Path

import pefile

sys.dont_write_bytecode = True
sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "langkit"))
from vrllangkit.catalogue import read_catalogue  # noqa: E402
from vrllangkit.fitness import place_entries, read_source  # noqa: E402
from vrllangkit.language import LanguageFolder, source_folder  # noqa: E402

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


def expected_texts(folder):
    """What the folder's server must hold: each translation under the ids
    that the kit places it at, and the module name."""
    language = LanguageFolder(Path(folder))
    placements = place_entries(read_catalogue(language.texts_path), read_source(source_folder()))
    expected = {text_id: placement.entry.target for placement in placements for text_id in placement.ids}
    expected[MODULE_NAME_ID] = language.identity().module
    return expected


def differing_texts(found, expected):
    """One line for each string id whose text is not the expected one."""
    lines = []
    for text_id in sorted(set(found) | set(expected)):
        if text_id not in found:
            lines.append(f"id {text_id}: missing; the folder has {expected[text_id]!r}")
        elif text_id not in expected:
            lines.append(f"id {text_id}: {found[text_id]!r}, which the folder does not have")
        elif found[text_id] != expected[text_id]:
            lines.append(f"id {text_id}: {found[text_id]!r}; the folder has {expected[text_id]!r}")
    return lines


class StringTable(unittest.TestCase):
    dll = None
    folder = None

    def setUp(self):
        self.found = resources(self.dll)
        self.identity = LanguageFolder(Path(self.folder)).identity()

    def test_texts_are_the_language_folders(self):
        differing = differing_texts(string_table(self.found), expected_texts(self.folder))
        if differing:
            self.fail(f"{len(differing)} texts differ:\n" + "\n".join(differing))

    def test_string_blocks_are_stored_under_the_resource_language(self):
        languages = {language for (kind, _, language) in self.found if kind == str(RT_STRING)}
        self.assertEqual(languages, {self.identity.resource_language})


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
