#!/usr/bin/env bash
# start and stop take turns on the guest's lock, and stop waits for the
# machine to end, switching it off when it does not shut down. A stand-in
# process plays the machine: it ignores the request to stop, and first TERM.
# A pid file that names a process that is no guest of the state folder (a
# number that a crash left behind, since reused) is stale: stop removes it and
# leaves that process alone.
set -uo pipefail
: "${VRL_SOURCE:?}"
source "$(dirname "$0")/fake-guest.sh"
state=$PWD/lock-guest
rm -rf "$state"
mkdir -p "$state/jobs"
# The stand-in ignores TERM, so only KILL ends it.
fake_guest "$state" 'trap "" TERM; while :; do sleep 0.2; done'
machine=$fake_guest_pid
echo ready >"$state/jobs/ready"
other=
trap 'kill -KILL $machine $other 2>/dev/null; rm -rf "$state"' EXIT
fail() { echo "FAIL: $1"; exit 1; }

# While start holds the lock, stop waits.
exec 8>"$state/winevm.lock"
flock 8
VRL_WINEVM_STOP_GRACE=1 "$VRL_SOURCE/scripts/winevm/stop" "$state" 8>&- &
stopper=$!
sleep 2
kill -0 $stopper 2>/dev/null || fail "stop did not wait for the lock"
[ ! -e "$state/jobs/stop" ] || fail "stop went ahead without the lock"
kill -0 $machine 2>/dev/null || fail "the machine ended while the lock was held"
exec 8>&-

# With the lock released, stop asks, waits, then escalates and returns only
# once the machine has ended.
rc=0
wait $stopper || rc=$?
[ $rc -eq 0 ] || fail "stop failed with exit code $rc"
[ -e "$state/jobs/stop" ] || fail "stop did not ask the guest to stop"
kill -0 $machine 2>/dev/null && fail "stop returned while the machine still ran"
[ ! -e "$state/qemu.pid" ] || fail "stop left the pid file"
# A second stop has nothing to do.
"$VRL_SOURCE/scripts/winevm/stop" "$state" || fail "stopping a stopped guest failed"

# A stale pid file: the number is now a `sleep`'s. stop leaves it running.
rm -f "$state/jobs/stop"
sleep 600 &
other=$!
echo "$other" >"$state/qemu.pid"
echo ready >"$state/jobs/ready"
VRL_WINEVM_STOP_GRACE=1 timeout 60 "$VRL_SOURCE/scripts/winevm/stop" "$state" || fail "stop failed with a stale pid file"
kill -0 $other 2>/dev/null || fail "stop killed a process that was no guest"
[ ! -e "$state/jobs/stop" ] || fail "stop asked a process that was no guest to stop"
[ ! -e "$state/qemu.pid" ] || fail "stop kept the stale pid file"
echo "PASS"
