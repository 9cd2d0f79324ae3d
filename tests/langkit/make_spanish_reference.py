#!/usr/bin/python3
"""Writes the reference that spanish_bytes_test.py compares the Spanish
server with, from a reference server DLL: every resource but the string
table as TYPE.NAME.LANGUAGE.bin, and the string table's texts and language
in texts.json, into REFERENCE-FOLDER/win32 or /win64 by the DLL's machine
type. Files that the DLL no longer has are removed.

The references in reference/ are the servers of commit 36c17b68 (the last
before the language kit), with "Advanzado" (ids 304 and 311) mended to
"Avanzado", built in a folder of their own with the scripts/ of commit
cdc91c8 (only those run the type library step in today's Wine):

    git -C SOURCE archive 36c17b68434a9d589946576c813a935656e3a73f | tar -x
    rm -rf scripts && git -C SOURCE archive cdc91c8 scripts | tar -x
    sed -i 's/"Advanzado"/"Avanzado"/' resources/VrlDiscoveryResES.rc
    export SOURCE_DATE_EPOCH=1796856218     # 36c17b68's commit time
    cmake --preset default && cmake --build --preset default --target VrlDiscoveryResES
    cmake --preset win64 && cmake --build --preset win64 --target VrlDiscoveryResES
    scripts/winevm/stop build/winevm && scripts/wine64 --home=$PWD/build-win64/wine64 --end
    make_spanish_reference.py build/bin/VrlDiscoveryResES.dll SOURCE/tests/langkit/reference
    make_spanish_reference.py build-win64/bin/VrlDiscoveryResES.dll SOURCE/tests/langkit/reference

Usage: make_spanish_reference.py REFERENCE-DLL REFERENCE-FOLDER"""

import json
import sys
from pathlib import Path

sys.dont_write_bytecode = True
sys.path.insert(0, str(Path(__file__).resolve().parent))

from check_string_table import RT_STRING, resources, string_table  # noqa: E402
from spanish_bytes_test import TEXTS_FILE, bitness_folder, build_date, file_name  # noqa: E402


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    dll, root = Path(sys.argv[1]), Path(sys.argv[2])
    folder = root / bitness_folder(dll)
    found = resources(dll)
    languages = {key[2] for key in found if key[0] == str(RT_STRING)}
    if len(languages) != 1:
        print(f"{dll}: string blocks in {len(languages)} languages, expected one", file=sys.stderr)
        return 1
    folder.mkdir(parents=True, exist_ok=True)
    written = set()
    for key, (data, _) in sorted(found.items()):
        if key[0] == str(RT_STRING):
            continue
        name = file_name(key)
        (folder / name).write_bytes(data)
        written.add(name)
        if name.startswith("RT_VERSION."):
            print(f"{folder / name}: BuildDate {build_date(data)!r}")
    for stale in folder.glob("*.bin"):
        if stale.name not in written:
            stale.unlink()
    texts = {str(text_id): text for text_id, text in sorted(string_table(found).items())}
    document = {"language": f"0x{languages.pop():04X}", "texts": texts}
    (folder / TEXTS_FILE).write_text(json.dumps(document, ensure_ascii=False, indent=1) + "\n", encoding="utf-8")
    print(f"{folder}: {len(written)} resources and {len(texts)} texts")
    return 0


if __name__ == "__main__":
    sys.exit(main())
