#!/usr/bin/env bash
# The lock that the script tests take before they change the guest's Wine
# prefix (tests/wine-prefix.sh): a file of the build folder, held
# until the script ends; when it cannot be taken, the script fails, saying so,
# instead of going on without it.
set -uo pipefail
state=$PWD/prefix-lock-state
rm -rf "$state"
mkdir -p "$state"
trap 'rm -rf "$state"' EXIT
export VRL_WINE=/bin/false VRL_SHARED_PREFIX_LOCK=$state/prefix.lock
helper=$(cd "$(dirname "$0")/.." && pwd)/wine-prefix.sh
fail() { echo "FAIL: $1"; exit 1; }

# Held: nobody else takes it meanwhile.
bash -c 'source "$1"; lock_prefix; touch "$2/held"; sleep 5' _ "$helper" "$state" &
holder=$!
for _ in $(seq 1 50); do [ -e "$state/held" ] && break; sleep 0.1; done
[ -e "$state/held" ] || fail "lock_prefix did not return"
flock -n "$state/prefix.lock" true && fail "the lock ($state/prefix.lock) is not held"
wait $holder

# Not to be had: a folder lies where the lock file would.
rm -f "$state/prefix.lock"
mkdir "$state/prefix.lock"
rc=0
out=$(bash -c 'source "$1"; lock_prefix; echo "went on without the lock"' _ "$helper" 2>&1) || rc=$?
printf '%s\n' "$out"
[ $rc -ne 0 ] || fail "the script went on without the lock"
grep -q "went on" <<<"$out" && fail "the script went on without the lock"
grep -qF "cannot take the lock of the lane's Wine prefix, $state/prefix.lock" <<<"$out" ||
  fail "no message says that the lock could not be taken"
echo "PASS"
