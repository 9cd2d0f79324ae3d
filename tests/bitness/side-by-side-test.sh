#!/usr/bin/env bash
# Both bitnesses of the server side by side in one WoW64 prefix of the guest:
# each registered by the regsvr32 of its own bitness into its own registry
# view, each found and used by clients of its own bitness only, and each
# left working when the other goes.
#
#   side-by-side-test.sh BUILD32 BUILD64
#
# BUILD32 and BUILD64 are the build folders of the 32-bit and the 64-bit
# server. Whatever this script registered is removed however it ends.
set -uo pipefail
: "${VRL_SOURCE:?}"
export VRL_WINEARCH=win64
source "$VRL_SOURCE/tests/wine-prefix.sh"
source "$VRL_SOURCE/tests/server-identity.sh"
build32=$1
build64=$2

readonly class_not_registered='0x80040154'
# The programs of each bitness in a WoW64 prefix.
declare -A system=([32]='C:\windows\syswow64' [64]='C:\windows\system32')
declare -A build=([32]=$build32 [64]=$build64)
dll() { windows_path "${build[$1]}/bin/VrlDiscoveryResES.dll"; }
sibling() { windows_path "${build[$1]}/bin/vrllocale.tlb"; }
tool() { printf '%s' "${build[$1]}/$2"; }

work=$(mktemp -d "$PWD/side-by-side.XXXXXX") || exit 1
lock_prefix

source "$VRL_SOURCE/tests/test-outcome.sh"
source "$VRL_SOURCE/tests/category-state.sh"

# run NAME BITS PROGRAM ARG...: output in $work/NAME.out, CRs dropped.
run() {
  local name=$1 bits=$2 program=$3; shift 3
  wine "$program" "$@" >"$work/$name.raw" 2>"$work/$name.err"
  local status=$?
  tr -d '\r' <"$work/$name.raw" >"$work/$name.out"
  return $status
}
register() { wine "${system[$1]}\\regsvr32.exe" /s "$(dll "$1")" || fail "$1-bit regsvr32 failed"; }
unregister() { wine "${system[$1]}\\regsvr32.exe" /s /u "$(dll "$1")" || fail "$1-bit regsvr32 /u failed"; }
sibling_library() {
  wine "$(tool "$1" bin/vrl-regtlb.exe)" "$2" "$(sibling "$1")" >/dev/null \
    || fail "$1-bit sibling type library: $2 failed"
}

# The server file that a client of BITS finds through the category.
expect_found() {
  local bits=$1 wanted=$2
  run "discover$bits" "$bits" "$(tool "$bits" bin/vrl-discover.exe)"
  if [ -n "$wanted" ]; then
    grep -qxF "  Server file:   $wanted" "$work/discover$bits.out" \
      || fail "$bits-bit vrl-discover: not $wanted: $(cat "$work/discover$bits.out")"
  else
    grep -q '^No language servers found' "$work/discover$bits.out" \
      || fail "$bits-bit vrl-discover found a server: $(cat "$work/discover$bits.out")"
  fi
}

# A client of BITS creating the class by NAME (ProgID or CLSID): the file
# that served it, or the platform's "class not registered".
expect_created() {
  local bits=$1 wanted=$2 name=${3:-$clsid}
  run "show$bits" "$bits" "$(tool "$bits" bin/vrlres-show.exe)" --registered "$name"
  if [ -n "$wanted" ]; then
    grep -qxF "Server file: $wanted" "$work/show$bits.out" \
      || fail "$bits-bit client: not served by $wanted: $(head -3 "$work/show$bits.out")"
  else
    grep -qF "CoCreateInstance failed: $class_not_registered" "$work/show$bits.out" \
      || fail "$bits-bit client: expected $class_not_registered: $(head -3 "$work/show$bits.out")"
  fi
}

expect_late_bound() {
  local bits=$1 script result
  script=$(windows_path "$VRL_SOURCE/tests/latebinding/LateBoundClient.vbs")
  (cd "$work" && wine "${system[$bits]}\\cscript.exe" //nologo "$script" >"$work/cscript$bits.raw")
  result=$(iconv -f cp437 -t utf-8 "$work/cscript$bits.raw" | tr -d '\r' | grep '^RESULT ' | tail -n 1)
  [ "$result" = "RESULT PASS" ] || fail "$bits-bit cscript: '${result:-no result line}'"
}

# The class key as a client of BITS sees it, and the type library's
# registration, which both views share.
snapshot() {
  local bits=$1
  wine "${system[$bits]}\\reg.exe" query "HKCR\\CLSID\\$clsid" /s 2>/dev/null | tr -d '\r' >"$work/class$bits.reg"
  wine "${system[$bits]}\\reg.exe" query "HKCR\\TypeLib\\$libid" /s 2>/dev/null | tr -d '\r' >"$work/typelib.reg"
}
expect_in_snapshot() {
  local name=$1 text=$2
  grep -qF -- "$text" "$work/$name.reg" || fail "$name: no '$text' in: $(cat "$work/$name.reg")"
}
expect_not_in_snapshot() {
  local name=$1 text=$2
  grep -qF -- "$text" "$work/$name.reg" && fail "$name: '$text' in: $(cat "$work/$name.reg")"
}

cleanup() {
  unregister 32 2>/dev/null
  unregister 64 2>/dev/null
  sibling_library 32 unregister
  sibling_library 64 unregister
  restore_category "$work"
  rm -rf "$work"
}

end_test_with "side by side"

note_category
sibling_library 32 register
sibling_library 64 register

# The 32-bit server alone: the 64-bit client gets "class not registered",
# never the 32-bit file.
register 32
expect_created 32 "$(dll 32)" "$progid"
expect_created 64 ""
expect_found 64 ""

# Both: each bitness finds and uses its own file.
register 64
expect_found 32 "$(dll 32)"
expect_found 64 "$(dll 64)"
expect_created 64 "$(dll 64)" "$progid"
expect_late_bound 32
expect_late_bound 64
snapshot 32
snapshot 64
expect_in_snapshot class32 "$(dll 32)"
expect_not_in_snapshot class32 "$(dll 64)"
expect_in_snapshot class64 "$(dll 64)"
expect_not_in_snapshot class64 "$(dll 32)"
expect_in_snapshot typelib '\1.0\0\win32'
expect_in_snapshot typelib '\1.0\0\win64'

# Removing one leaves the other found and created by the control, which
# goes by category and CLSID, and by late-bound clients, which go by the
# ProgID keys that both views share.
unregister 32
expect_found 32 ""
expect_created 32 ""
expect_found 64 "$(dll 64)"
expect_created 64 "$(dll 64)"
expect_created 64 "$(dll 64)" "$progid"
expect_late_bound 64
register 32
unregister 64
expect_found 64 ""
expect_created 64 ""
expect_found 32 "$(dll 32)"
expect_created 32 "$(dll 32)"
expect_created 32 "$(dll 32)" "$progid"
expect_late_bound 32

# The last removal takes the ProgID keys, which both views share.
unregister 32
for key in "$progid" "$versioned_progid"; do
  wine "${system[64]}\\reg.exe" query "HKCR\\$key" >/dev/null 2>&1 && fail "HKCR\\$key is still there"
done

for name in class32 class64 typelib; do
  printf -- '--- %s\n' "$name"
  cat "$work/$name.reg"
done
