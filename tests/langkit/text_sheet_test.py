#!/usr/bin/python3
"""The text sheet through the platform's GDI in Wine: a translation made too
long is marked on the sheet and listed, by id and line, by `langkit sheet`
and by `langkit check --widths` alike; the server's "Arial" is drawn with the
metric-compatible Liberation Sans; and nothing is marked when the share
allows it.

Usage: text_sheet_test.py VRL-TEXTSHEET-EXE  (VRL_WINE runs it)"""

import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib
from pathlib import Path

import polib

ROOT = Path(__file__).resolve().parents[2]
LANGKIT = ROOT / "langkit" / "langkit"
TEST_LANGUAGE = ROOT / "tests" / "languages" / "entest"
MADE_TOO_LONG = "302"
OVERFLOW_PAPER = (255, 204, 204)


def langkit(*arguments):
    return subprocess.run(["/usr/bin/python3", str(LANGKIT), *map(str, arguments)], capture_output=True, text=True,
                          encoding="utf-8")


def png_pixels(path):
    """(width, height, rows of RGB bytes) of the sheet's unfiltered RGB PNG."""
    data = Path(path).read_bytes()
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    width, height = struct.unpack(">II", data[16:24])
    chunks, at = [], 8
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        if kind == b"IDAT":
            chunks.append(data[at + 8:at + 8 + length])
        at += 12 + length
    raw = zlib.decompress(b"".join(chunks))
    stride = width * 3 + 1
    return width, height, [raw[row * stride + 1:(row + 1) * stride] for row in range(height)]


def marked_rows(path):
    _, _, rows = png_pixels(path)
    return sum(1 for row in rows if bytes(OVERFLOW_PAPER) in row)


class TextSheet(unittest.TestCase):
    tool = None

    def setUp(self):
        self.scratch = Path(tempfile.mkdtemp(prefix="text-sheet.", dir=os.environ.get("VRL_BIN")))
        self.addCleanup(shutil.rmtree, self.scratch)
        self.folder = self.scratch / "entest"
        shutil.copytree(TEST_LANGUAGE, self.folder)
        document = polib.pofile(str(self.folder / "texts.po"), wrapwidth=0)
        entry = next(entry for entry in document if entry.msgctxt == MADE_TOO_LONG)
        entry.msgstr = "Identify every single instrument connected to this computer"
        document.save()
        self.line = entry.linenum

    def sheet(self, *options):
        png, widths = self.scratch / "sheet.png", self.scratch / "widths.tsv"
        result = langkit("sheet", self.folder, png, widths, *options, "--", os.environ["VRL_WINE"], "--", self.tool)
        self.assertEqual(result.returncode, 0, result.stderr)
        return result.stdout, png, widths

    def test_a_text_made_too_long_is_marked_and_listed(self):
        listed, png, widths = self.sheet()
        overflow = [line for line in listed.splitlines() if ": warning: id " in line]
        self.assertIn(f"texts.po:{self.line}: warning: id {MADE_TOO_LONG}: ", "\n".join(overflow))
        self.assertNotRegex(listed, r"id 303:", "a translation shorter than its source")
        self.assertIn("Arial drawn as Liberation Sans, 8 pt", widths.read_text(encoding="utf-8"))
        width, height, _ = png_pixels(png)
        self.assertGreater((width, height), (400, 48 * 12))
        self.assertGreaterEqual(marked_rows(png), len(overflow))

        checked = langkit("check", self.folder, "--widths", widths)
        self.assertEqual(checked.returncode, 0, checked.stderr)
        self.assertEqual([line for line in checked.stderr.splitlines() if "wider than the source" in line], overflow)

    def test_nothing_is_marked_within_the_share(self):
        listed, png, _ = self.sheet("--share", "500")
        self.assertNotIn("wider than the source", listed)
        self.assertEqual(marked_rows(png), 0)


def main():
    TextSheet.tool = sys.argv[1]
    result = unittest.TextTestRunner(verbosity=2).run(unittest.defaultTestLoader.loadTestsFromTestCase(TextSheet))
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
