#!/usr/bin/python3
"""Every language server built names itself as its language folder says, in
each place the registry or a client reads it (the export directory, the
registry script, the type library, the version block and the string table's
language), and no two of them share a module name, ProgID, CLSID, LIBID or
resource language.

Usage: language_identities.py DLL=LANGUAGE-FOLDER..."""

import re
import sys
import unittest
import uuid
from pathlib import Path

import pefile

sys.dont_write_bytecode = True
sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "langkit"))
from vrllangkit.identity import load_identity  # noqa: E402

REGISTRY_SCRIPT_ID = 1001
MODULE_NAME_STRING_ID = 1000
UNIQUE_FIELDS = ("module", "prog_id", "clsid", "libid", "resource_language")
BRACED_GUID = re.compile(r"\{[0-9A-Fa-f-]{36}\}")


def resource_entries(image, kind):
    """(name id, language id, bytes) of every resource of a kind (id or name)."""
    for entry in image.DIRECTORY_ENTRY_RESOURCE.entries:
        if entry.id != kind and str(entry.name) != str(kind):
            continue
        for name in entry.directory.entries:
            for language in name.directory.entries:
                data = language.data.struct
                yield name.id, language.id, image.get_data(data.OffsetToData, data.Size)


class Server:
    def __init__(self, dll, folder):
        self.dll = Path(dll)
        self.identity = load_identity(Path(folder) / "language.json")
        self.image = pefile.PE(str(dll))


class LanguageIdentities(unittest.TestCase):
    servers = []

    def test_each_server_names_itself_as_its_folder_says(self):
        for server in self.servers:
            identity, image = server.identity, server.image
            with self.subTest(module=identity.module):
                self.assertEqual(server.dll.name, identity.module + ".dll")
                self.assertEqual(image.DIRECTORY_ENTRY_EXPORT.name.decode(), identity.module + ".dll")

                [(_, _, script)] = [entry for entry in resource_entries(image, "REGISTRY") if entry[0] == REGISTRY_SCRIPT_ID]
                text = script.decode("ascii")
                self.assertEqual({guid.upper() for guid in BRACED_GUID.findall(text)}, {identity.clsid, identity.libid})
                self.assertIn(f"\t{identity.versioned_prog_id} = s '{identity.class_name} Class'\r\n", text)
                self.assertIn(f"\t{identity.prog_id} = s '{identity.class_name} Class'\r\n", text)
                self.assertIn(f"CurVer = s '{identity.versioned_prog_id}'", text)

                [(_, _, library)] = list(resource_entries(image, "TYPELIB"))
                for key in ("clsid", "libid"):
                    self.assertIn(uuid.UUID(getattr(identity, key)).bytes_le, library, key)
                self.assertIn(identity.class_name.encode(), library)

                strings = {key.decode(): value.decode() for info in image.FileInfo[0] if hasattr(info, "StringTable")
                           for table in info.StringTable for key, value in table.entries.items()}
                self.assertEqual(strings["InternalName"], identity.module)
                self.assertEqual(strings["OriginalFilename"], identity.module + ".DLL")

                languages = {language for _, language, _ in resource_entries(image, pefile.RESOURCE_TYPE["RT_STRING"])}
                self.assertEqual(languages, {identity.resource_language})
                module_name = [name for entry in image.DIRECTORY_ENTRY_RESOURCE.entries if entry.id == pefile.RESOURCE_TYPE["RT_STRING"]
                               for block in entry.directory.entries
                               for name in [getattr(block.directory, "strings", {}).get(MODULE_NAME_STRING_ID)] if name]
                self.assertEqual(module_name, [identity.module])

    def test_no_two_servers_share_an_identifier(self):
        for field in UNIQUE_FIELDS:
            values = [str(getattr(server.identity, field)).upper() for server in self.servers]
            self.assertEqual(len(values), len(set(values)), f"{field}: {values}")
        guids = [uuid.UUID(getattr(server.identity, key)).bytes_le for server in self.servers for key in ("clsid", "libid")]
        for server in self.servers:
            others = set(guids) - {uuid.UUID(getattr(server.identity, key)).bytes_le for key in ("clsid", "libid")}
            script = b"".join(data for _, _, data in resource_entries(server.image, "REGISTRY"))
            library = b"".join(data for _, _, data in resource_entries(server.image, "TYPELIB"))
            for other in others:
                self.assertNotIn(str(uuid.UUID(bytes_le=other)).upper().encode(), script, server.dll.name)
                self.assertNotIn(other, library, server.dll.name)


def main():
    pairs = [argument.split("=", 1) for argument in sys.argv[1:]]
    if len(pairs) < 2 or any(len(pair) != 2 for pair in pairs):
        print(__doc__, file=sys.stderr)
        return 2
    LanguageIdentities.servers = [Server(dll, folder) for dll, folder in pairs]
    result = unittest.TextTestRunner(verbosity=2).run(unittest.defaultTestLoader.loadTestsFromTestCase(LanguageIdentities))
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
