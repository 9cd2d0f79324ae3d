#!/usr/bin/env bash
# A guest whose system dies while it boots (here its first script is missing,
# so the kernel panics) is noticed at once: start fails with the end of the
# console log, and no qemu is left behind. The state folder's name holds a
# blank, so that the look for a qemu left behind must match the path as qemu's
# command line carries it.
set -uo pipefail
: "${VRL_SOURCE:?}"
state="$PWD/panic guest"
rm -rf "$state"
source "$(dirname "$0")/fake-guest.sh"
trap 'runner guest-stop "$state"; rm -rf "$state"' EXIT

began=$SECONDS
rc=0
VRL_WINEVM_INIT=/no/such/agent runner guest-start "$state" "$PWD" 2>"$PWD/panic.err" || rc=$?
took=$((SECONDS - began))
cat "$PWD/panic.err"
echo "start ended after $took s with exit code $rc"
[ $rc -ne 0 ] || { echo "FAIL: start reported success"; exit 1; }
grep -q 'Kernel panic' "$PWD/panic.err" || { echo "FAIL: the console's end is not shown"; exit 1; }
grep -q 'vrl-guest-boot: the guest script /no/such/agent is not there' "$PWD/panic.err" ||
  { echo "FAIL: the console does not say what was missing"; exit 1; }
# Booting the kernel takes well under a minute even on a busy host; a dead
# guest used to be noticed after 15.
[ $took -lt 300 ] || { echo "FAIL: noticed only after $took s"; exit 1; }
# qemu's command line carries the job folder percent-encoded, as the runner gave it.
jobs=$(encoded "$state/jobs")
if pgrep -f -- "vrl\.jobs=${jobs//./\\.}( |\$)" >/dev/null; then echo "FAIL: qemu still runs"; exit 1; fi
echo "PASS"
