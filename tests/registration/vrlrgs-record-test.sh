#!/bin/bash
# vrlrgs record on each language server file: the rows that a package of it
# writes name that server's class, ProgIDs and type library and its own
# enrolment in the category, and no other language's identifiers.
#
#   vrlrgs-record-test.sh DLL=LANGUAGE-FOLDER...
set -u
: "${VRL_BIN:?}" "${VRL_WINE:?}" "${VRL_SOURCE:?}"
source "$VRL_SOURCE/tests/server-identity.sh"
work=$(mktemp -d "$VRL_BIN/vrlrgs-record.XXXXXX")
# The scratch key of another recording, run at the same time in this prefix:
# its row must stay, and never show in these rows. It has vrlrgs's prefix
# but, where vrlrgs puts a process id (registration/ScratchClassesRoot.h),
# a suffix that no run can have: a recording that took another run's key,
# or deleted every key with the prefix, would show.
other_run='HKCU\Software\VrlDiscoveryResES registration recording (other run)'
trap '"$VRL_WINE" -- reg delete "$other_run" /f >/dev/null 2>&1; rm -rf "$work"' EXIT
"$VRL_WINE" -- reg add "$other_run\OtherRunsRow" /ve /d 'other run' /f >/dev/null
failures=0
index=0
for server in "$@"; do
  index=$((index + 1))
  dll=${server%%=*}
  if ! "$VRL_WINE" -- "$VRL_BIN/vrlrgs.exe" record "Z:${dll//\//\\}" '[#ServerFile]' '[INSTALLFOLDER]' \
      >"$work/$index.rows" 2>"$work/$index.err"; then
    echo "FAILED: vrlrgs record $dll: $(cat "$work/$index.err")"
    failures=$((failures + 1))
  fi
done
# A file without a registry script: the recording fails, and leaves no key.
if "$VRL_WINE" -- "$VRL_BIN/vrlrgs.exe" record "Z:${VRL_BIN//\//\\}\\vrlrgs.exe" '[#ServerFile]' '[INSTALLFOLDER]' \
    >/dev/null 2>&1; then
  echo "FAILED: recording a file without a registry script succeeded"
  failures=$((failures + 1))
fi
"$VRL_WINE" -- reg query 'HKCU\Software' >"$work/software.keys" 2>&1
"$VRL_WINE" -- reg query "$other_run\OtherRunsRow" /ve >"$work/other.row" 2>&1
/usr/bin/python3 - "$work" "$other_run" <<'PY' || failures=$((failures + 1))
import sys
from pathlib import Path

work, other_run = sys.argv[1:]
keys = [line.strip() for line in (Path(work) / "software.keys").read_text(errors="replace").splitlines()]
scratch = [key for key in keys if "registration recording" in key]
assert scratch == [other_run.replace("HKCU", "HKEY_CURRENT_USER")], f"scratch keys left or lost: {scratch}"
assert "other run" in (Path(work) / "other.row").read_text(errors="replace"), "another run's row was wiped"
for rows in Path(work).glob("*.rows"):
    assert "OtherRunsRow" not in rows.read_text(encoding="utf-8"), f"{rows.name} holds another run's row"
print("scratch keys: only the other run's, with its row")
PY
/usr/bin/python3 - "$work" "$catid" "$@" <<'PY' || failures=$((failures + 1))
import os, sys
from pathlib import Path

sys.path.insert(0, os.path.join(os.environ["VRL_SOURCE"], "langkit"))
from vrllangkit.identity import load_identity

work, catid, *servers = sys.argv[1:]
identities = [load_identity(Path(pair.split("=", 1)[1]) / "language.json") for pair in servers]
for index, identity in enumerate(identities, 1):
    rows = [line.rstrip("\r").split("\t") for line in (Path(work) / f"{index}.rows").read_text(encoding="utf-8").splitlines()]
    keys = {row[1] for row in rows}
    clsid = identity.clsid
    assert f"CLSID\\{clsid}\\Implemented Categories\\{catid}" in keys, (identity.module, sorted(keys))
    assert ["value", f"CLSID\\{clsid}\\InprocServer32", "", "sz", "[#ServerFile]"] in rows, identity.module
    assert ["value", f"{identity.prog_id}\\CLSID", "", "sz", clsid] in rows, identity.module
    assert any(key.lower().startswith(f"typelib\\{identity.libid.lower()}\\") for key in keys), identity.module
    text = "\n".join("\t".join(row) for row in rows).upper()
    for other in identities:
        if other is not identity:
            for name in ("clsid", "libid"):
                assert getattr(other, name).upper() not in text, f"{identity.module} names {other.module}'s {name}"
            assert other.prog_id.upper() + "\t" not in text and other.prog_id.upper() + "\\" not in text
    print(f"{identity.module}: {len(rows)} rows, its own class enrolled")
PY
[ "$failures" -eq 0 ] && echo "vrlrgs record: all passed"
exit "$failures"
