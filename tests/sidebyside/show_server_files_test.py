#!/usr/bin/python3
"""vrlres-show on every language server file built, none registered: each
file is asked for the class its own type library names, and answers with
its folder's language and module name; and the tool's command line, whose
usage and refusals come before anything is loaded.

    show_server_files_test.py VRLRES-SHOW-EXE DLL=LANGUAGE-FOLDER..."""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

SHOW = None
SERVERS = []


def windows_path(path):
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def show(*arguments):
    """(exit code, stdout lines, the tool's own stderr lines)."""
    result = subprocess.run([os.environ["VRL_WINE"], "--", SHOW, *arguments], capture_output=True)
    lines = result.stdout.decode("utf-8").replace("\r\n", "\n").splitlines()
    errors = [line for line in result.stderr.decode("utf-8", "replace").replace("\r\n", "\n").splitlines()
              if line.startswith("vrlres-show:")]
    return result.returncode, lines, errors


class EveryLanguagesServerFile(unittest.TestCase):
    def test_the_class_is_the_one_its_folder_names(self):
        for dll, identity in SERVERS:
            with self.subTest(module=identity["module"]):
                code, lines, _ = show("--class", windows_path(dll))
                self.assertEqual(code, 0, lines)
                self.assertEqual(lines, [f"Class: {identity['clsid']} {identity['className']}"])

    def test_the_object_answers_with_its_own_language(self):
        for dll, identity in SERVERS:
            with self.subTest(module=identity["module"]):
                code, lines, _ = show(windows_path(dll))
                self.assertEqual(code, 0, lines)
                self.assertEqual(lines[0], f"Class: {identity['clsid']} {identity['className']}")
                self.assertIn(f"LanguageName: \"{identity['languageName']}\"", lines)
                self.assertIn(f"  1000\t\"{identity['module']}\"", lines)

    def test_a_file_without_a_type_library_is_refused(self):
        folder = Path(tempfile.mkdtemp(prefix="show-server-files.", dir="."))
        self.addCleanup(shutil.rmtree, folder)
        (folder / "NotAServer.dll").write_text("no program, only text")
        code, lines, _ = show(windows_path(folder / "NotAServer.dll"))
        self.assertEqual(code, 1)
        self.assertEqual(len(lines), 1, lines)
        self.assertTrue(lines[0].startswith("Reading the class of the file failed: 0x"), lines)


class CommandLine(unittest.TestCase):
    def test_help_prints_the_usage(self):
        code, lines, errors = show("--help")
        self.assertEqual((code, errors), (0, []))
        self.assertEqual(lines[0], "usage: vrlres-show [DLL]")
        self.assertTrue(any(line.lstrip().startswith("DLL ") for line in lines[1:]), "the DLL argument is described")

    def test_a_flag_not_known_is_named_in_one_line(self):
        for flag in ("--bogus", "-x"):
            with self.subTest(flag=flag):
                self.assertEqual(show(flag), (2, [], [f"vrlres-show: unknown flag {flag} (see --help)"]))

    def test_missing_and_extra_arguments_are_usage_errors(self):
        self.assertEqual(show("--class")[0::2], (2, ["vrlres-show: --class needs a server file"]))
        code, _, errors = show("--help", "extra")
        self.assertEqual((code, errors), (2, ["vrlres-show: unexpected argument extra (see --help)"]))


def main(arguments):
    global SHOW
    pairs = [argument.split("=", 1) for argument in arguments[1:]]
    if not arguments or any(len(pair) != 2 for pair in pairs):
        print(__doc__, file=sys.stderr)
        return 2
    SHOW = arguments[0]
    for dll, folder in pairs:
        SERVERS.append((dll, json.loads((Path(folder) / "language.json").read_text(encoding="utf-8"))))
    result = unittest.TextTestRunner(verbosity=2).run(unittest.defaultTestLoader.loadTestsFromModule(sys.modules[__name__]))
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
