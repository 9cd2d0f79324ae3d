#!/usr/bin/env bash
# A late-bound client in Wine: registers the sibling type library and the
# server (through regsvr32) in the guest's prefix, runs LateBoundClient.vbs
# through cscript, checks its one result line, and removes every registration
# again.
#
#   latebinding-test.sh REGISTRAR-EXE
#
# The prefix is shared by every build folder that uses the guest, so runs are
# serialised on a lock named after the guest, and whatever this script added
# is removed even when a step fails.
set -uo pipefail
: "${VRL_BIN:?}" "${VRL_SOURCE:?}"
source "$VRL_SOURCE/tests/wine-prefix.sh"
source "$VRL_SOURCE/tests/server-identity.sh"
registrar=$1

dll=$(windows_path "$VRL_BIN/VrlDiscoveryResES.dll")
sibling=$(windows_path "$VRL_BIN/vrllocale.tlb")

work=$(mktemp -d "$PWD/latebinding.XXXXXX") || exit 1
lock_prefix

source "$VRL_SOURCE/tests/test-outcome.sh"

cleanup() {
  wine regsvr32 /s /u "$dll" || fail "regsvr32 /u failed"
  wine "$registrar" unregister "$sibling" >/dev/null || fail "sibling type library not unregistered"
  if wine reg query "HKCR\\CLSID\\$clsid" >/dev/null 2>&1; then fail "HKCR\\CLSID\\$clsid is still there"; fi
  rm -rf "$work"
}

run_client() {
  wine "$registrar" register "$sibling" || { fail "sibling type library not registered"; return; }
  wine regsvr32 /s "$dll" || { fail "regsvr32 failed"; return; }
  local script status result
  script=$(windows_path "$VRL_SOURCE/tests/latebinding/LateBoundClient.vbs")
  (cd "$work" && wine cscript //nologo "$script" >"$work/client.out")
  status=$?
  iconv -f cp437 -t utf-8 "$work/client.out" | tr -d '\r'
  result=$(iconv -f cp437 -t utf-8 "$work/client.out" | tr -d '\r' | grep '^RESULT ' | tail -n 1)
  [ "$result" = "RESULT PASS" ] || fail "client reported '${result:-no result line}' (exit $status)"
}

# Cleaned up however the run ends, a timeout's TERM included.
end_test_with "late binding"
run_client
