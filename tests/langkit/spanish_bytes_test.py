#!/usr/bin/python3
"""The Spanish server that the language kit builds carries the resources of
the last server before the kit, kept in reference/win32 and reference/win64:
every resource but the string table byte for byte, the version block's
BuildDate excepted (the server's own stands in for the reference's), and the
reference's texts, in which the kit's spell check mended "Advanzado" (ids
304 and 311) to "Avanzado". The string table is also checked against the
language folder, as check_string_table.py does.

The reference of the server's bitness is picked by the DLL's machine type.
make_spanish_reference.py wrote the folders from the servers of that commit.

Usage: spanish_bytes_test.py SERVER-DLL LANGUAGE-FOLDER REFERENCE-FOLDER"""

import json
import struct
import sys
import time
import unittest
from pathlib import Path

import pefile

sys.dont_write_bytecode = True
sys.path.insert(0, str(Path(__file__).resolve().parent))

from check_string_table import RT_STRING, StringTable, resources, string_table  # noqa: E402

# The version block's files: RT_VERSION.1.0C0A.bin.
VERSION_FILES = "RT_VERSION."
TEXTS_FILE = "texts.json"
BUILD_DATE = "BuildDate"
BUILD_DATE_FORMAT = "%a %b %d %H:%M:%S UTC %Y"
# The reference's folder for each machine type.
BITNESS_FOLDERS = {
    pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"]: "win32",
    pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64"]: "win64",
}


def bitness_folder(dll):
    machine = pefile.PE(str(dll), fast_load=True).FILE_HEADER.Machine
    if machine not in BITNESS_FOLDERS:
        raise ValueError(f"{dll}: machine type {machine:#x} has no reference")
    return BITNESS_FOLDERS[machine]


def file_name(key):
    """The reference's file of a resource: TYPE.NAME.LANGUAGE.bin, with the
    standard types by their names (RT_VERSION.1.0C0A.bin)."""
    kind, name, language = key
    if kind.isdigit():
        kind = pefile.RESOURCE_TYPE.get(int(kind), kind)
    return f"{kind}.{name}.{language:04X}.bin"


def string_value_span(block, key):
    """Where the text of the version block's string KEY lies: (start, end),
    without its terminating null; None when the block has no such string.

    A version block is a tree of nodes: length, value length, type (1 for a
    text, whose value length counts characters), the key in UTF-16 ending in
    a null, the value and the children, each on a 4-byte boundary."""

    def align(offset):
        return (offset + 3) & ~3

    def text_end(offset, limit):
        while offset + 2 <= limit and block[offset : offset + 2] != b"\0\0":
            offset += 2
        return offset

    def walk(start, limit):
        while start + 6 <= limit:
            length, value_length, kind = struct.unpack_from("<HHH", block, start)
            if length < 6 or start + length > limit:
                return None
            end = start + length
            key_end = text_end(start + 6, end)
            value = align(key_end + 2)
            if kind == 1 and block[start + 6 : key_end].decode("utf-16-le") == key:
                return value, text_end(value, end)
            found = walk(align(value + (2 * value_length if kind == 1 else value_length)), end)
            if found:
                return found
            start = align(end)
        return None

    return walk(0, len(block))


def build_date(block):
    span = string_value_span(block, BUILD_DATE)
    return None if span is None else block[span[0] : span[1]].decode("utf-16-le")


def with_build_date(block, date):
    """The version block with DATE as its BuildDate text (of the same length)."""
    start, end = string_value_span(block, BUILD_DATE)
    text = date.encode("utf-16-le")
    if len(text) != end - start:
        raise ValueError(f"BuildDate {date!r} is not as long as {build_date(block)!r}")
    return block[:start] + text + block[end:]


def read_texts(folder):
    """(string blocks' language, {string id: text}) of a reference folder."""
    document = json.loads((folder / TEXTS_FILE).read_text(encoding="utf-8"))
    return int(document["language"], 16), {int(text_id): text for text_id, text in document["texts"].items()}


class SpanishBytes(unittest.TestCase):
    dll = None
    reference = None

    @classmethod
    def setUpClass(cls):
        cls.folder = cls.reference / bitness_folder(cls.dll)
        cls.found = resources(cls.dll)
        cls.others = {file_name(key): data for key, (data, _) in cls.found.items() if key[0] != str(RT_STRING)}

    def reference_file(self, name):
        return (self.folder / name).read_bytes()

    def test_the_same_resources_as_the_reference(self):
        expected = sorted(path.name for path in self.folder.glob("*.bin"))
        self.assertTrue(expected, f"{self.folder} holds no resources")
        self.assertEqual(sorted(self.others), expected)

    def test_every_resource_but_the_version_block_is_the_references(self):
        compared = 0
        for name, data in self.others.items():
            if name.startswith(VERSION_FILES) or not (self.folder / name).exists():
                continue
            self.assertEqual(data, self.reference_file(name), f"resource {name} differs from the reference's")
            compared += 1
        self.assertGreaterEqual(compared, 2, "the type library and the registry script at least")

    def test_version_block_is_the_references_but_for_the_build_date(self):
        blocks = [name for name in self.others if name.startswith(VERSION_FILES)]
        self.assertEqual(len(blocks), 1, f"one version block: {blocks}")
        self.assertTrue((self.folder / blocks[0]).exists(), f"the reference has no {blocks[0]}")
        ours, theirs = self.others[blocks[0]], self.reference_file(blocks[0])
        date = build_date(ours)
        self.assertIsNotNone(date, "the server's version block has no BuildDate")
        try:
            time.strptime(date, BUILD_DATE_FORMAT)
        except ValueError:
            self.fail(f"BuildDate {date!r} is not of the form {BUILD_DATE_FORMAT!r}")
        self.assertEqual(len(date), len(build_date(theirs)), f"BuildDate {date!r} against {build_date(theirs)!r}")
        # The reader finds the BuildDate that pefile finds.
        image = pefile.PE(str(self.dll))
        listed = {key.decode(): value.decode() for info in image.FileInfo[0] if hasattr(info, "StringTable")
                  for table in info.StringTable for key, value in table.entries.items()}
        self.assertEqual(listed[BUILD_DATE], date)
        self.assertEqual(ours, with_build_date(theirs, date))

    def test_texts_are_the_references(self):
        language, texts = read_texts(self.folder)
        self.assertEqual(string_table(self.found), texts)
        self.assertEqual({key[2] for key in self.found if key[0] == str(RT_STRING)}, {language})
        self.assertEqual((texts[304], texts[311]), ("Avanzado", "Avanzado"))


class VersionBlockReader(unittest.TestCase):
    """The BuildDate reader and patch on the reference's own blocks, without
    a server."""

    def blocks(self):
        root = Path(__file__).resolve().parent / "reference"
        found = sorted(root.glob(f"*/{VERSION_FILES}*.bin"))
        self.assertEqual(len(found), 2)
        return [path.read_bytes() for path in found]

    def test_build_date_is_found_and_patched_in_place(self):
        for block in self.blocks():
            date = build_date(block)
            time.strptime(date, BUILD_DATE_FORMAT)
            patched = with_build_date(block, "Mon Jun 25 15:41:01 UTC 2001")
            self.assertEqual(len(patched), len(block))
            self.assertEqual(build_date(patched), "Mon Jun 25 15:41:01 UTC 2001")
            self.assertEqual(string_value_span(patched, "ProductName"), string_value_span(block, "ProductName"))
            self.assertEqual(with_build_date(patched, date), block)

    def test_a_date_of_another_length_is_refused(self):
        for block in self.blocks():
            with self.assertRaises(ValueError):
                with_build_date(block, "Mon Jun 25 15:41:01 UTC 20010")

    def test_missing_and_cut_blocks_give_no_date(self):
        for block in self.blocks():
            self.assertIsNone(string_value_span(block, "NoSuchValue"))
            self.assertIsNone(build_date(block[:40]))
            self.assertIsNone(build_date(b""))


def main():
    if len(sys.argv) != 4:
        print(__doc__, file=sys.stderr)
        return 2
    dll, language_folder, reference = map(Path, sys.argv[1:])
    SpanishBytes.dll, SpanishBytes.reference = dll, reference
    StringTable.dll, StringTable.folder = dll, language_folder
    loader = unittest.defaultTestLoader
    suite = unittest.TestSuite(
        loader.loadTestsFromTestCase(case) for case in (SpanishBytes, StringTable, VersionBlockReader)
    )
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
