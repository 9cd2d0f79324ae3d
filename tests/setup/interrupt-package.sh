#!/usr/bin/env bash
# The package script stops when asked: Ctrl-C (an interrupt to its whole
# process group, as a terminal sends it) while it records a registration in
# Wine, and TERM to the script alone. Each time it ends within seconds with
# the signal's exit code, through its clean-up: its output folder is not
# written, no scratch folder of the run is left beside it, and no Wine
# process of its Wine home outlives it.
#
#   interrupt-package.sh BUILD32 BUILD64
set -uo pipefail
: "${VRL_SOURCE:?}"
build32=$1 build64=$2
work=$(mktemp -d "$PWD/interrupt-package.XXXXXX") || exit 1
source "$VRL_SOURCE/tests/setup/interrupting.sh"
cleanup() {
  "$VRL_SOURCE/scripts/wine64" --home="$work/home" --end >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

# interrupt NAME SIGNAL WHOLE-GROUP
interrupt() {
  local name=$1 number=$2 group=$3 run i
  start_foreground "$work/$name.log" "$VRL_SOURCE/scripts/package" --no-build --language es --build32 "$build32" \
    --build64 "$build64" --wine-home "$work/home" --out "$work/dist"
  run=$started
  wait_for_line "$work/$name.log" '^package: the registration is recorded' $run ||
    { fail "$name: the run never came to recording: $(cat "$work/$name.log")"; return; }
  # The signal comes while the run's Wine runs: that Wine must go with it.
  for ((i = 0; i < 600; i++)); do
    [ -n "$(runner processes "$work/home")" ] && break
    kill -0 $run 2>/dev/null || break
    sleep 0.1
  done
  [ -n "$(runner processes "$work/home")" ] || { fail "$name: the run started no Wine: $(cat "$work/$name.log")"; return; }
  interrupt_and_wait "$name" $run "$number" "$group"
  grep -q '^package: wrote' "$work/$name.log" && fail "$name: the run wrote its packages: the signal came too late to tell"
  [ ! -e "$work/dist" ] || fail "$name: the output folder was written"
  compgen -G "$work/dist.*" >/dev/null && fail "$name: scratch folders are left: $(ls -d "$work"/dist.*)"
  grep -q Traceback "$work/$name.log" && fail "$name: the run printed a traceback: $(cat "$work/$name.log")"
  for ((i = 0; i < 50; i++)); do [ -z "$(runner processes "$work/home")" ] && break; sleep 0.1; done
  [ -z "$(runner processes "$work/home")" ] || fail "$name: Wine left running: $(runner processes "$work/home")"
}

interrupt ctrl-c INT group
interrupt term TERM alone

[ $failures -eq 0 ] && echo PASS
exit $failures
