#!/usr/bin/python3
"""Checks the image of the server DLL: what it imports, what it exports under
which ordinals, the language of every resource, the registry script it
carries (against the script file) and the version block.

Usage: check_dll_image.py DLL SCRIPT VERSION BITS

VERSION is the project's version (a.b.c.d); BITS is 32 or 64."""

import sys
import unittest

import pefile

SYSTEM_DLLS = {"KERNEL32.DLL", "USER32.DLL", "ADVAPI32.DLL", "OLE32.DLL", "OLEAUT32.DLL"}
EXPORTS = {1: "DllCanUnloadNow", 2: "DllGetClassObject", 3: "DllRegisterServer", 4: "DllUnregisterServer", 5: "DllInstall"}
SPANISH_MODERN = 0x0C0A
# The largest image of each bitness, and its machine type.
MAX_IMAGE_BYTES = {32: 36 * 1024, 64: 48 * 1024}
MACHINE = {32: 0x014C, 64: 0x8664}
# Looked up at run time: the platforms that lack them must still load the DLL.
NOT_IMPORTED = {b"RegisterTypeLibForUser", b"UnRegisterTypeLibForUser"}
STRING_ORDER = [
    "CompanyName", "FileDescription", "FileVersion", "InternalName", "LegalCopyright",
    "OriginalFilename", "ProductName", "ProductVersion", "OLESelfRegister", "BuildDate",
]
FIXED_STRINGS = {
    "FileDescription": "VrlDiscoveryResES Module",
    "InternalName": "VrlDiscoveryResES",
    "OriginalFilename": "VrlDiscoveryResES.DLL",
    "OLESelfRegister": "",
}


class DllImage(unittest.TestCase):
    pe = None
    script = None
    version = None
    bits = None

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

    def test_image_is_small(self):
        self.assertLessEqual(len(self.pe.__data__), MAX_IMAGE_BYTES[self.bits])

    def test_machine_matches_the_bitness(self):
        self.assertEqual(self.pe.FILE_HEADER.Machine, MACHINE[self.bits])

    def test_per_user_type_library_functions_are_not_imported(self):
        imported = {symbol.name for entry in self.pe.DIRECTORY_ENTRY_IMPORT for symbol in entry.imports}
        self.assertFalse(imported & NOT_IMPORTED)

    def test_registry_script_bytes(self):
        scripts = [
            language
            for kind in self.pe.DIRECTORY_ENTRY_RESOURCE.entries
            if kind.name is not None and str(kind.name) == "REGISTRY"
            for name in kind.directory.entries
            if name.id == 1001
            for language in name.directory.entries
        ]
        self.assertEqual(len(scripts), 1)
        self.assertEqual(scripts[0].id, SPANISH_MODERN)
        data = scripts[0].data.struct
        script = self.pe.get_data(data.OffsetToData, data.Size)
        self.assertEqual(script, self.script, "the resource holds the script file byte for byte")

    def test_registry_script_layout(self):
        # ASCII without NUL, CR LF after every line, one tab per level.
        self.assertTrue(self.script.isascii())
        self.assertNotIn(b"\0", self.script)
        self.assertTrue(self.script.endswith(b"\r\n"))
        lines = self.script[: -len(b"\r\n")].split(b"\r\n")
        depth = 0
        for number, line in enumerate(lines, 1):
            self.assertNotIn(b"\r", line, f"line {number}")
            self.assertNotIn(b"\n", line, f"line {number}")
            text = line.lstrip(b"\t")
            if text == b"}":
                depth -= 1
            self.assertEqual(len(line) - len(text), depth, f"indentation of line {number}")
            if text == b"{":
                depth += 1
        self.assertEqual(depth, 0)

    def test_version_block(self):
        fixed = self.pe.VS_FIXEDFILEINFO[0]
        self.assertEqual(fixed.Signature, 0xFEEF04BD)
        self.assertEqual(fixed.StrucVersion, 0x00010000)
        major, minor, patch, tweak = self.version
        packed = ((major << 16) | minor, (patch << 16) | tweak)
        self.assertEqual((fixed.FileVersionMS, fixed.FileVersionLS), packed)
        self.assertEqual((fixed.ProductVersionMS, fixed.ProductVersionLS), packed)
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
        for key in ("FileVersion", "ProductVersion"):
            self.assertEqual(entries[key], ",".join(str(part) for part in self.version), key)
        self.assertRegex(entries["BuildDate"], r"^\w{3} \w{3} [ \d]\d \d\d:\d\d:\d\d \w+ \d{4}$")
        for key in ("CompanyName", "LegalCopyright", "ProductName"):
            self.assertTrue(entries[key], key)

        translations = [var.entry for info in self.pe.FileInfo[0] if hasattr(info, "Var") for var in info.Var]
        self.assertEqual(translations, [{b"Translation": "0x0409 0x04b0"}])


if __name__ == "__main__":
    DllImage.pe = pefile.PE(sys.argv.pop(1))
    with open(sys.argv.pop(1), "rb") as script_file:
        DllImage.script = script_file.read()
    DllImage.version = tuple(int(part) for part in sys.argv.pop(1).split("."))
    DllImage.bits = int(sys.argv.pop(1))
    unittest.main(verbosity=2)
