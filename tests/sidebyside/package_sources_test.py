#!/usr/bin/python3
"""The installer sources of language servers side by side: each language is
a product of its own (its own upgrade code, file and components, derived
from its module name, the Spanish one's as they always were), and every
language holds the category through the one shared component of each
registry view, so that the category goes with the last server removed.

Usage: package_sources_test.py LANGUAGE.json...  (the Spanish one among them)"""

import json
import re
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
GENERATOR = ROOT / "packaging" / "generate-package-source.py"
FLAVOURS = ("x86", "x64", "user")
CATID = "{8F16D2A9-3C5E-4B71-A0D8-E2479B6C5F13}"
# The Spanish packages' upgrade codes, which installed products carry.
SPANISH_UPGRADE_CODES = {
    "x86": "{6A1F0D3B-8E25-4B97-A4C6-93D2E7015B86}",
    "x64": "{6A1F0D3B-8E25-4B97-A4C6-93D2E7015B64}",
    "user": "{6A1F0D3B-8E25-4B97-A4C6-93D2E7015B55}",
}


def rows_of(identity):
    """The rows vrlrgs records for a server, in short."""
    clsid, progid = identity["clsid"], identity["progId"]
    return "\n".join([
        f"value\tCLSID\\{clsid}\tInprocServer32\tsz\t[#ServerFile]",
        f"key\tCLSID\\{clsid}\\Implemented Categories\\{CATID}",
        f"value\tComponent Categories\\{CATID}\t409\tsz\tVarnel Instrument Discovery Control Localization Resources",
        f"value\t{progid}\\CLSID\t\tsz\t{clsid}",
        f"value\tTypeLib\\{identity['libid']}\\1.0\\HELPDIR\t\tsz\t[INSTALLFOLDER]",
    ]) + "\n"


def components(source):
    return dict(re.findall(r'<Component Id="(\w+)" Guid="(\{[0-9A-F-]+\})"', source))


class PackageSources(unittest.TestCase):
    identities = []

    def generate(self, identity_path, flavour, folder):
        identity = json.loads(Path(identity_path).read_text(encoding="utf-8"))
        folder.mkdir(parents=True)
        rows = folder / "rows"
        rows.write_text(rows_of(identity), encoding="utf-8")
        server = folder / f"{identity['module']}.dll"
        server.write_bytes(b"MZ" + identity["module"].encode())
        result = subprocess.run(["/usr/bin/python3", str(GENERATOR), str(rows), flavour, "2.0.218.0", str(server),
                                 str(folder), str(identity_path)], capture_output=True, text=True)
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
            self.assertIn(f'Name="{identity["module"]}.dll"', source)
            self.assertIn(f'The {identity["languageName"]} language server', source)
            if identity["module"] == "VrlDiscoveryResES":
                self.assertEqual(upgrade, SPANISH_UPGRADE_CODES[flavour])
        # What both registry views share, both per-machine packages hold through one component.
        for path in map(str, self.identities):
            for name in ("ProgIdComponent", "TypeLibComponent", "CategoryComponent"):
                machine = [components(made[(path, flavour)][1])[name] for flavour in ("x86", "x64")]
                self.assertEqual(machine[0], machine[1], f"one {name} for both views")


def main():
    PackageSources.identities = sys.argv[1:]
    result = unittest.TextTestRunner(verbosity=2).run(unittest.defaultTestLoader.loadTestsFromTestCase(PackageSources))
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
