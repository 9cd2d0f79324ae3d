#!/usr/bin/env bash
# The demo stops when asked: Ctrl-C (an interrupt to its whole process
# group, as a terminal sends it) while the server is being found, and TERM to
# the demo's process alone. Each time it ends within seconds with the
# signal's exit code, through its cleanup: no Wine process and no prefix of
# its Wine home is left, and no job of its stays in the guest's job folder.
set -uo pipefail
: "${VRL_SOURCE:?}" "${VRL_BIN:?}"
work=$(mktemp -d "$PWD/interrupt-demo.XXXXXX") || exit 1
readonly limit_seconds=10
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
runner() { /usr/bin/python3 "$VRL_SOURCE/scripts/runner" "$@"; }
cleanup() {
  "$VRL_SOURCE/scripts/wine32" --home="$work/home" --end >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

# interrupt NAME SIGNAL WHOLE-GROUP: starts the demo in a process group of
# its own, waits until it finds the server, sends SIGNAL, and checks how it
# ended.
interrupt() {
  local name=$1 number=$2 group=$3 demo began rc=0 i
  # A background job of a script starts with the interrupt ignored, which no
  # script can trap: the demo starts as a terminal's foreground job would.
  /usr/bin/python3 -c 'import os, signal, sys; signal.signal(signal.SIGINT, signal.SIG_DFL); os.setsid(); os.execv(sys.argv[1], sys.argv[1:])' \
    "$VRL_SOURCE/scripts/demo" --no-build --wine-home "$work/home" >"$work/$name.log" 2>&1 &
  demo=$!
  for ((i = 0; i < 3000; i++)); do
    grep -q '^== vrl-discover --texts' "$work/$name.log" && break
    kill -0 $demo 2>/dev/null || break
    sleep 0.1
  done
  grep -q '^== vrl-discover --texts' "$work/$name.log" || { fail "$name: the demo never came to discovery: $(cat "$work/$name.log")"; return; }
  began=$SECONDS
  if [ "$group" = group ]; then kill -"$number" -- -"$demo"; else kill -"$number" "$demo"; fi
  for ((i = 0; i < limit_seconds * 10 + 100; i++)); do kill -0 $demo 2>/dev/null || break; sleep 0.1; done
  kill -0 $demo 2>/dev/null && { fail "$name: the demo still runs"; kill -KILL -- -"$demo"; }
  wait $demo || rc=$?
  echo "$name: the demo ended after $((SECONDS - began)) s with exit code $rc"
  [ $((SECONDS - began)) -le $limit_seconds ] || fail "$name: the demo took $((SECONDS - began)) s to end"
  [ $rc -ne 0 ] || fail "$name: the interrupted demo exited 0"
  grep -q '^-- 64-bit vrl-discover' "$work/$name.log" && fail "$name: the demo ran to its end: the signal came too late to tell"
  sleep 1
  [ -z "$(runner processes "$work/home")" ] || fail "$name: Wine left running: $(runner processes "$work/home")"
  compgen -G "$work/home/prefix*" >/dev/null && fail "$name: the demo's prefix is left: $(ls "$work/home")"
  for ((i = 0; i < 100; i++)); do [ -z "$(orphaned_jobs)" ] && break; sleep 0.1; done
  [ -z "$(orphaned_jobs)" ] || fail "$name: jobs of ended clients are left in the guest: $(orphaned_jobs)"
}
# orphaned_jobs: files in the suite guest's job folder whose client (the pid
# they begin with) has ended.
orphaned_jobs() {
  local file client
  for file in "${VRL_BIN%/bin}"/winevm/jobs/[0-9]*-*; do
    [ -e "$file" ] || continue
    client=${file##*/}
    kill -0 "${client%%-*}" 2>/dev/null || echo "${file##*/}"
  done
}

interrupt ctrl-c INT group
interrupt term TERM alone

[ $failures -eq 0 ] && echo PASS
exit $failures
