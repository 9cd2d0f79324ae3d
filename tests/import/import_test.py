#!/usr/bin/python3
"""langkit import: each server the build makes gives back its language folder
(identity and texts), and refusals name the file and write nothing.

Usage: import_test.py VRL-CONFORM.EXE WORK-FOLDER SERVER.dll=LANGUAGE-FOLDER..."""

import dataclasses
import os
import shutil
import subprocess
import sys
import unittest
from pathlib import Path

import polib

SOURCE = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(SOURCE / "langkit"))
from vrllangkit.identity import identity_document, load_identity  # noqa: E402
from vrllangkit.importing import read_server  # noqa: E402

LANGKIT = SOURCE / "langkit" / "langkit"
CONFORM = None
WORK = None
SERVERS = {}


def runner():
    return [os.environ["VRL_WINE"], CONFORM]


def langkit(*arguments):
    run = subprocess.run(["/usr/bin/python3", str(LANGKIT), *map(str, arguments), "--", *runner()],
                         capture_output=True, text=True, timeout=300)
    return run.returncode, run.stdout, run.stderr


def folder_texts(folder):
    return {int(entry.msgctxt): entry.msgstr for entry in polib.pofile(str(Path(folder) / "texts.po"))}


class RoundTrip(unittest.TestCase):
    def test_every_built_server_gives_back_its_folder(self):
        for server, folder in SERVERS.items():
            with self.subTest(server=Path(server).name):
                identity, texts, notes = read_server(server, runner())
                # A folder's installer codes are its packages', not the server file's.
                expected = dataclasses.replace(load_identity(Path(folder) / "language.json"), product_codes=None)
                self.assertEqual(identity_document(identity), identity_document(expected))
                self.assertEqual({text.text_id: text.translation for text in texts}, folder_texts(folder))
                self.assertEqual([note for note in notes if note.severity != "note"], [])

    def test_imported_folder_is_written_and_passes_check(self):
        spanish = next(server for server in SERVERS if Path(server).name == "VrlDiscoveryResES.dll")
        root = WORK / "languages"
        shutil.rmtree(root, ignore_errors=True)
        code, output, errors = langkit("import", spanish, "--languages", root)
        self.assertEqual(code, 0, errors)
        self.assertIn("VrlDiscoveryResES", output)
        run = subprocess.run(["/usr/bin/python3", str(LANGKIT), "check", str(root / "es")], capture_output=True,
                             text=True, timeout=300)
        self.assertEqual(run.returncode, 0, run.stderr)


@unittest.skipUnless(os.environ.get("VRL_LEGACY_SERVER"), "the 64-bit build makes the foreign server")
class ForeignServer(unittest.TestCase):
    """A server the kit did not make: French texts in another layout, no
    registry script, a module name of its own."""

    def setUp(self):
        self.server = os.environ["VRL_LEGACY_SERVER"]
        self.root = WORK / "foreign"
        shutil.rmtree(self.root, ignore_errors=True)

    def test_imported_folder_is_refused_by_check_with_its_faults(self):
        code, output, errors = langkit("import", self.server, "--name", "legacyfr", "--languages", self.root)
        self.assertEqual(code, 0, errors)
        self.assertIn("id 999: the source has no such text; left out", errors)
        self.assertIn("stay untranslated", errors)
        identity = load_identity(self.root / "legacyfr" / "language.json")
        self.assertEqual((identity.tag, identity.resource_language, identity.module, identity.version_text),
                         ("fr-FR", 0x040C, "VrlLegacyFR", "1.2.0.7"))
        self.assertEqual(identity.clsid, "{7A3C1E55-0B2D-4C8E-9F61-3D2A5B7C9E10}")
        self.assertEqual(identity.prog_id, "VrlLegacyFR.VrlLegacyFrenchResources")
        texts = folder_texts(self.root / "legacyfr")
        self.assertEqual((texts[100], texts[452]), ("OK", "Taille :"))
        self.assertNotIn(999, texts)
        run = subprocess.run(["/usr/bin/python3", str(LANGKIT), "check", str(self.root / "legacyfr")],
                             capture_output=True, text=True, timeout=300)
        self.assertEqual(run.returncode, 1)
        self.assertRegex(run.stderr, r"error: id 101: .*accelerator")
        self.assertRegex(run.stderr, r"error: id 301: .*(not translated|untranslated|missing)")

    def test_a_module_outside_the_kits_names_needs_a_name(self):
        code, _, errors = langkit("import", self.server, "--languages", self.root)
        self.assertEqual(code, 1)
        self.assertIn("give --name", errors)
        self.assertFalse(self.root.exists() and any(self.root.iterdir()))


class Refusals(unittest.TestCase):
    """Each refusal names the file and the reason, and writes nothing."""

    def setUp(self):
        self.root = WORK / "refused"
        shutil.rmtree(self.root, ignore_errors=True)
        self.root.mkdir(parents=True)

    def refused(self, server, reason, *extra):
        code, output, errors = langkit("import", server, "--languages", self.root, *extra)
        self.assertEqual(code, 1, output + errors)
        self.assertIn(str(server), errors)
        self.assertIn(reason, errors)
        return sorted(path.name for path in self.root.iterdir())

    def test_a_file_that_is_not_a_pe_file(self):
        text = WORK / "notes.dll"
        text.write_text("not a module\n")
        self.assertEqual(self.refused(text, "not a PE file"), [])

    def test_a_module_that_is_no_language_server(self):
        self.assertEqual(self.refused(CONFORM, "not a language server"), [])

    def test_a_class_that_a_known_folder_uses(self):
        test_language = next(server for server in SERVERS if Path(server).name == "VrlDiscoveryResENTEST.dll")
        self.assertEqual(self.refused(test_language, "is taken by"), [])

    def test_a_folder_that_exists_already(self):
        spanish = next(server for server in SERVERS if Path(server).name == "VrlDiscoveryResES.dll")
        (self.root / "es").mkdir()
        code, _, errors = langkit("import", spanish, "--languages", self.root)
        self.assertEqual(code, 1)
        self.assertIn("exists already", errors)
        self.assertEqual(list((self.root / "es").iterdir()), [])


def main():
    global CONFORM, WORK, SERVERS
    CONFORM, WORK = sys.argv[1], Path(sys.argv[2])
    SERVERS = dict(argument.split("=", 1) for argument in sys.argv[3:])
    WORK.mkdir(parents=True, exist_ok=True)
    unittest.main(argv=[sys.argv[0], "-v"])


if __name__ == "__main__":
    main()
