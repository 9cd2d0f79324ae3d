#!/usr/bin/python3
"""The installer sources of language servers side by side: each language is
a product of its own (its own upgrade code, file and components, derived
from its module name, the Spanish one's as they always were), and every
language holds the category through the one shared component of each
registry view, so that the category goes with the last server removed.
What goes into a source is escaped for it, and a registry key that no
component owns stops the package, naming the key. The package run packages
the languages of the build's last configure only.

Usage: package_sources_test.py LANGUAGE.json...  (the Spanish one among them)"""

import dataclasses
import os
import re
import stat
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
GENERATOR = ROOT / "packaging" / "package_source.py"
sys.dont_write_bytecode = True
sys.path.insert(0, str(ROOT / "packaging"))
sys.path.insert(0, str(ROOT / "langkit"))
from make_packages import Options, PackageRun, RunFailed, language_identities, shipped_languages  # noqa: E402
from vrllangkit.identity import identity_document, load_identity  # noqa: E402

FLAVOURS = ("x86", "x64", "user")
CATID = "{8F16D2A9-3C5E-4B71-A0D8-E2479B6C5F13}"
WIX = "{http://schemas.microsoft.com/wix/2006/wi}"
# The Spanish packages' codes, which installed products carry: upgrade code,
# then the server's, the ProgIDs' and the type library's components.
SPANISH_CODES = {
    "x86": ("{6A1F0D3B-8E25-4B97-A4C6-93D2E7015B86}", "{D7254B19-6E0A-4C83-9F51-2B8E4A06C386}",
            "{9E3A61F4-2C8B-4D07-B5A9-0F6E13C72D86}", "{3C81F5D2-7A49-4E06-B1D3-8E52A09F6C86}"),
    "x64": ("{6A1F0D3B-8E25-4B97-A4C6-93D2E7015B64}", "{D7254B19-6E0A-4C83-9F51-2B8E4A06C364}",
            "{9E3A61F4-2C8B-4D07-B5A9-0F6E13C72D86}", "{3C81F5D2-7A49-4E06-B1D3-8E52A09F6C86}"),
    "user": ("{6A1F0D3B-8E25-4B97-A4C6-93D2E7015B55}", "{D7254B19-6E0A-4C83-9F51-2B8E4A06C355}",
             "{9E3A61F4-2C8B-4D07-B5A9-0F6E13C72D55}", "{3C81F5D2-7A49-4E06-B1D3-8E52A09F6C55}"),
}


def rows_of(identity):
    """The rows vrlrgs records for a server, in short."""
    clsid, progid = identity.clsid, identity.prog_id
    return "\n".join([
        f"value\tCLSID\\{clsid}\tInprocServer32\tsz\t[#ServerFile]",
        f"key\tCLSID\\{clsid}\\Implemented Categories\\{CATID}",
        f"value\tComponent Categories\\{CATID}\t409\tsz\tVarnel Instrument Discovery Control Localization Resources",
        f"value\t{progid}\\CLSID\t\tsz\t{clsid}",
        f"value\t{identity.versioned_prog_id}\\CLSID\t\tsz\t{clsid}",
        f"value\tTypeLib\\{identity.libid}\\1.0\\HELPDIR\t\tsz\t[INSTALLFOLDER]",
    ]) + "\n"


def generate(identity_path, flavour, folder, rows=None):
    """The generator run over the identity's rows (or rows): its result."""
    identity = load_identity(identity_path)
    folder.mkdir(parents=True)
    (folder / "rows").write_text(rows or rows_of(identity), encoding="utf-8")
    server = folder / f"{identity.module}.dll"
    server.write_bytes(b"MZ" + identity.module.encode())
    return subprocess.run(["/usr/bin/python3", str(GENERATOR), str(folder / "rows"), flavour, "2.0.218.0", str(server),
                           str(folder), str(identity_path)], capture_output=True, text=True)


def components(source):
    return dict(re.findall(r'<Component Id="(\w+)" Guid="(\{[0-9A-F-]+\})"', source))


class PackageSources(unittest.TestCase):
    identities = []

    def generate(self, identity_path, flavour, folder):
        identity = load_identity(identity_path)
        result = generate(identity_path, flavour, folder)
        self.assertEqual(result.returncode, 0, result.stderr)
        source = (folder / "package.wxs").read_text(encoding="utf-8")
        upgrade = re.search(r'UpgradeCode="(\{[0-9A-F-]+\})"', source).group(1)
        return identity, source, upgrade

    def sources(self, scratch):
        return {(str(path), flavour): self.generate(path, flavour, Path(scratch) / f"{index}-{flavour}")
                for index, path in enumerate(self.identities) for flavour in FLAVOURS}

    def test_each_language_is_a_product_of_its_own_sharing_the_category(self):
        with tempfile.TemporaryDirectory() as first, tempfile.TemporaryDirectory() as second:
            made, again = self.sources(first), self.sources(second)
        self.assertEqual({key: (upgrade, components(source)) for key, (_, source, upgrade) in made.items()},
                         {key: (upgrade, components(source)) for key, (_, source, upgrade) in again.items()},
                         "the same GUIDs on every run")
        upgrade_codes = [upgrade for _, _, upgrade in made.values()]
        self.assertEqual(len(set(upgrade_codes)), len(upgrade_codes), "an upgrade code per language and flavour")
        for flavour in FLAVOURS:
            of_flavour = [(identity, components(source)) for (_, f), (identity, source, _) in made.items() if f == flavour]
            self.assertEqual(len({parts["CategoryComponent"] for _, parts in of_flavour}), 1, f"{flavour}: one category component")
            for name in ("ServerComponent", "ProgIdComponent", "TypeLibComponent"):
                self.assertEqual(len({parts[name] for _, parts in of_flavour}), len(of_flavour), f"{flavour}: {name}")
        for (path, flavour), (identity, source, upgrade) in made.items():
            self.assertIn(f'Name="{identity.module}.dll"', source)
            self.assertIn(f'The {identity.language_name} language server', source)
            if identity.module == "VrlDiscoveryResES":
                parts = components(source)
                self.assertEqual((upgrade, parts["ServerComponent"], parts["ProgIdComponent"], parts["TypeLibComponent"]),
                                 SPANISH_CODES[flavour])
        # What both registry views share, both per-machine packages hold through one component.
        for path in map(str, self.identities):
            for name in ("ProgIdComponent", "TypeLibComponent", "CategoryComponent"):
                machine = [components(made[(path, flavour)][1])[name] for flavour in ("x86", "x64")]
                self.assertEqual(machine[0], machine[1], f"one {name} for both views")


class WhatGoesIntoAPackage(unittest.TestCase):
    """What a package source takes from a language folder and the server's
    registration, and what it refuses."""

    def setUp(self):
        self.scratch = Path(tempfile.mkdtemp(prefix="package-sources."))
        self.addCleanup(subprocess.run, ["rm", "-rf", str(self.scratch)])
        self.spanish = next(path for path in map(Path, PackageSources.identities)
                            if load_identity(path).module == "VrlDiscoveryResES")

    def identity_file(self, **changes):
        path = self.scratch / "language.json"
        path.write_text(identity_document(dataclasses.replace(load_identity(self.spanish), **changes)), encoding="utf-8")
        return path

    def test_a_language_name_with_markup_characters_stays_the_name(self):
        name = 'Tom & "Jerry" <de>'
        result = generate(self.identity_file(language_name=name), "x86", self.scratch / "out")
        self.assertEqual(result.returncode, 0, result.stderr)
        source = ElementTree.parse(self.scratch / "out" / "package.wxs").getroot()
        package = source.find(f"{WIX}Product/{WIX}Package")
        self.assertEqual(package.get("Description"), f"The {name} language server of the instrument-discovery control")

    def test_a_key_that_no_component_owns_stops_the_package(self):
        identity = load_identity(self.spanish)
        for index, key in enumerate(("Interface\\{41B7E3F0-95C2-4D6A-8E19-B3F05A72C6D8}",
                    "CLSID\\{00000000-0000-0000-0000-000000000001}\\InprocServer32",
                    f"{identity.prog_id}Extra\\CLSID",
                    "Component Categories\\{00000000-0000-0000-0000-000000000002}")):
            with self.subTest(key=key):
                folder = self.scratch / str(index)
                result = generate(self.spanish, "x64", folder, rows_of(identity) + f"value\t{key}\t\tsz\tx\n")
                self.assertEqual(result.returncode, 1)
                self.assertIn(f"no component of the package owns the registry key {key}", result.stderr)
                self.assertFalse((folder / "package.wxs").exists())

    def test_only_the_languages_of_the_last_configure_are_packaged(self):
        build = self.scratch / "build"
        for language in ("es", "old"):
            (build / "languages" / language).mkdir(parents=True)
            (build / "languages" / language / "language.json").write_bytes(self.spanish.read_bytes())
        with self.assertRaisesRegex(RunFailed, "is not configured"):
            shipped_languages(build)
        (build / "languages" / "shipped.txt").write_text("es\n", encoding="utf-8")
        self.assertEqual(list(language_identities(build, shipped_languages(build))), ["es"])

    def test_a_language_folder_that_the_kit_refuses_stops_the_run_naming_it(self):
        folder = self.scratch / "build" / "languages" / "es"
        folder.mkdir(parents=True)
        (folder / "language.json").write_text('{"tag": 5}', encoding="utf-8")
        with self.assertRaisesRegex(RunFailed, f"^es: {re.escape(str(folder / 'language.json'))}: error: "):
            language_identities(self.scratch / "build", ["es"])
        with self.assertRaisesRegex(RunFailed, "fr: no such language server"):
            language_identities(self.scratch / "build", ["fr"])


class WhatARunLeaves(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.scratch = Path(self.folder.name)
        self.addCleanup(self.folder.cleanup)

    def run_of(self, **options):
        return PackageRun(Options(wine64_home=str(self.scratch / "wine64"), **options), "", "2.0.219.0", 0)

    def test_the_output_folder_is_readable_by_everyone(self):
        mask = os.umask(0o022)
        self.addCleanup(os.umask, mask)
        run = self.run_of()
        run.prepare(self.scratch / "dist")
        self.addCleanup(run.clean_up)
        self.assertEqual(stat.S_IMODE(run.stage.stat().st_mode), 0o755)

    def test_a_versions_own_build_folders_keep_no_wine_home(self):
        given, own = self.scratch / "given", self.scratch / "version-2.0.219.0"
        for build in (given, own):
            (build / "wine64-typelib" / "prefix" / "drive_c").mkdir(parents=True)
        run = self.run_of(version_builds=[str(own)])
        run.clean_up()
        self.assertFalse((own / "wine64-typelib" / "prefix").exists(), "the version build's Wine home stays")
        self.assertTrue((given / "wine64-typelib" / "prefix").exists(), "a build folder given was cleaned")


def main():
    PackageSources.identities = sys.argv[1:]
    loader = unittest.defaultTestLoader
    suite = unittest.TestSuite(loader.loadTestsFromTestCase(case) for case in (PackageSources, WhatGoesIntoAPackage, WhatARunLeaves))
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
