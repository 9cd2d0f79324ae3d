#!/usr/bin/python3
"""Tests of the language kit on the host: the PO and XLIFF round trips, each
refusal of an unfit translation, the spell check, the pseudo-locale's
invariants, new languages' identities, and the Spanish folder's agreement
with the identifiers the server's sources write down.

Usage: langkit_tests.py [unittest arguments]"""

import re
import shutil
import subprocess
import sys
import unittest
from pathlib import Path

import polib
from translate.storage import xliff

sys.dont_write_bytecode = True
sys.path.insert(0, str(Path(__file__).resolve().parent))

from langkit_support import ROOT, SOURCE, Scratch, langkit  # noqa: E402
from vrllangkit.identity import load_identity  # noqa: E402
from vrllangkit.language import source_folder  # noqa: E402
from vrllangkit.pseudo import pseudo_text  # noqa: E402
from vrllangkit.resource_script import rc_literal  # noqa: E402
# The cases of what translators' tools do, and the random files.
from translators_tests import *  # noqa: E402,F401,F403
from random_files_tests import *  # noqa: E402,F401,F403
# The texts whose line break or blank at the end must survive everything.
ENDS_IN_LINE_BREAK = 325
ENDS_IN_BLANK_AND_LINE_BREAK = 327


class RoundTrips(Scratch):
    def test_po_export_passes_msgfmt_and_reads_back_exactly(self):
        exported = self.scratch / "es.po"
        self.assertEqual(langkit("export", "es", "--po", exported).returncode, 0)
        check = subprocess.run(["msgfmt", "--check", "-o", "/dev/null", str(exported)], capture_output=True, text=True)
        self.assertEqual(check.returncode, 0, check.stderr)
        document = polib.pofile(str(exported))
        self.assertEqual(document.metadata["X-Accelerator-Marker"], "&")
        self.assertEqual({int(entry.msgctxt): entry.msgid for entry in document}, SOURCE)
        self.assertEqual(SOURCE[ENDS_IN_LINE_BREAK][-5:], "COM\r\n")
        self.assertEqual(SOURCE[ENDS_IN_BLANK_AND_LINE_BREAK][-7:], "GPIB \r\n")

    def test_xliff_export_reads_back_through_translate_toolkit(self):
        exported = self.scratch / "es.xlf"
        self.assertEqual(langkit("export", "es", "--xliff", exported).returncode, 0)
        document = xliff.xlifffile.parsefile(str(exported))
        self.assertEqual(document.getdatatype(), "winres")
        root = document.document.getroot()
        self.assertEqual((root.get("version"), root.tag), ("1.2", "{urn:oasis:names:tc:xliff:document:1.2}xliff"))
        self.assertNotIn(b"document:1.1", exported.read_bytes())
        units = {int(unit.xmlelement.get("resname")): unit for unit in document.units}
        self.assertEqual({text_id: str(unit.source) for text_id, unit in units.items()}, SOURCE)
        self.assertEqual({text_id: str(unit.target) for text_id, unit in units.items()}, SOURCE)
        self.assertFalse(any(unit.isfuzzy() for unit in units.values()))

    def test_a_translated_xliff_file_is_checked_like_a_po_file(self):
        exported = self.scratch / "es.xlf"
        langkit("export", "es", "--xliff", exported)
        self.assertEqual(langkit("check", "es", exported).returncode, 0)
        broken = exported.read_text(encoding="utf-8").replace("GPIB &#13;\n</target>", "GPIB</target>")
        self.assertNotEqual(broken, exported.read_text(encoding="utf-8"), "the XLIFF writes CR as &#13;")
        exported.write_text(broken, encoding="utf-8")
        refused = langkit("check", "es", exported)
        self.assertEqual(refused.returncode, 1)
        self.assertRegex(refused.stderr, rf"es.xlf:\d+: error: id {ENDS_IN_BLANK_AND_LINE_BREAK}: endwhitespace")


class TranslationCopy(Scratch):
    """A translation made from the Spanish one, to put one fault in."""

    def setUp(self):
        super().setUp()
        self.folder = self.scratch / "xx"
        shutil.copytree(source_folder().path, self.folder)
        self.texts = self.folder / "texts.po"

    def mend(self, text_id, **changes):
        document = polib.pofile(str(self.texts))
        entry = next(entry for entry in document if entry.msgctxt == str(text_id))
        for name, value in changes.items():
            setattr(entry, name, value)
        document.save()
        return entry

    def line_of(self, text_id):
        return next(entry.linenum for entry in polib.pofile(str(self.texts)) if entry.msgctxt == str(text_id))

    def assertRefused(self, text_id, message, *options):
        result = langkit("check", self.folder, *options)
        self.assertEqual(result.returncode, 1, result.stdout)
        errors = [line for line in result.stderr.splitlines() if ": error: " in line]
        self.assertEqual(len(errors), 1, result.stderr)
        self.assertIn(f"texts.po:{self.line_of(text_id)}: error: id {text_id}: ", errors[0])
        self.assertIn(message, errors[0])


class Refusals(TranslationCopy):
    def test_the_unchanged_copy_is_fit(self):
        self.assertEqual(langkit("check", self.folder).returncode, 0)

    def test_missing_and_fuzzy_translations(self):
        self.mend(302, msgstr="")
        self.assertRefused(302, "not translated")
        self.mend(302, msgstr="Identificar", flags=["fuzzy"])
        self.assertRefused(302, "marked fuzzy")

    def test_fallback_to_source_warns_and_builds_the_source_text(self):
        self.mend(302, msgstr="")
        output = self.scratch / "table.rc"
        result = langkit("rc", self.folder, output, "--fallback-to-source")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn(f"warning: id 302: not translated; the source text is used", result.stderr)
        self.assertIn('302 "Identificar instrumentos"', output.read_text(encoding="utf-8"))

    def test_a_text_missing_from_the_file(self):
        document = polib.pofile(str(self.texts))
        document.remove(next(entry for entry in document if entry.msgctxt == "451"))
        document.save()
        result = langkit("check", self.folder)
        self.assertEqual(result.returncode, 1)
        self.assertIn("error: id 451: missing from the file", result.stderr)

    def test_a_different_number_of_accelerators(self):
        self.mend(101, msgstr="Cancelar")
        self.assertRefused(101, "Missing accelerator '&'")
        self.mend(101, msgstr="&Can&celar")
        self.assertRefused(101, "accelerators")

    def test_lost_line_break_or_blank_at_the_end(self):
        self.mend(ENDS_IN_LINE_BREAK, msgid=SOURCE[ENDS_IN_LINE_BREAK], msgstr="Petición errónea a puertos COM")
        result = langkit("check", self.folder)
        self.assertIn(f"id {ENDS_IN_LINE_BREAK}: newlines", result.stderr)
        self.assertIn(f"id {ENDS_IN_LINE_BREAK}: endwhitespace", result.stderr)
        shutil.copy(source_folder().texts_path, self.texts)
        self.mend(ENDS_IN_BLANK_AND_LINE_BREAK, msgstr="Petición errónea a puertos GPIB\r\n")
        self.assertRefused(ENDS_IN_BLANK_AND_LINE_BREAK, "Different whitespace at the end")

    def test_an_id_the_source_does_not_have_and_a_context_that_is_no_id(self):
        self.mend(100, msgctxt="999")
        result = langkit("check", self.folder)
        self.assertIn("id 999: the source has no text of this id", result.stderr)
        self.mend(999, msgctxt="OK button")
        result = langkit("check", self.folder)
        self.assertIn("id OK button: msgctxt 'OK button' is not a string id", result.stderr)
        self.assertEqual(result.returncode, 1)

    def test_a_translation_of_an_older_source_text(self):
        self.mend(303, msgid="Instrumentos encontrados")
        self.assertRefused(303, "older source text")

    def test_a_file_that_is_not_utf8_names_its_line(self):
        data = self.texts.read_bytes()
        self.texts.write_bytes(data.replace("Tamaño".encode(), "Tamaño".encode("latin-1")))
        line = data[: data.index("Tamaño".encode())].count(b"\n") + 1
        result = langkit("check", self.folder)
        self.assertEqual(result.returncode, 1)
        self.assertIn(f"texts.po:{line}: error: not UTF-8", result.stderr)

    def test_files_that_are_not_well_formed(self):
        broken_line = self.line_of(103) + 1
        self.texts.write_text(self.texts.read_text(encoding="utf-8").replace('msgid "Cerrar"\n', 'msgid "Cerrar\n'), encoding="utf-8")
        result = langkit("check", self.folder)
        self.assertEqual(result.returncode, 1)
        # gettext notices the open string at the end of its line.
        self.assertRegex(result.stderr, rf"texts.po:({broken_line}|{broken_line + 1}): error: not a well-formed PO file: end-of-line within string")
        broken = self.scratch / "broken.xlf"
        broken.write_text('<?xml version="1.0"?>\n<xliff version="1.2">\n<file>\n</xliff>\n', encoding="utf-8")
        result = langkit("check", self.folder, broken)
        self.assertIn("broken.xlf:4: error: not well-formed XML", result.stderr)

    def test_a_refused_translation_leaves_the_earlier_resource_script(self):
        output = self.scratch / "table.rc"
        self.assertEqual(langkit("rc", self.folder, output).returncode, 0)
        before = output.read_bytes()
        self.mend(101, msgstr="Cancelar")
        self.assertEqual(langkit("rc", self.folder, output).returncode, 1)
        self.assertEqual(output.read_bytes(), before)
        self.assertEqual(sorted(path.name for path in self.scratch.iterdir()), ["table.rc", "xx"])


class Spelling(TranslationCopy):
    def test_a_misspelling_is_named_by_id_and_line(self):
        self.mend(304, msgstr="Advanzado")
        self.assertRefused(304, "misspelt 'Advanzado' (try: Avanzado)")

    def test_allowed_words_are_accepted_and_accelerators_ignored(self):
        self.mend(101, msgstr="&Cancelar GPIB")
        self.assertEqual(langkit("check", self.folder).returncode, 0)
        allowed = self.folder / "allowed-words.txt"
        allowed.write_text(allowed.read_text().replace("GPIB\n", ""))
        result = langkit("check", self.folder)
        self.assertIn(f"texts.po:{self.line_of(101)}: error: id 101: misspelt 'GPIB'", result.stderr)
        self.assertIn(f"id {ENDS_IN_BLANK_AND_LINE_BREAK}: misspelt 'GPIB'", result.stderr)


class PseudoLocale(Scratch):
    def test_every_text_keeps_its_frame_and_grows(self):
        for text_id, text in SOURCE.items():
            with self.subTest(text_id=text_id):
                pseudo = pseudo_text(text)
                body = text.strip()
                self.assertEqual(pseudo[: len(text) - len(text.lstrip())], text[: len(text) - len(text.lstrip())])
                self.assertTrue(pseudo.endswith("]" + text[len(text.rstrip()):]))
                self.assertTrue(pseudo.strip().startswith("["))
                self.assertGreaterEqual(len(pseudo.strip()) - 2, len(body) * 1.35)
                self.assertEqual(re.findall("&.", pseudo), re.findall("&.", text))
                self.assertNotRegex(pseudo.replace("&", "").strip()[1:], r"[A-Za-z]{3}")

    def test_the_pseudo_folder_is_fit_and_stored_under_qps_ploc(self):
        folder = self.scratch / "qps-ploc"
        self.assertEqual(langkit("pseudo", folder).returncode, 0)
        identity = load_identity(folder / "language.json")
        self.assertEqual((identity.tag, identity.resource_language), ("qps-ploc", 0x0501))
        output = self.scratch / "table.rc"
        result = langkit("rc", folder, output)
        self.assertEqual(result.returncode, 0, result.stderr)
        script = output.read_text(encoding="utf-8")
        self.assertIn("LANGUAGE 0x101, 0x01", script)
        self.assertIn(rf'{ENDS_IN_BLANK_AND_LINE_BREAK} "[', script)
        self.assertRegex(script, rf'{ENDS_IN_BLANK_AND_LINE_BREAK} "\[.*\] \\r\\n"')


class NewLanguage(Scratch):
    def test_identity_is_derived_the_same_on_every_run_and_collides_with_nothing(self):
        first, second = self.scratch / "a", self.scratch / "b"
        for root in (first, second):
            shutil.copytree(source_folder().path, root / "es")
            self.assertEqual(langkit("new", "fr-FR", "--languages", root).returncode, 0)
        french = load_identity(first / "fr" / "language.json")
        self.assertEqual(french, load_identity(second / "fr" / "language.json"))
        spanish = source_folder().identity()
        self.assertEqual((french.module, french.prog_id), ("VrlDiscoveryResFR", "VrlDiscoveryResFR.FrenchResources"))
        self.assertEqual(french.resource_language, 0x040C)
        self.assertNotIn(french.clsid, (spanish.clsid, spanish.libid, french.libid))
        entries = polib.pofile(str(first / "fr" / "texts.po"))
        self.assertEqual({int(entry.msgctxt): entry.msgid for entry in entries}, SOURCE)
        self.assertTrue(all(entry.msgstr == "" for entry in entries))

    def test_a_folder_or_identity_that_exists_is_refused(self):
        shutil.copytree(source_folder().path, self.scratch / "es")
        self.assertEqual(langkit("new", "es-MX", "--languages", self.scratch).returncode, 1)
        (self.scratch / "es").rename(self.scratch / "spanish")
        result = langkit("new", "es-MX", "--languages", self.scratch)
        self.assertEqual(result.returncode, 1)
        spanish = self.scratch / "spanish"
        self.assertIn(f"module VrlDiscoveryResES is taken by {spanish}", result.stderr)
        self.assertIn(f"progId VrlDiscoveryResES.SpanishResources is taken by {spanish}", result.stderr)
        self.assertFalse((self.scratch / "es").exists())


class SpanishFolder(unittest.TestCase):
    """languages/es names the server as its sources do."""

    def test_identity_is_the_one_the_installed_servers_have(self):
        # The Spanish server pins its identity: servers installed before the
        # kit must be upgraded in place, not joined by a second one.
        identity = source_folder().identity()
        shell = (ROOT / "tests" / "server-identity.sh").read_text()
        self.assertIn(f"clsid='{identity.clsid}'", shell)
        self.assertIn(f"libid='{identity.libid}'", shell)
        self.assertIn(f"progid='{identity.prog_id}'", shell)
        self.assertEqual(identity.versioned_prog_id, identity.prog_id + ".1")
        self.assertEqual((identity.module, identity.class_name), ("VrlDiscoveryResES", "VrlDiscoverySpanishResources"))
        self.assertEqual((identity.resource_language, identity.reported_primary_language, identity.reported_sub_language),
                         (0x0C0A, 0x0A, 0x01))
        self.assertEqual((identity.language_name, identity.font, identity.numbers, identity.version_text),
                         ("Spanish", "Arial", (8, 1, 34), "1.0.0.0"))
        self.assertEqual(identity.help_file, ".\\Help\\VrlDiscoveryES.hlp")

    def test_texts_are_those_the_code_names(self):
        self.assertEqual(SOURCE[100], "Aceptar")
        self.assertEqual(SOURCE[452], "Tamaño:")


class BuildDescription(Scratch):
    """What the build reads of the language folders: each identity, and the
    refusal of two folders that would collide when installed side by side."""

    def describe(self, *folders):
        output = self.scratch / "languages.cmake"
        return langkit("describe", output, *folders), output

    def test_each_language_is_described_for_the_build(self):
        langkit("pseudo", self.scratch / "qps-ploc")
        result, output = self.describe(source_folder().path, self.scratch / "qps-ploc")
        self.assertEqual(result.returncode, 0, result.stderr)
        text = output.read_text(encoding="utf-8")
        self.assertIn("set(VRL_LANGUAGES_COMPLETE es qps-ploc)", text)
        self.assertIn("set(VRL_LANGUAGE_es_CLSID_INITIALIZER [[0x5D3A8C1E, 0x2B47, 0x4F90, "
                      "{0x9E, 0x6C, 0x71, 0xA4, 0xD0, 0x8B, 0x3F, 0x25}]])", text)
        self.assertIn("set(VRL_LANGUAGE_es_HELP_FILE_C [[.\\\\Help\\\\VrlDiscoveryES.hlp]])", text)
        self.assertIn("set(VRL_LANGUAGE_qps-ploc_RESOURCE_LANGUAGE [[0x0501]])", text)
        self.assertIn("set(VRL_LANGUAGE_qps-ploc_RC_PRIMARY_LANGUAGE [[0x101]])", text)

    def test_an_unfinished_translation_is_described_but_not_complete(self):
        self.assertEqual(langkit("new", "fr-FR", "--languages", self.scratch).returncode, 0)
        result, output = self.describe(source_folder().path, self.scratch / "fr")
        self.assertEqual(result.returncode, 0, result.stderr)
        text = output.read_text(encoding="utf-8")
        self.assertIn("set(VRL_LANGUAGES_DESCRIBED es fr)", text)
        self.assertIn("set(VRL_LANGUAGES_COMPLETE es)", text)
        self.assertIn(f"fr: {len(SOURCE)} of {len(SOURCE)} texts are not translated yet", text)
        result = langkit("describe", self.scratch / "all.cmake", source_folder().path, self.scratch / "fr", "--fallback-to-source")
        self.assertIn("set(VRL_LANGUAGES_COMPLETE es fr)", (self.scratch / "all.cmake").read_text(encoding="utf-8"))

    def test_a_folder_that_collides_is_refused_by_name(self):
        copy = self.scratch / "copy"
        shutil.copytree(source_folder().path, copy)
        identity = (copy / "language.json").read_text(encoding="utf-8")
        (copy / "language.json").write_text(identity.replace("VrlDiscoveryResES", "VrlDiscoveryResXX"), encoding="utf-8")
        result, output = self.describe(source_folder().path, copy)
        self.assertEqual(result.returncode, 1)
        self.assertFalse(output.exists())
        spanish = str(source_folder().path)
        for label, value in (("clsid", "{5D3A8C1E-2B47-4F90-9E6C-71A4D08B3F25}"), ("libid", "{C2E94B07-6A1D-4E38-B5F2-0D7C93A1E864}"),
                             ("resourceLanguage", "0x0C0A")):
            self.assertIn(f"copy/language.json: error: {label} {value} is taken by {spanish}", result.stderr)
        self.assertNotIn("module ", result.stderr)
        self.assertNotIn("progId", result.stderr)


class ResourceScript(unittest.TestCase):
    def test_literals_escape_what_the_resource_compiler_reads_specially(self):
        self.assertEqual(rc_literal('Di "sí"\\no\r\n\t'), '"Di ""sí""\\\\no\\r\\n\\t"')
        with self.assertRaises(ValueError):
            rc_literal("bell\a")


if __name__ == "__main__":
    unittest.main()
