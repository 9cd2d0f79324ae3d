#!/usr/bin/python3
"""What `vrl-discover --json --texts` found, checked against the language
servers installed now: each listed once, created, with its language
folder's language, ids and texts, from its own file, and nothing else
enrolled.

    found_servers.py LISTING.json SERVER-FILE=LANGUAGE-FOLDER...

SERVER-FILE is the installed file's Windows path. Exit code 1, with the
difference printed, when they do not agree."""

import json
import sys
from pathlib import Path

import polib

sys.dont_write_bytecode = True
sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "langkit"))
from vrllangkit.identity import load_identity  # noqa: E402


def differences(listing, installed):
    """What the listing gets wrong about INSTALLED ({server file: language
    folder}); empty when nothing."""
    found = {server["clsid"]: server for server in listing["servers"]}
    expected = {}
    for server_file, folder in installed.items():
        identity = load_identity(Path(folder) / "language.json")
        expected[identity.clsid] = (server_file, folder, identity)
    if sorted(found) != sorted(expected):
        return [f"found {sorted(found)}, expected {sorted(expected)}"]
    wrong = []
    for clsid, (server_file, folder, identity) in expected.items():
        server = found[clsid]
        if "error" in server:
            wrong.append(f"{identity.module}: {server}")
            continue
        if server["serverFile"].lower() != server_file.lower():
            wrong.append(f"{identity.module}: served by {server['serverFile']}, not {server_file}")
        language = (server["languageName"], server["primaryLanguageId"], server["subLanguageId"])
        if language != (identity.language_name, identity.reported_primary_language, identity.reported_sub_language):
            wrong.append(f"{identity.module}: language {language}")
        texts = {text["id"]: text["text"] for text in server["texts"]}
        own = {int(entry.msgctxt): entry.msgstr for entry in polib.pofile(str(Path(folder) / "texts.po"))}
        own[1000] = identity.module
        if texts != own:
            wrong.append(f"{identity.module}: texts differ: "
                         + str({i: (texts.get(i), own.get(i)) for i in own if texts.get(i) != own.get(i)}))
    return wrong


def main(arguments):
    listing = json.loads(Path(arguments[0]).read_text(encoding="utf-8"))
    wrong = differences(listing, dict(pair.split("=", 1) for pair in arguments[1:]))
    for line in wrong:
        print(line)
    if not wrong:
        print(f"{len(listing['servers'])} found, each with its own texts")
    return 1 if wrong else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
