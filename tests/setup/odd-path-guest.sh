#!/usr/bin/env bash
# A checkout in a folder whose path holds a blank and a non-ASCII letter: the
# guest scripts and the server are copied to "my checkout ñ,50%", a guest of its
# own boots from there (its first script, job folder and shared folder all
# at that path), registers the server, finds it, unregisters it and finds it
# gone (the guest's smoke test, also where the suite runs on the host);
# `status` lists the guest; with a short idle time it then stops by itself,
# and is gone. The path also holds a comma and a percent sign, which the way
# to the guest treats apart (qemu's option lists, the percent-encoding of the
# kernel command line).
#
# A path with a line feed or a tab cannot reach the guest intact: start and
# wine refuse it, saying so, and boot nothing.
set -uo pipefail
: "${VRL_SOURCE:?}" "${VRL_BIN:?}"
checkout="$PWD/my checkout ñ,50%"
state="$checkout/build/winevm"
rm -rf "$checkout"
mkdir -p "$checkout/scripts" "$checkout/build/bin"
cp -r "$VRL_SOURCE/scripts/winevm" "$VRL_SOURCE/scripts/wine-processes" "$checkout/scripts/"
cp "$VRL_BIN/VrlDiscoveryResES.dll" "$VRL_BIN/vrllocale.tlb" "$VRL_BIN/vrl-discover.exe" "$checkout/build/bin/"
line_feed="$PWD/line"$'\n'"feed"
tab="$PWD/tab"$'\t'"here"
tab_guest=$PWD/tab-guest
mkdir -p "$line_feed" "$tab"
trap '"$checkout/scripts/winevm/stop" "$state"; rm -rf "$checkout" "$line_feed" "$tab" "$tab_guest"' EXIT
fail() {
  echo "FAIL: $1"
  tail -n 20 "$state/console.log" 2>/dev/null
  exit 1
}
export VRL_WINEVM_IDLE_TIMEOUT=20
unset VRL_WINEVM_STATE
wine() { "$checkout/scripts/winevm/wine" --state="$state" --share="$checkout" -- "$@"; }

# Refused: a working folder with a line feed, a state folder with one, and a
# shared folder with a tab.
refused() { # WHAT COMMAND...
  local what=$1 out rc=0
  shift
  out=$(timeout 120 "$@" 2>&1) || rc=$?
  [ $rc -ne 0 ] || fail "$what: not refused"
  [ $rc -ne 124 ] || fail "$what: not refused within 2 minutes"
  grep -qF "winevm: $what holds a control character" <<<"$out" || fail "$what: no message says why: $out"
}
(cd "$line_feed" && refused "the working folder" "$checkout/scripts/winevm/wine" --state="$state" \
  --share="$checkout" -- cmd /c exit 0) || exit 1
refused "the state folder" "$checkout/scripts/winevm/start" "$line_feed/winevm" "$line_feed"
refused "the shared folder" "$checkout/scripts/winevm/start" "$tab_guest" "$tab"
[ ! -e "$line_feed/winevm/console.log" ] && [ ! -e "$tab_guest/console.log" ] && [ ! -e "$state/console.log" ] ||
  fail "a guest was booted for a refused path"

cd "$checkout/build/bin" || exit 1
dll='Z:'${PWD//\//\\}'\VrlDiscoveryResES.dll'
wine regsvr32 /s "$dll" || fail "regsvr32 failed with exit code $?"
out=$(wine vrl-discover.exe) || fail "vrl-discover failed with exit code $?"
printf '%s\n' "$out"
grep -qF "Server file:   $dll" <<<"$out" || fail "the server file is not named by its own path"
grep -q '^1 enrolled, 1 working, 0 failed' <<<"$out" || fail "the server does not work from there"
wine regsvr32 /s /u "$dll" || fail "regsvr32 /u failed with exit code $?"
out=$(wine vrl-discover.exe) || fail "vrl-discover failed after removal with exit code $?"
grep -q '^No language servers found' <<<"$out" || fail "the server is still found after regsvr32 /u: $out"

listing=$("$checkout/scripts/winevm/status" "$checkout")
printf '%s\n' "$listing"
pid=$(cat "$state/qemu.pid")
grep -qE "^$pid +ready .*$state\$" <<<"$listing" || fail "status does not list the guest"

# No job for 20 s: the guest shuts down within a few seconds after that.
for _ in $(seq 1 120); do kill -0 "$pid" 2>/dev/null || break; sleep 0.5; done
kill -0 "$pid" 2>/dev/null && fail "the idle guest still runs"
[ "$(cat "$state/jobs/stopped" 2>/dev/null)" = idle ] || fail "the guest did not say it stopped for idleness"
! grep -q 'Kernel panic' "$state/console.log" || fail "the guest panicked on its way down"
grep -q 'no guest of .* is running' <<<"$("$checkout/scripts/winevm/status" "$checkout")" ||
  fail "status still lists a guest"
echo "PASS"
