#!/usr/bin/env bash
# The native 32-bit lane's path, on a host that cannot run it itself: the
# guest's kernel runs 32-bit code and the guest has 32-bit Wine, so there the
# demo runs with VRL_LANE32=native, through the runner in the guest, in a
# prefix of the guest's memory, registering the built server, finding it and
# removing it. Skipped (77) where this host runs the native lane itself: the
# whole 32-bit suite is that lane's test there.
set -uo pipefail
: "${VRL_SOURCE:?}" "${VRL_WINE:?}"
lane=$("$VRL_WINE" --lane 2>/dev/null) || { echo "FAIL: no 32-bit lane"; exit 1; }
if [ "$lane" = native ]; then
  echo "the native 32-bit lane runs on this host itself"
  exit 77
fi
cd "$VRL_SOURCE" || exit 1
rc=0
out=$("$VRL_WINE" --guest-system -- env VRL_LANE32=native scripts/demo --no-build --wine-home /run/vrl/demo-native 2>&1) ||
  rc=$?
printf '%s\n' "$out"
[ $rc -eq 0 ] || { echo "FAIL: the demo in the guest's native lane exited with $rc"; exit 1; }
grep -qx "demo: the 32-bit lane runs in this host's own Wine" <<<"$out" ||
  { echo "FAIL: the demo in the guest did not run in the native lane"; exit 1; }
grep -q '^1 enrolled, 1 working, 0 failed' <<<"$out" || { echo "FAIL: the server was not found working"; exit 1; }
echo PASS
