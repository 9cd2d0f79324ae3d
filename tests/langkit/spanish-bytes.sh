#!/bin/bash
# The Spanish server that the language kit builds carries the resources of
# the server of the last commit before the kit, with the one text that the
# kit's spell check mended ("Advanzado", ids 304 and 311, reads "Avanzado"),
# built at the same SOURCE_DATE_EPOCH (read back from the server's version
# block). While the code is unchanged since then, the files are the same
# bytes; once the code changes, the resources still must be the same.
#
# Usage: spanish-bytes.sh SOURCE-TREE SERVER-DLL PRESET BUILD-FOLDER
# Exits 77 (skipped) when the source tree has no history to build from.
set -euo pipefail
source_tree=$1 server=$2 preset=$3 build_folder=$4
readonly reference_commit=36c17b68434a9d589946576c813a935656e3a73f

if ! git -C "$source_tree" cat-file -e "$reference_commit^{commit}" 2>/dev/null; then
  echo "spanish-bytes: $reference_commit is not in this checkout's history; skipped"
  exit 77
fi
epoch=$(/usr/bin/python3 - "$server" <<'PY'
import calendar, sys, time
import pefile
image = pefile.PE(sys.argv[1])
strings = {key: value for info in image.FileInfo[0] if hasattr(info, "StringTable")
           for table in info.StringTable for key, value in table.entries.items()}
print(calendar.timegm(time.strptime(strings[b"BuildDate"].decode(), "%a %b %d %H:%M:%S UTC %Y")))
PY
)

# Inside the build folder, which the test guest shares.
work=$(mktemp -d "$build_folder/spanish-bytes.XXXXXX")
cleanup() {
  [ -x "$work/reference/scripts/wine64" ] && [ -d "$work/reference/build-win64/wine64" ] &&
    "$work/reference/scripts/wine64" --home="$work/reference/build-win64/wine64" --end >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT
mkdir "$work/reference"
git -C "$source_tree" archive "$reference_commit" | tar -x -C "$work/reference"
# The reference's code and build as they were, but today's Wine stand-ins:
# only they speak to today's test guest and host Wine.
rm -rf "$work/reference/scripts"
cp -a "$source_tree/scripts" "$work/reference/scripts"
/usr/bin/python3 - "$work/reference/resources/VrlDiscoveryResES.rc" <<'PY'
import sys
from pathlib import Path
script = Path(sys.argv[1])
text = script.read_text(encoding="utf-8")
assert text.count('"Advanzado"') == 2, "the reference no longer holds the two misspelt texts"
script.write_text(text.replace('"Advanzado"', '"Avanzado"'), encoding="utf-8")
PY

cd "$work/reference"
export SOURCE_DATE_EPOCH=$epoch
cmake --preset "$preset" >"$work/configure.log" 2>&1 || { cat "$work/configure.log"; exit 1; }
cmake --build --preset "$preset" --target VrlDiscoveryResES >"$work/build.log" 2>&1 || { tail -30 "$work/build.log"; exit 1; }
reference=$(find "$work/reference" -path '*/bin/VrlDiscoveryResES.dll' | head -1)
if cmp "$reference" "$server"; then
  echo "spanish-bytes: $(basename "$server") is the reference's bytes (SOURCE_DATE_EPOCH=$epoch)"
else
  echo "spanish-bytes: the code differs from the reference's; its resources are compared"
  /usr/bin/python3 "$source_tree/tests/langkit/check_string_table.py" "$server" "$source_tree/languages/es" --reference "$reference"
fi
