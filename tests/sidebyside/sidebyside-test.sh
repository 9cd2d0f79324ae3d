#!/usr/bin/env bash
# Language servers side by side in Wine: each registered with regsvr32, all
# of them found in the localization category by vrl-discover, created, and
# each answering with its own language and texts; then removed one by one,
# the others still found and created after each removal, and the category
# kept as long as any server is registered.
#
#   sidebyside-test.sh VRL-DISCOVER-EXE DLL=LANGUAGE-FOLDER...
#
# Runs on the prefix lock of the other registration tests, and removes what
# it registered however it ends.
set -uo pipefail
: "${VRL_BIN:?}" "${VRL_SOURCE:?}"
source "$VRL_SOURCE/tests/wine-prefix.sh"
source "$VRL_SOURCE/tests/server-identity.sh"
discover=$1
shift
servers=("$@")

work=$(mktemp -d "$PWD/sidebyside.XXXXXX") || exit 1
lock_prefix

source "$VRL_SOURCE/tests/test-outcome.sh"
dll_of() { windows_path "${1%%=*}"; }

source "$VRL_SOURCE/tests/category-state.sh"
note_category

# vrl-discover --json --texts, checked against the servers registered now
# (DLL=FOLDER pairs): each listed once, created, with its folder's language,
# ids and texts, and nothing else enrolled.
check_found() {
  local name=$1; shift
  wine "$discover" --json --texts >"$work/$name.json" 2>"$work/$name.err" || fail "$name: vrl-discover exit code $?"
  local server pairs=()
  for server in "$@"; do pairs+=("$(dll_of "$server")=${server#*=}"); done
  /usr/bin/python3 "$VRL_SOURCE/tests/sidebyside/found_servers.py" "$work/$name.json" "${pairs[@]}" \
    || fail "$name: the servers found are not those registered"
}

registered=()
cleanup() {
  local server
  for server in "${registered[@]}"; do
    wine regsvr32 /s /u "$(dll_of "$server")" || fail "regsvr32 /u $(dll_of "$server") failed"
  done
  restore_category "$work"
  rm -rf "$work"
}
end_test_with "side by side"

[ "${#servers[@]}" -ge 3 ] || fail "three servers or more are needed, got ${#servers[@]}"
for server in "${servers[@]}"; do
  wine regsvr32 /s "$(dll_of "$server")" || fail "regsvr32 $(dll_of "$server") failed"
  registered+=("$server")
done
check_found all "${registered[@]}"
wine "$discover" | tr -d '\r' >"$work/all.out"
grep -qx "${#servers[@]} enrolled, ${#servers[@]} working, 0 failed." "$work/all.out" \
  || fail "summary: $(tail -n 1 "$work/all.out")"

# Removed one by one, the first registered first: the others stay found.
while [ "${#registered[@]}" -gt 1 ]; do
  wine regsvr32 /s /u "$(dll_of "${registered[0]}")" || fail "regsvr32 /u $(dll_of "${registered[0]}") failed"
  registered=("${registered[@]:1}")
  check_found "left-${#registered[@]}" "${registered[@]}"
  category_is_there || fail "the category went while ${#registered[@]} servers are registered"
done
wine regsvr32 /s /u "$(dll_of "${registered[0]}")" || fail "regsvr32 /u of the last server failed"
registered=()
wine "$discover" | tr -d '\r' >"$work/none.out"
grep -qF "No language servers found in category $catid" "$work/none.out" || fail "after the last: $(cat "$work/none.out")"
