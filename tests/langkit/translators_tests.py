"""What translators' tools do to the kit's files, each file made by the tool
itself at test time (gettext's msgcat, msgconv and msgmerge,
translate-toolkit's po2xliff and xliff2po and its XLIFF store, polib), and
the identities that `new` and `pseudo` must refuse. Run by langkit_tests.py."""

import json
import shutil
import subprocess
import unittest

import polib
from translate.storage import xliff

from langkit_support import ROOT, SOURCE, Scratch, langkit, res_string_table, windres

from vrllangkit.language import source_folder  # noqa: E402


def run(*command):
    result = subprocess.run([str(word) for word in command], capture_output=True, text=True, errors="replace")
    assert result.returncode == 0, f"{command[0]}: {result.stderr}"
    return result


class TranslatorsFolder(Scratch):
    """A German folder made by `new`, translated (with the Spanish texts,
    which are fit whatever the language) through polib."""

    def setUp(self):
        super().setUp()
        made = langkit("new", "de-DE", "--languages", self.scratch)
        self.assertEqual(made.returncode, 0, made.stderr)
        self.folder = self.scratch / "de"
        self.texts = self.folder / "texts.po"
        document = polib.pofile(str(self.texts))
        for entry in document:
            entry.msgstr = entry.msgid
        document.save()
        # German words are not the point here.
        (self.folder / "language.json").write_text(
            (self.folder / "language.json").read_text(encoding="utf-8").replace('"de-DE"', '"de-XX"'), encoding="utf-8")

    def check(self, path):
        return langkit("check", self.folder, path)

    def assertFit(self, path):
        result = self.check(path)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertNotIn("error", result.stderr)
        return result


class ConvertedBetweenFormats(TranslatorsFolder):
    def test_po2xliff_then_xliff2po_keeps_every_id_through_the_references(self):
        xlf, back = self.scratch / "de.xlf", self.scratch / "back.po"
        run("po2xliff", self.texts, xlf)
        self.assertIn('purpose="location"', xlf.read_text(encoding="utf-8"))
        self.assertFit(xlf)
        run("xliff2po", xlf, back)
        self.assertFalse(any(entry.msgctxt and entry.msgctxt.isdigit() for entry in polib.pofile(str(back))),
                         "xliff2po kept msgctxt: the test no longer shows the loss")
        result = self.assertFit(back)
        self.assertIn("de: 47 texts fit", result.stdout)

    def test_the_kits_xliff_through_xliff2po_takes_ids_from_the_source_texts_and_says_so(self):
        exported, back = self.scratch / "de.xlf", self.scratch / "back.po"
        self.assertEqual(langkit("export", self.folder, "--xliff", exported).returncode, 0)
        run("xliff2po", exported, back)
        result = self.assertFit(back)
        line = next(entry.linenum for entry in polib.pofile(str(back)) if entry.msgid == "Aceptar")
        self.assertIn(f"back.po:{line}: note: no msgctxt, resname or reference: the source text names id 100", result.stderr)

    def test_a_text_that_two_ids_share_takes_the_translation_to_both(self):
        # As msgcat and msgmerge leave a file without msgctxt: one entry per text.
        document = polib.pofile(str(self.texts))
        seen = set()
        for entry in list(document):
            entry.msgctxt, entry.occurrences = None, []
            if entry.msgid in seen:
                document.remove(entry)
            seen.add(entry.msgid)
        next(entry for entry in document if entry.msgid == "Mi PC").msgstr = "Mein PC"
        document.save()
        output = self.scratch / "table.rc"
        result = langkit("rc", self.folder, output)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("the source text names ids 301, 354", result.stderr)
        table = res_string_table(windres(self, output))
        self.assertEqual((table[301], table[354]), ("Mein PC", "Mein PC"))

    def test_an_id_in_msgctxt_is_the_whole_msgctxt(self):
        entry = next(entry for entry in polib.pofile(str(self.texts)))
        text = self.texts.read_text(encoding="utf-8").replace('msgctxt "100"', 'msgctxt "100\\n"')
        self.texts.write_text(text, encoding="utf-8")
        result = self.check(self.texts)
        self.assertEqual(result.returncode, 1)
        self.assertIn(f"texts.po:{entry.linenum}: error: id '100\\n': msgctxt '100\\n' is not a string id", result.stderr)


class XliffStates(TranslatorsFolder):
    """The states that CAT tools write, set through translate-toolkit's XLIFF store."""

    def xliff_with(self, state=None, approved=None, target=True):
        path = self.scratch / "de.xlf"
        self.assertEqual(langkit("export", self.folder, "--xliff", path).returncode, 0)
        document = xliff.xlifffile.parsefile(str(path))
        unit = next(unit for unit in document.units if unit.xmlelement.get("resname") == "302")
        if not target:
            unit.xmlelement.remove(unit.getlanguageNode(lang=None, index=1))
        elif state is None:
            del unit.getlanguageNode(lang=None, index=1).attrib["state"]
        else:
            unit.getlanguageNode(lang=None, index=1).set("state", state)
        if approved is None:
            unit.xmlelement.attrib.pop("approved", None)
        else:
            unit.xmlelement.set("approved", approved)
        with open(path, "wb") as file:
            document.serialize(file)
        return path, unit.xmlelement.sourceline

    def test_fit_without_approved(self):
        for state in (None, "translated", "final", "signed-off"):
            with self.subTest(state=state):
                self.assertFit(self.xliff_with(state=state)[0])
        self.assertFit(self.xliff_with(state="x-checked", approved="yes")[0])

    def test_needs_states_are_fuzzy_and_new_is_not_translated(self):
        for state, message in (("needs-review-translation", "marked fuzzy (state needs-review-translation)"),
                               ("needs-translation", "marked fuzzy (state needs-translation)"),
                               ("new", "not translated (state new)")):
            with self.subTest(state=state):
                path, line = self.xliff_with(state=state, approved="yes" if state == "new" else None)
                result = self.check(path)
                self.assertEqual(result.returncode, 1)
                self.assertIn(f"de.xlf:{line}: error: id 302: {message}", result.stderr)
        path, line = self.xliff_with(target=False)
        self.assertIn(f"de.xlf:{line}: error: id 302: not translated", self.check(path).stderr)


class Encodings(TranslatorsFolder):
    def test_a_byte_order_mark_is_read(self):
        self.texts.write_bytes(b"\xef\xbb\xbf" + self.texts.read_bytes())
        self.assertFit(self.texts)

    def test_a_declared_charset_is_decoded(self):
        latin = self.scratch / "latin.po"
        run("msgconv", "--to-code=ISO-8859-1", "-o", latin, self.texts)
        self.assertIn(b"Tama\xf1o", latin.read_bytes())
        self.assertFit(latin)
        output = self.scratch / "table.rc"
        shutil.copy(latin, self.texts)
        self.assertEqual(langkit("rc", self.folder, output).returncode, 0)
        self.assertEqual(res_string_table(windres(self, output))[452], "Tamaño:")

    def test_bytes_not_in_the_declared_charset_name_the_fix(self):
        data = self.texts.read_bytes()
        self.texts.write_bytes(data.replace("Tamaño".encode(), "Tamaño".encode("latin-1")))
        result = self.check(self.texts)
        self.assertEqual(result.returncode, 1)
        self.assertIn("not UTF-8 (byte 0xf1); declare its charset in the header, or convert it: msgconv --to-code=UTF-8",
                      result.stderr)


class UpdatedSource(TranslatorsFolder):
    """The source text changed after the translation was made."""

    def test_the_update_export_gives_the_previous_source_text_as_msgmerge_does(self):
        document = polib.pofile(str(self.texts))
        entry = next(entry for entry in document if entry.msgctxt == "303")
        entry.msgid = entry.msgstr = "Instrumentos encontrados"
        document.save()
        exported, merged = self.scratch / "update.po", self.scratch / "merged.po"
        self.assertEqual(langkit("export", self.folder, "--po", exported).returncode, 0)
        updated = next(entry for entry in polib.pofile(str(exported)) if entry.msgctxt == "303")
        self.assertEqual((updated.msgid, updated.previous_msgid, updated.msgstr, updated.flags),
                         (SOURCE[303], "Instrumentos encontrados", "Instrumentos encontrados", ["fuzzy"]))
        # gettext's own update of the old file: fuzzy too, and refused as such.
        template = self.scratch / "template.po"
        langkit("export", "es", "--po", template)
        run("msgmerge", "--previous", "-o", merged, self.texts, template)
        by_gettext = next(entry for entry in polib.pofile(str(merged)) if entry.msgctxt == "303")
        self.assertEqual((by_gettext.msgid, by_gettext.flags), (SOURCE[303], ["fuzzy"]))
        self.assertIsNotNone(by_gettext.previous_msgid)
        self.assertIn("id 303: marked fuzzy", self.check(merged).stderr)


class UnfitTexts(TranslatorsFolder):
    def mend(self, text_id, text):
        document = polib.pofile(str(self.texts))
        entry = next(entry for entry in document if entry.msgctxt == str(text_id))
        entry.msgstr = text
        document.save()
        return entry.linenum

    def test_a_text_longer_than_the_limit_is_refused_before_any_resource_is_written(self):
        output = self.scratch / "table.rc"
        line = self.mend(100, "A" * 72000)
        result = langkit("rc", self.folder, output)
        self.assertEqual(result.returncode, 1)
        self.assertIn(f"texts.po:{line}: error: id 100: 72000 UTF-16 units long; a text may have 1024 at most", result.stderr)
        self.assertFalse(output.exists())
        # 1024 units, with a character that takes two of them, is the most.
        self.mend(100, "\U0001F600" + "A" * 1022)
        self.assertEqual(langkit("rc", self.folder, output).returncode, 0)
        self.assertEqual(res_string_table(windres(self, output))[100], "\U0001F600" + "A" * 1022)
        self.mend(100, "\U0001F600" + "A" * 1023)
        self.assertIn("1025 UTF-16 units long", langkit("check", self.folder).stderr)

    def test_control_characters_are_refused_and_quotes_survive(self):
        line = self.mend(100, "Acep\x1btar")
        self.assertIn(f"texts.po:{line}: error: id 100: control character U+001B", self.check(self.texts).stderr)
        self.mend(100, 'Di "sí" \\n\tya')
        output = self.scratch / "table.rc"
        self.assertEqual(langkit("rc", self.folder, output).returncode, 0)
        self.assertEqual(res_string_table(windres(self, output))[100], 'Di "sí" \\n\tya')


class Spelling(Scratch):
    def test_german_is_spell_checked_and_a_missing_dictionary_names_its_package(self):
        self.assertEqual(langkit("new", "de-DE", "--languages", self.scratch).returncode, 0)
        document = polib.pofile(str(self.scratch / "de" / "texts.po"))
        for entry in document:
            entry.msgstr = "Abbrechen" if entry.msgctxt != "100" else "Abbrechn"
        document.save()
        result = langkit("check", self.scratch / "de")
        self.assertIn("error: id 100: misspelt 'Abbrechn'", result.stderr)
        self.assertEqual(langkit("dictionaries", self.scratch / "de", source_folder().path).stdout.split(),
                         ["hunspell-de-de", "hunspell-es"])
        identity = self.scratch / "de" / "language.json"
        identity.write_text(identity.read_text(encoding="utf-8").replace('"de-DE"', '"de-CH"'), encoding="utf-8")
        self.assertIn("no hunspell dictionary for de-CH; spelling not checked: install Debian's hunspell-de-ch",
                      langkit("check", self.scratch / "de").stderr)

    def test_bootstrap_installs_the_dictionaries_that_langkit_names(self):
        script = (ROOT / "scripts" / "bootstrap").read_text()
        self.assertIn('langkit" dictionaries', script)
        self.assertIn("python3-hypothesis", script)


class RefusedIdentities(Scratch):
    """What `new` and `pseudo` must refuse, with nothing written."""

    def assertRefused(self, *arguments, message):
        before = sorted(self.scratch.rglob("*"))
        result = langkit(*arguments)
        self.assertEqual(result.returncode, 1, result.stdout)
        self.assertIn(message, result.stderr)
        self.assertNotIn("Traceback", result.stderr)
        self.assertEqual(sorted(self.scratch.rglob("*")), before)
        return result

    def test_names_that_leave_the_folder_or_are_no_ascii_letters(self):
        self.assertRefused("new", "fr-FR", "--name", "../../x", "--languages", self.scratch / "languages",
                           message="--name '../../x' is not letters and digits")
        self.assertRefused("new", "fr-FR", "--name", "fr ca", "--languages", self.scratch, message="is not letters")
        self.assertRefused("new", "fr_FR", "--languages", self.scratch, message="'fr_FR' is not a language tag")
        self.assertRefused("new", "zh-CN", "--name", "中", "--languages", self.scratch, message="no ASCII form")

    def test_letters_are_transliterated_never_dropped(self):
        made = langkit("new", "nb-NO", "--languages", self.scratch)
        self.assertEqual(made.returncode, 0, made.stderr)
        identity = json.loads((self.scratch / "nb" / "language.json").read_text(encoding="utf-8"))
        self.assertEqual(identity["className"], "VrlDiscoveryBokmalResources")
        made = langkit("new", "es-ES", "--name", "ñ", "--languages", self.scratch / "other")
        self.assertEqual(made.returncode, 0, made.stderr)
        self.assertEqual(json.loads((self.scratch / "other" / "n" / "language.json").read_text())["module"], "VrlDiscoveryResN")
        result = langkit("describe", self.scratch / "out.cmake", source_folder().path, self.scratch / "nb")
        self.assertEqual(result.returncode, 0, result.stderr)

    def test_the_builds_own_languages_are_taken(self):
        self.assertRefused("new", "en-GB", "--name", "ENTEST", "--languages", self.scratch,
                           message=f"clsid {json.loads((ROOT / 'tests/languages/entest/language.json').read_text())['clsid']} "
                                   f"is taken by {ROOT / 'tests/languages/entest'}")
        self.assertRefused("new", "qps-ploc", "--name", "QPS", "--languages", self.scratch,
                           message="resourceLanguage 0x0501 is taken by the pseudo-locale qps-ploc")

    def test_a_taken_resource_language_is_named_as_the_file_writes_it(self):
        self.assertEqual(langkit("new", "fr-FR", "--languages", self.scratch).returncode, 0)
        result = self.assertRefused("new", "fr-FR", "--name", "FR2", "--languages", self.scratch,
                                    message=f"resourceLanguage 0x040C is taken by {self.scratch / 'fr'}")
        self.assertNotIn("resource_language", result.stderr)

    def test_pseudo_never_overwrites_another_folder(self):
        spanish = self.scratch / "es"
        shutil.copytree(source_folder().path, spanish)
        self.assertRefused("pseudo", spanish, message="exists and is no pseudo-locale folder")
        pseudo = self.scratch / "qps-ploc"
        self.assertEqual(langkit("pseudo", pseudo).returncode, 0)
        self.assertEqual(langkit("pseudo", pseudo).returncode, 0, "the build makes it again at every configure")

    def test_guids_collide_across_fields_and_with_the_shared_ones(self):
        entest = json.loads((ROOT / "tests/languages/entest/language.json").read_text(encoding="utf-8"))
        copy = self.scratch / "xx"
        shutil.copytree(source_folder().path, copy)
        identity = json.loads((copy / "language.json").read_text(encoding="utf-8"))
        for clsid, libid, message in (
                (entest["libid"], identity["libid"], f"clsid {entest['libid']} is taken by {ROOT / 'tests/languages/entest'} (as its libid)"),
                ("{E8F73DD3-0000-4000-8000-000000000001}", "{E7092C4D-B18F-4A53-9C6E-2F8D41B07A95}",
                 "libid {E7092C4D-B18F-4A53-9C6E-2F8D41B07A95} is the sibling library vrllocale.tlb's LIBID"),
                ("{41B7E3F0-95C2-4D6A-8E19-B3F05A72C6D8}", identity["libid"], "the interface ILocaleResources's IID"),
                ("{8F16D2A9-3C5E-4B71-A0D8-E2479B6C5F13}", identity["libid"], "the localization category's CATID")):
            with self.subTest(message=message):
                changed = dict(identity, module="VrlDiscoveryResXX", progId="VrlDiscoveryResXX.X",
                               versionedProgId="VrlDiscoveryResXX.X.1", resourceLanguage="0x040C", clsid=clsid, libid=libid)
                (copy / "language.json").write_text(json.dumps(changed), encoding="utf-8")
                output = self.scratch / "out.cmake"
                result = langkit("describe", output, source_folder().path, ROOT / "tests/languages/entest", copy)
                self.assertEqual(result.returncode, 1)
                self.assertIn(message, result.stderr)
                self.assertFalse(output.exists())

    def test_language_json_of_the_wrong_types_is_named_without_a_traceback(self):
        copy = self.scratch / "xx"
        shutil.copytree(source_folder().path, copy)
        identity = json.loads((copy / "language.json").read_text(encoding="utf-8"))
        # The Spanish folder pins its product's installer codes.
        codes = identity["productCodes"]
        for change, message in ((dict(numbers="8"), "numbers must be a list of three whole numbers"),
                                (dict(resourceLanguage=3082), "resourceLanguage must be a string 0xNNNN"),
                                (dict(font=["Arial"]), "font must be a string"),
                                (dict(font='Ari"al\n'), "font 'Ari\"al\\n' is empty or holds control characters"),
                                (dict(tag="es-ES\n"), "tag 'es-ES\\n' is not a language tag"),
                                (dict(productCodes=["{6A1F0D3B-8E25-4B97-A4C6-93D2E7015B86}"]),
                                 "productCodes must be an object of upgradeCode, serverComponent, progIdComponent, typeLibComponent"),
                                (dict(productCodes=dict(codes, upgradeCode=dict(codes["upgradeCode"], x64=64))),
                                 "productCodes.upgradeCode.x64 must be a braced upper-case GUID"),
                                (dict(productCodes=dict(codes, serverComponent={"x86": codes["serverComponent"]["x86"]})),
                                 "productCodes.serverComponent must be an object of x86, x64, user"),
                                (dict(productCodes=dict(codes, progIdComponent=dict(codes["progIdComponent"],
                                                                                    x64=codes["serverComponent"]["x64"]))),
                                 "productCodes.progIdComponent: x86 and x64 must be the same GUID")):
            with self.subTest(change=change):
                (copy / "language.json").write_text(json.dumps(dict(identity, **change)), encoding="utf-8")
                result = langkit("describe", self.scratch / "out.cmake", copy)
                self.assertEqual(result.returncode, 1)
                self.assertIn(f"{copy / 'language.json'}: error: {message}", result.stderr)
                self.assertNotIn("Traceback", result.stderr)
        (copy / "language.json").write_text("{\n  \"tag\": \n", encoding="utf-8")
        self.assertIn(f"{copy / 'language.json'}:3: error: not well-formed JSON",
                      langkit("describe", self.scratch / "out.cmake", copy).stderr)


class MissingLanguageFolder(Scratch):
    """A language that has no folder is named in one line, for every command
    that reads one, and nothing is written."""

    def test_each_command_names_the_missing_folder(self):
        missing = self.scratch / "de"
        for arguments in (("export", "de", "--po", self.scratch / "de.po"),
                          ("export", missing, "--xliff", self.scratch / "de.xlf"),
                          ("check", missing),
                          ("rc", missing, self.scratch / "de.rc"),
                          ("describe", self.scratch / "out.cmake", source_folder().path, missing)):
            with self.subTest(arguments=arguments[:2]):
                result = langkit(*arguments)
                self.assertEqual(result.returncode, 1, result.stdout)
                folder = ROOT / "languages" / "de" if arguments[1] == "de" else missing
                self.assertEqual(result.stderr, f"{folder}: error: no such language folder (langkit new TAG makes one)\n")
                self.assertEqual(list(self.scratch.iterdir()), [])


if __name__ == "__main__":
    unittest.main()
