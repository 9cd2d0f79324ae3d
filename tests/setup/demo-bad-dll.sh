#!/usr/bin/env bash
# The demo stops at the first failing step and names it: pointed at a file
# that is no DLL, registration fails, and so does the demo. Where the suite
# runs in the guest, its guest was running and the demo leaves it so.
set -uo pipefail
: "${VRL_SOURCE:?}" "${VRL_BIN:?}" "${VRL_WINE:?}"
work=$(mktemp -d "$VRL_BIN/demo.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
echo "no program, only text" >"$work/NotADll.dll"
lane=$("$VRL_WINE" --lane 2>/dev/null)

rc=0
"$VRL_SOURCE/scripts/demo" --no-build --dll "$work/NotADll.dll" >"$work/out" 2>&1 || rc=$?
cat "$work/out"
[ $rc -ne 0 ] || { echo "FAIL: the demo exited 0 although registration failed"; exit 1; }
grep -qx 'demo: step "register" failed (exit code [0-9]*)' "$work/out" ||
  { echo "FAIL: no line names the failed step"; exit 1; }
! grep -q '^registered' "$work/out" || { echo "FAIL: the demo claims the file was registered"; exit 1; }
if [ "$lane" = guest ] && [ ! -f "$VRL_BIN/../winevm/jobs/ready" ]; then
  echo "FAIL: the demo stopped a guest it did not boot"
  exit 1
fi
echo "PASS"
