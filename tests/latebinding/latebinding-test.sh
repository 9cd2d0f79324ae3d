#!/usr/bin/env bash
# A late-bound client in Wine: registers the class and both type libraries in
# the guest's prefix, runs LateBoundClient.vbs through cscript, checks its one
# result line, and removes every registration again.
#
#   latebinding-test.sh REGISTRAR-EXE
#
# The prefix is shared by every build folder that uses the guest, so runs are
# serialised on a lock named after the guest, and whatever this script added
# is removed even when a step fails.
set -uo pipefail
: "${VRL_BIN:?}" "${VRL_SOURCE:?}"
source "$VRL_SOURCE/tests/wine-prefix.sh"
registrar=$1

readonly clsid='{5D3A8C1E-2B47-4F90-9E6C-71A4D08B3F25}'
readonly progid='VrlDiscoveryResES.SpanishResources'
dll=$(windows_path "$VRL_BIN/VrlDiscoveryResES.dll")
sibling=$(windows_path "$VRL_BIN/vrllocale.tlb")

work=$(mktemp -d "$PWD/latebinding.XXXXXX") || exit 1
lock_prefix

# .reg text doubles every backslash inside a string.
reg_string() { local text=$1; printf '"%s"' "${text//\\/\\\\}"; }
{
  printf 'Windows Registry Editor Version 5.00\r\n\r\n'
  printf '[HKEY_CLASSES_ROOT\\%s]\r\n@="VrlDiscoverySpanishResources Class"\r\n\r\n' "$progid"
  printf '[HKEY_CLASSES_ROOT\\%s\\CLSID]\r\n@="%s"\r\n\r\n' "$progid" "$clsid"
  printf '[HKEY_CLASSES_ROOT\\CLSID\\%s]\r\n@="VrlDiscoverySpanishResources Class"\r\n\r\n' "$clsid"
  printf '[HKEY_CLASSES_ROOT\\CLSID\\%s\\ProgID]\r\n@="%s"\r\n\r\n' "$clsid" "$progid"
  printf '[HKEY_CLASSES_ROOT\\CLSID\\%s\\InprocServer32]\r\n@=%s\r\n"ThreadingModel"="Apartment"\r\n\r\n' \
    "$clsid" "$(reg_string "$dll")"
} >"$work/add-class.reg"
{
  printf 'Windows Registry Editor Version 5.00\r\n\r\n'
  printf '[-HKEY_CLASSES_ROOT\\%s]\r\n\r\n' "$progid"
  printf '[-HKEY_CLASSES_ROOT\\CLSID\\%s]\r\n\r\n' "$clsid"
} >"$work/remove-class.reg"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cleanup() {
  wine "$registrar" unregister "$sibling" "$dll" >/dev/null || fail "type libraries not unregistered"
  wine reg import "$(windows_path "$work/remove-class.reg")" >/dev/null 2>&1 || fail "class keys not removed"
  if wine reg query "HKCR\\CLSID\\$clsid" >/dev/null 2>&1; then fail "HKCR\\CLSID\\$clsid is still there"; fi
  rm -rf "$work"
}

run_client() {
  wine reg import "$(windows_path "$work/add-class.reg")" >/dev/null 2>&1 || { fail "class keys not added"; return; }
  wine "$registrar" register "$sibling" "$dll" || { fail "type libraries not registered"; return; }
  local script status result
  script=$(windows_path "$VRL_SOURCE/tests/latebinding/LateBoundClient.vbs")
  (cd "$work" && wine cscript //nologo "$script" >"$work/client.out")
  status=$?
  iconv -f cp437 -t utf-8 "$work/client.out" | tr -d '\r'
  result=$(iconv -f cp437 -t utf-8 "$work/client.out" | tr -d '\r' | grep '^RESULT ' | tail -n 1)
  [ "$result" = "RESULT PASS" ] || fail "client reported '${result:-no result line}' (exit $status)"
}

finish() {
  cleanup
  [ "$failures" -eq 0 ] && echo "late binding: PASS"
  exit "$failures"
}
# Cleaned up however the run ends, a timeout's TERM included.
trap finish EXIT
trap 'fail "interrupted"; exit' INT TERM
run_client
