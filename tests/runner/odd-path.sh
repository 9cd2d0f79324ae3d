#!/usr/bin/env bash
# A checkout in a folder whose path holds a blank, a non-ASCII letter, a
# comma and a percent sign: the runner and the 64-bit server are copied to
# "my checkout ñ,50%", and in this host's own Wine, through that copy's
# runner, the server is registered, found, removed and found gone; `status`
# names the prefix's server with the whole path, and --end leaves no Wine
# process behind.
#
# A path with a line feed or a tab cannot reach the guest intact: the runner
# refuses it, saying so, and boots nothing.
set -uo pipefail
: "${VRL_SOURCE:?}" "${VRL_BIN:?}"
checkout="$PWD/my checkout ñ,50%"
home="$checkout/build/wine64"
rm -rf "$checkout"
mkdir -p "$checkout/scripts" "$checkout/build/bin"
cp -r "$VRL_SOURCE/scripts/runner" "$VRL_SOURCE/scripts/winevm" "$VRL_SOURCE/scripts/wine32" "$VRL_SOURCE/scripts/wine64" \
  "$checkout/scripts/"
cp "$VRL_BIN/VrlDiscoveryResES.dll" "$VRL_BIN/vrllocale.tlb" "$VRL_BIN/vrl-discover.exe" "$checkout/build/bin/"
line_feed="$PWD/line"$'\n'"feed"
tab="$PWD/tab"$'\t'"here"
mkdir -p "$line_feed" "$tab"
cleanup() {
  "$checkout/scripts/wine64" --home="$home" --end
  rm -rf "$checkout" "$line_feed" "$tab"
}
trap cleanup EXIT
fail() { echo "FAIL: $1"; exit 1; }
runner() { /usr/bin/python3 "$checkout/scripts/runner" "$@"; }
wine() { "$checkout/scripts/wine64" --home="$home" -- "$@"; }

# Refused: a working folder with a line feed, a state folder with one, and a
# shared folder with a tab.
refused() { # WHAT COMMAND...
  local what=$1 out rc=0
  shift
  out=$(VRL_LANE32=guest timeout 120 "$@" 2>&1) || rc=$?
  [ $rc -ne 0 ] || fail "$what: not refused"
  [ $rc -ne 124 ] || fail "$what: not refused within 2 minutes"
  grep -qF "winevm: $what holds a control character" <<<"$out" || fail "$what: no message says why: $out"
}
(cd "$line_feed" && refused "the working folder" "$checkout/scripts/wine32" --state="$PWD/refused" \
  --share="$PWD" -- cmd /c exit 0) || exit 1
refused "the state folder" /usr/bin/python3 "$checkout/scripts/runner" guest-start "$line_feed/winevm" "$line_feed"
refused "the shared folder" /usr/bin/python3 "$checkout/scripts/runner" guest-start "$PWD/refused" "$tab"
[ ! -e "$line_feed/winevm/console.log" ] && [ ! -e "$PWD/refused/console.log" ] || fail "a guest was booted for a refused path"

cd "$checkout/build/bin" || exit 1
dll='Z:'${PWD//\//\\}'\VrlDiscoveryResES.dll'
wine regsvr32 /s "$dll" || fail "regsvr32 failed with exit code $?"
out=$(wine vrl-discover.exe) || fail "vrl-discover failed with exit code $?"
grep -qF "Server file:   $dll" <<<"$out" || fail "the server file is not named by its own path: $out"
grep -q '^1 enrolled, 1 working, 0 failed' <<<"$out" || fail "the server does not work from there: $out"
wine regsvr32 /s /u "$dll" || fail "regsvr32 /u failed with exit code $?"
out=$(wine vrl-discover.exe) || fail "vrl-discover failed after removal with exit code $?"
grep -q '^No language servers found' <<<"$out" || fail "the server is still found after regsvr32 /u: $out"

listing=$(runner status "$checkout")
printf '%s\n' "$listing"
grep -qE "^[0-9]+ +[0-9]+m[0-9]+s +[0-9]+ +$home/prefix\$" <<<"$listing" ||
  fail "status does not name the prefix's server with its whole path"
# A program started now finds the server running: it starts none of its own.
server=$(runner processes "$home" | awk -F'\t' '$2 ~ /^wineserver/ {print $1}')
wine cmd /c exit || fail "a second program failed"
[ "$(runner processes "$home" | awk -F'\t' '$2 ~ /^wineserver/ {print $1}')" = "$server" ] ||
  fail "the server was started again: the runner did not find it at this path"
"$checkout/scripts/wine64" --home="$home" --end || fail "--end failed"
[ -z "$(runner processes "$checkout")" ] || fail "Wine processes left after --end: $(runner processes "$checkout")"
echo "PASS"
