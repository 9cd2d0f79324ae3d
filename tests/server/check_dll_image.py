#!/usr/bin/python3
"""Checks the image of the server DLL: what it imports, what it exports under
which ordinals, the language of every resource and the version block."""

import sys
import unittest

import pefile

SYSTEM_DLLS = {"KERNEL32.DLL", "USER32.DLL", "ADVAPI32.DLL", "OLE32.DLL", "OLEAUT32.DLL"}
EXPORTS = {1: "DllCanUnloadNow", 2: "DllGetClassObject", 3: "DllRegisterServer", 4: "DllUnregisterServer"}
SPANISH_MODERN = 0x0C0A
STRING_ORDER = [
    "CompanyName", "FileDescription", "FileVersion", "InternalName", "LegalCopyright",
    "OriginalFilename", "ProductName", "ProductVersion", "OLESelfRegister", "BuildDate",
]
FIXED_STRINGS = {
    "FileDescription": "VrlDiscoveryResES Module",
    "FileVersion": "2,0,218,0",
    "InternalName": "VrlDiscoveryResES",
    "OriginalFilename": "VrlDiscoveryResES.DLL",
    "ProductVersion": "2,0,218,0",
    "OLESelfRegister": "",
}


class DllImage(unittest.TestCase):
    pe = None

    def test_imports_only_system_dlls(self):
        imported = {entry.dll.decode().upper() for entry in self.pe.DIRECTORY_ENTRY_IMPORT}
        self.assertTrue(imported <= SYSTEM_DLLS, f"unexpected imports: {sorted(imported - SYSTEM_DLLS)}")
        self.assertIn("KERNEL32.DLL", imported)

    def test_exports_by_name_and_ordinal(self):
        exported = {symbol.ordinal: symbol.name.decode() for symbol in self.pe.DIRECTORY_ENTRY_EXPORT.symbols}
        self.assertEqual(exported, EXPORTS)

    def test_every_resource_is_stored_under_spanish_modern_sort(self):
        seen = 0
        for kind in self.pe.DIRECTORY_ENTRY_RESOURCE.entries:
            for name in kind.directory.entries:
                for language in name.directory.entries:
                    seen += 1
                    self.assertEqual(language.id, SPANISH_MODERN, f"resource {kind.id or kind.name}/{name.id or name.name}")
                    self.assertEqual(language.data.struct.CodePage, 0)
        self.assertGreater(seen, 0)

    def test_version_block(self):
        fixed = self.pe.VS_FIXEDFILEINFO[0]
        self.assertEqual(fixed.Signature, 0xFEEF04BD)
        self.assertEqual(fixed.StrucVersion, 0x00010000)
        self.assertEqual((fixed.FileVersionMS, fixed.FileVersionLS), (0x00020000, 0x00DA0000))
        self.assertEqual((fixed.ProductVersionMS, fixed.ProductVersionLS), (0x00020000, 0x00DA0000))
        self.assertEqual(fixed.FileFlagsMask, 0x3F)
        self.assertEqual(fixed.FileFlags, 0)
        self.assertEqual(fixed.FileOS, 0x4)
        self.assertEqual(fixed.FileType, 0x2)
        self.assertEqual(fixed.FileSubtype, 0)
        self.assertEqual((fixed.FileDateMS, fixed.FileDateLS), (0, 0))

        tables = [table for info in self.pe.FileInfo[0] if hasattr(info, "StringTable") for table in info.StringTable]
        self.assertEqual(len(tables), 1)
        self.assertEqual(tables[0].LangID.upper(), b"040904B0")
        entries = {key.decode(): value.decode() for key, value in tables[0].entries.items()}
        self.assertEqual(list(entries), STRING_ORDER)
        for key, value in FIXED_STRINGS.items():
            self.assertEqual(entries[key], value, key)
        self.assertRegex(entries["BuildDate"], r"^\w{3} \w{3} [ \d]\d \d\d:\d\d:\d\d \w+ \d{4}$")
        for key in ("CompanyName", "LegalCopyright", "ProductName"):
            self.assertTrue(entries[key], key)

        translations = [var.entry for info in self.pe.FileInfo[0] if hasattr(info, "Var") for var in info.Var]
        self.assertEqual(translations, [{b"Translation": "0x0409 0x04b0"}])


if __name__ == "__main__":
    DllImage.pe = pefile.PE(sys.argv.pop(1))
    unittest.main(verbosity=2)
