#!/usr/bin/env bash
# The demo stops when asked: Ctrl-C (an interrupt to its whole process
# group, as a terminal sends it) while the server is being found, and TERM to
# the demo's process alone. Each time it ends within seconds with the
# signal's exit code, through its cleanup: no Wine process and no prefix of
# its Wine home is left, and no job of its stays in the guest's job folder.
set -uo pipefail
: "${VRL_SOURCE:?}" "${VRL_BIN:?}"
work=$(mktemp -d "$PWD/interrupt-demo.XXXXXX") || exit 1
source "$VRL_SOURCE/tests/setup/interrupting.sh"
cleanup() {
  "$VRL_SOURCE/scripts/wine32" --home="$work/home" --end >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

# interrupt NAME SIGNAL WHOLE-GROUP: starts the demo in a process group of
# its own, waits until it finds the server, sends SIGNAL, and checks how it
# ended.
interrupt() {
  local name=$1 number=$2 group=$3 demo i
  start_foreground "$work/$name.log" "$VRL_SOURCE/scripts/demo" --no-build --wine-home "$work/home"
  demo=$started
  wait_for_line "$work/$name.log" '^== vrl-discover --texts' $demo ||
    { fail "$name: the demo never came to discovery: $(cat "$work/$name.log")"; return; }
  interrupt_and_wait "$name" $demo "$number" "$group"
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
