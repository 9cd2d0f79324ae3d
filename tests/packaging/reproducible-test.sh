#!/usr/bin/env bash
# The same commit packages to the same bytes: two runs of scripts/package,
# from different working folders into different output folders (one with a
# blank and a non-ASCII letter in its path), write identical folders, small
# and with checksums that hold; and the 64-bit server built again from a copy
# of the sources in another folder, at the first build's time, is the same
# file. Prints what differs in the packages when they are not the same.
#
#   reproducible-test.sh BUILD32-DIR BUILD64-DIR
#
# Runs on the host only: the registration is recorded, and the copy's type
# library built, in a 64-bit Wine prefix of this test's own, ended at the end.
set -uo pipefail
: "${VRL_SOURCE:?}"
[ $# -eq 2 ] || { echo "usage: reproducible-test.sh BUILD32-DIR BUILD64-DIR" >&2; exit 2; }
build32=$1 build64=$2
for tool in msiinfo faketime git cmake /usr/bin/python3; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing; run scripts/bootstrap"; exit 1; }
done

# What one language may ship: its two servers and three packages.
readonly max_language_bytes=$((256 * 1024))
readonly server=VrlDiscoveryResES.dll

work=$(mktemp -d "$PWD/reproducible.XXXXXX") || exit 1
wine64_home=$work/wine64
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
rebuilding=
finish() {
  [ -n "$rebuilding" ] && wait "$rebuilding"
  "$VRL_SOURCE/scripts/wine64" --home="$wine64_home" --end
  [ "$failures" -eq 0 ] && { rm -rf "$work"; echo "reproducible: PASS"; }
  exit "$failures"
}
trap finish EXIT
trap 'fail "interrupted"; exit' INT TERM

# The time that a server was built with, from its version block.
build_time() { # DLL
  /usr/bin/python3 - "$1" <<'PY'
import sys, pefile
pe = pefile.PE(sys.argv[1], fast_load=True)
pe.parse_data_directories([pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
for info in pe.FileInfo[0]:
    for table in getattr(info, "StringTable", []):
        if b"BuildDate" in table.entries:
            print(table.entries[b"BuildDate"].decode())
            sys.exit(0)
sys.exit("no BuildDate in the version block")
PY
}
# The 64-bit server built again, at the same time, from a copy of the sources
# in another folder: in the background, while the packages are made, since
# those mostly wait on Wine.
readonly copy=$work/second-source
rebuild() { # EPOCH
  mkdir -p "$copy" && git -C "$VRL_SOURCE" ls-files -z | (cd "$VRL_SOURCE" && xargs -0 cp --parents -t "$copy") &&
    cd "$copy" && export SOURCE_DATE_EPOCH=$1 &&
    cmake --preset win64 -B "$copy/build" && cmake --build "$copy/build" --target VrlDiscoveryResES
}
stamp=$(build_time "$build64/bin/$server") || { fail "cannot read the 64-bit server's build time"; exit; }
epoch=$(date -u -d "$stamp" +%s) || { fail "not a time: $stamp"; exit; }
rebuild_started=$SECONDS
rebuild "$epoch" >"$work/rebuild.log" 2>&1 &
rebuilding=$!

# package FROM-DIR OUT: scripts/package run from FROM-DIR.
package() {
  (cd "$1" && "$VRL_SOURCE/scripts/package" --no-build --wine-home "$wine64_home" --build32 "$build32" --build64 "$build64" --out "$2") \
    >"$work/package.log" 2>&1 || fail "scripts/package from $1 failed: $(cat "$work/package.log")"
}
mkdir -p "$work/elsewhere" "$work/with blank ñ"
package "$work" dist
first=$work/dist
package "$work/elsewhere" "$work/with blank ñ/dist"
second="$work/with blank ñ/dist"
[ -d "$first" ] && [ -d "$second" ] || exit

# What tells two packages apart: their summaries and every table.
show_package_difference() { # PACKAGE-NAME
  local side table
  for side in "$first" "$second"; do
    echo "--- msiinfo suminfo $side/$1"
    msiinfo suminfo "$side/$1"
  done
  for table in $(msiinfo tables "$first/$1"); do
    diff -u <(msiinfo export "$first/$1" "$table") <(msiinfo export "$second/$1" "$table") \
      --label "first/$1:$table" --label "second/$1:$table"
  done
}
# names DIR [FIND-TEST...]: what DIR holds, relative to it, sorted.
names() { (cd "$1" && shift && find . -mindepth 1 "$@" -printf '%P\n' | LC_ALL=C sort); }
check_identical() {
  local name
  diff <(names "$first") <(names "$second") || fail "the two runs wrote different files"
  while IFS= read -r name; do
    cmp -s "$first/$name" "$second/$name" && continue
    fail "$name differs between the two runs"
    [[ $name == *.msi ]] && show_package_difference "$name"
  done < <(names "$first" -type f)
}
check_dist() {
  local server_file module bytes
  for server_file in "$first"/*.dll; do
    module=$(basename "$server_file" .dll)
    bytes=$(cd "$first" && cat "$module.dll" "x64/$module.dll" "$module"-[0-9]*.msi | wc -c)
    [ "$bytes" -lt $max_language_bytes ] || fail "$module's files hold $bytes bytes, over $max_language_bytes"
  done
  (cd "$first" && sha256sum --quiet -c SHA256SUMS) || fail "sha256sum -c SHA256SUMS failed"
  diff <(sed 's/^[0-9a-f]*  //' "$first/SHA256SUMS") <(names "$first" -type f ! -name SHA256SUMS) \
    || fail "SHA256SUMS does not list exactly the files of the folder"
}

check_server_rebuilt() {
  local status=0
  wait "$rebuilding" || status=$?
  rebuilding=
  [ $status -eq 0 ] || { fail "the second build failed: $(tail -n 20 "$work/rebuild.log")"; return; }
  echo "rebuilt the 64-bit server from a copy of the sources in $((SECONDS - rebuild_started)) s"
  cmp "$copy/build/bin/$server" "$first/x64/$server" \
    || fail "the 64-bit server built from $copy differs from the packaged one (built at $stamp)"
}
check_identical
check_dist
check_server_rebuilt
