#!/usr/bin/env bash
# What scripts/package refuses, before it builds or packages anything:
#   - an output folder that is no earlier output of it, here one that holds a
#     stray file: the folder stays as it was, and the run names it and says
#     why it stopped;
#   - a version whose fourth number is not 0 (the installer ignores it, so
#     the package would install beside the one it should replace), or whose
#     numbers exceed what the installer takes (255.255.65535).
# The limits themselves are taken.
#
#   refusals-test.sh BUILD32-DIR BUILD64-DIR
#
# Runs on the host only. The runs get the tests' build folders, so that a run
# that is wrongly not refused goes on to package them (into a folder of this
# test's own, with a 64-bit Wine prefix of its own, ended at the end).
set -uo pipefail
: "${VRL_SOURCE:?}"
[ $# -eq 2 ] || { echo "usage: refusals-test.sh BUILD32-DIR BUILD64-DIR" >&2; exit 2; }
build32=$1 build64=$2

work=$(mktemp -d "$PWD/refusals.XXXXXX") || exit 1
wine64_home=$work/wine64
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
finish() {
  "$VRL_SOURCE/scripts/wine64" --home="$wine64_home" --end
  [ "$failures" -eq 0 ] && { rm -rf "$work"; echo "refusals: PASS"; }
  exit "$failures"
}
trap finish EXIT
trap 'fail "interrupted"; exit' INT TERM

# package OUT [ARG...]: scripts/package --no-build of the tests' builds; its
# output in $work/package.log.
package() {
  local out=$1
  shift
  "$VRL_SOURCE/scripts/package" --no-build --wine-home "$wine64_home" --build32 "$build32" --build64 "$build64" --out "$out" "$@" \
    >"$work/package.log" 2>&1
}

# A folder with a stray file is no earlier output.
folder="$work/my folder ñ"
mkdir -p "$folder"
echo "a note of the user's" >"$folder/notes.txt"
if package "$folder"; then
  fail "scripts/package replaced a folder that held a stray file"
else
  grep -qF "package: $folder is no earlier output of scripts/package" "$work/package.log" \
    || fail "the run does not say why it stopped, naming the folder: $(cat "$work/package.log")"
  grep -qF "notes.txt" "$work/package.log" || fail "the run does not name the stray file"
fi
[ "$(cat "$folder/notes.txt" 2>/dev/null)" = "a note of the user's" ] || fail "the stray file is gone or changed"
[ "$(ls -A "$folder")" = notes.txt ] || fail "the folder changed: $(ls -A "$folder")"
leftovers=$(cd "$work" && ls -d "my folder ñ".* 2>/dev/null)
[ -z "$leftovers" ] || fail "folders left beside it: $leftovers"

# Versions: refused before anything is built or packaged.
for version in 2.0.218.1 256.0.0.0 2.256.0.0 2.0.65536.0; do
  if VRL_VERSION=$version package "$work/version"; then
    fail "VRL_VERSION=$version: scripts/package succeeded"
  else
    grep -q "^package: VRL_VERSION: $version: " "$work/package.log" \
      || fail "VRL_VERSION=$version: no message says why: $(tail -n 3 "$work/package.log")"
  fi
  [ ! -e "$work/version" ] || fail "VRL_VERSION=$version: an output folder was written"
  rm -rf "$work/version"
done
# The limits pass the check, and the run goes on until it misses the build
# folders that this version would have.
VRL_VERSION=255.255.65535.0 "$VRL_SOURCE/scripts/package" --no-build --wine-home "$wine64_home" --build32 "$work/none" \
  --build64 "$work/none" --out "$work/version" >"$work/package.log" 2>&1
grep -q "^package: VRL_VERSION" "$work/package.log" && fail "VRL_VERSION=255.255.65535.0 was refused"
grep -qF "package: $work/none is not configured; build it first" "$work/package.log" \
  || fail "VRL_VERSION=255.255.65535.0: $(cat "$work/package.log")"
