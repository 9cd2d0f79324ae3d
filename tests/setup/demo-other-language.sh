#!/usr/bin/env bash
# The demo with another language's server file: it reads the class from the
# file itself, finds that class listed once the file is registered, and gone
# once it is removed.
#
#   demo-other-language.sh DLL=LANGUAGE-FOLDER
set -uo pipefail
: "${VRL_SOURCE:?}" "${VRL_BIN:?}"
dll=${1%%=*}
folder=${1#*=}
work=$(mktemp -d "$VRL_BIN/demo.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
clsid=$(/usr/bin/python3 -c 'import json, sys; print(json.load(open(sys.argv[1], encoding="utf-8"))["clsid"])' \
  "$folder/language.json") || exit 1

rc=0
"$VRL_SOURCE/scripts/demo" --no-build --dll "$dll" --wine-home "$work/home" >"$work/out" 2>&1 || rc=$?
cat "$work/out"
[ $rc -eq 0 ] || { echo "FAIL: the demo of $(basename "$dll") exited $rc"; exit 1; }
grep -qix "class: $clsid" <(tr -d '\r' <"$work/out") || { echo "FAIL: the demo did not read the class $clsid"; exit 1; }
echo "PASS"
