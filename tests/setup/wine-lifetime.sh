#!/usr/bin/env bash
# No Wine process outlives the run that started it: a package run that
# succeeds, one that is interrupted, and two at once in one Wine home, of
# which the first to finish must not end the other's Wine; and, where the
# 32-bit lane is this host's own, the demo. The Wine server of a prefix that
# no run owns alone goes by itself a few seconds after its last program.
#
#   wine-lifetime.sh BUILD32 BUILD64
set -uo pipefail
: "${VRL_SOURCE:?}"
build32=$1
build64=$2
wine_processes() { /usr/bin/python3 "$VRL_SOURCE/scripts/runner" processes "$1" | awk -F'\t' -v pattern="${2:-}" '$2 ~ pattern'; }
work=$(mktemp -d "$PWD/wine-lifetime.XXXXXX") || exit 1
# Long enough for a server to see out its last program and its services.
readonly settle_seconds=30
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
cleanup() {
  local pid
  for pid in $(wine_processes "$work" | cut -f1); do kill -KILL "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
unset VRL_WINE_LINGER

# none_left NAME DIR: no Wine process of a prefix in DIR once things settle.
none_left() {
  local name=$1 dir=$2 i
  for ((i = 0; i < settle_seconds * 4; i++)); do
    [ -z "$(wine_processes "$dir")" ] && return 0
    sleep 0.25
  done
  fail "$name: Wine processes left after $settle_seconds s: $(wine_processes "$dir" | tr '\n' ';')"
}
# package NAME HOME: scripts/package --no-build, recording in the Wine home
# HOME, which the run shares rather than owns. Not a function of its own when
# run in the background: a signal to $! must reach scripts/package itself.
package() {
  local name=$1 home=$2
  mkdir -p "$work/$name"
  TMPDIR=$work/$name exec "$VRL_SOURCE/scripts/package" --no-build --wine-home "$home" \
    --build32 "$build32" --build64 "$build64" --out "$work/$name/dist" >"$work/$name.log" 2>&1
}

# A run that succeeds.
(package succeeds "$work/home-succeeds") || fail "the package run failed: $(cat "$work/succeeds.log")"
none_left "after a package run" "$work"

# A run interrupted while its Wine runs: the signal goes to scripts/package
# itself, which must end, and take its Wine with it.
(package interrupted "$work/home-interrupted") &
run=$!
for ((i = 0; i < 600; i++)); do
  [ -n "$(wine_processes "$work/home-interrupted" '^wineserver')" ] && break
  sleep 0.1
done
[ -n "$(wine_processes "$work/home-interrupted" '^wineserver')" ] || fail "the interrupted run never started Wine"
tr '\0' '\n' <"/proc/$run/cmdline" | grep -qxF "$VRL_SOURCE/scripts/package" ||
  fail "the background job is not scripts/package itself"
kill -TERM "$run" 2>/dev/null
rc=0
wait "$run" || rc=$?
[ $rc -ne 0 ] || fail "the interrupted package run exited 0"
none_left "after an interrupted package run" "$work"

# Two runs at once in one home: each finds the Wine it needs.
(package first "$work/home-shared") &
first=$!
(package second "$work/home-shared") || fail "the second of two runs at once failed: $(cat "$work/second.log")"
wait "$first" || fail "the first of two runs at once failed: $(cat "$work/first.log")"
none_left "after two package runs at once" "$work"

# A test run's fixture makes a fresh prefix whose server lingers for minutes:
# the next program must not wait for that server to go.
VRL_WINE_LINGER=120 "$VRL_SOURCE/scripts/wine64" --home="$work/home-fresh" --fresh
if ! timeout 30 "$VRL_SOURCE/scripts/wine64" --home="$work/home-fresh" cmd /c exit; then
  fail "a program after --fresh waited for the fresh prefix's server to go"
fi
"$VRL_SOURCE/scripts/wine64" --home="$work/home-fresh" --end
none_left "after --fresh and --end" "$work/home-fresh"

# The demo, where it runs on this host.
if [ "$("$VRL_SOURCE/scripts/wine32" --lane 2>/dev/null)" = native ]; then
  "$VRL_SOURCE/scripts/demo" --no-build --wine-home "$work/demo" >"$work/demo.log" 2>&1 ||
    fail "the demo failed: $(cat "$work/demo.log")"
  [ -d "$work/demo/prefix" ] || [ -f "$work/demo/wineboot.log" ] || fail "the demo's Wine did not run in the home given"
  none_left "after the demo" "$work/demo"
else
  echo "the demo runs in the guest on this host: no Wine of this host's to look for"
fi

[ $failures -eq 0 ] && echo PASS
exit $failures
