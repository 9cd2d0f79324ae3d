#!/usr/bin/env bash
# The guest's own test, with a guest of this test's own, booted once from a
# folder whose path holds a blank, a non-ASCII letter, a comma and a percent
# sign (which qemu's option lists and the kernel command line treat apart):
#   - the smoke: the server registered with regsvr32, found by vrl-discover,
#     removed, and found gone;
#   - the jobs that the runner hands a guest:
#   - a pid file and a ready mark that a crash left behind, the number now a
#     `sleep`'s: wine does not trust them but boots a fresh guest, and the
#     sleep lives on;
#   - a job queued just as the guest stopped: the next start keeps it, and
#     the new guest runs it;
#   - a program gets the variables that wine names (VRL_RANDOM_SEED), never a
#     secret of the environment (VRL_SIGN_PASSWORD); a job's file is for its
#     owner's eyes only, and no file of the state folder holds the secret,
#     while the job runs nor after its client was killed;
#   - a client killed while its program runs (as a time-out does): the
#     program is ended in the guest, and the job's files go;
#   - `status` lists the guest; once no job came for a while, it stops by
#     itself, and is gone.
set -uo pipefail
: "${VRL_SOURCE:?}" "${VRL_BIN:?}"
source "$(dirname "$0")/fake-guest.sh"
state="$PWD/guest ñ,50%/winevm"
work="$PWD/guest ñ,50%/work"
rm -rf "$state" "$work"
mkdir -p "$state/jobs" "$work"
readonly secret='vrl-Sign secret 4Kp'
# secret_in DIR: files in DIR that hold the secret as it is, or quoted for
# the shell (as a job file would write it).
secret_in() { grep -rlaF -e "$secret" -e "$(printf '%q' "$secret")" -- "$1"; }
stale= client= queued=
trap 'runner guest-stop "$state"; kill -KILL $stale $client $queued 2>/dev/null; rm -rf "$state" "$work"' EXIT
fail() {
  echo "FAIL: $1"
  tail -n 20 "$state/console.log" 2>/dev/null
  exit 1
}
unset VRL_SIGN_PASSWORD
export VRL_LANE32=guest VRL_WINEVM_IDLE_TIMEOUT=45
# The clients run in the background are the stand-in itself, so that $! is
# its pid, which its job's files begin with.
wine=("$VRL_SOURCE/scripts/wine32" --state="$state" --share="$VRL_SOURCE" --share="$PWD" --)
windows_path() { local unix=$1; printf 'Z:%s' "${unix//\//\\}"; }
cd "$work" || exit 1

# The guest that a crash left: a machine (played by a stand-in) that stopped
# just after a client had queued its job (the client is stopped here, so that
# it cannot look meanwhile), and whose pid file names by now a `sleep`. The
# next client boots a fresh guest (before, it waited on the `sleep` for ever),
# which leaves the `sleep` alone, and also runs the queued job (before, start
# wiped it, and its client got exit code 125).
fake_guest "$state"
echo ready >"$state/jobs/ready"
"${wine[@]}" cmd /c exit 3 &
queued=$!
for _ in $(seq 1 100); do compgen -G "$state/jobs/$queued-*.job" >/dev/null && break; sleep 0.1; done
compgen -G "$state/jobs/$queued-*.job" >/dev/null || fail "the client queued no job"
kill -STOP $queued
kill -KILL $fake_guest_pid
wait $fake_guest_pid 2>/dev/null
sleep 900 &
stale=$!
echo "$stale" >"$state/qemu.pid"
"${wine[@]}" cmd /c exit 7 &
client=$!
for _ in $(seq 1 300); do [ -e "$state/console.log" ] || ! kill -0 $client 2>/dev/null && break; sleep 0.1; done
[ -e "$state/console.log" ] || fail "wine booted no guest: it took the stale pid file's process for one"
rc=0
wait $client || rc=$?
client=
[ $rc -eq 7 ] || fail "the program's exit code came back as $rc"
kill -0 $stale 2>/dev/null || fail "the process of the stale pid file was killed"
is_guest "$(cat "$state/qemu.pid")" "$state" || fail "the pid file does not name the new guest"
kill -CONT $queued
for _ in $(seq 1 600); do kill -0 $queued 2>/dev/null || break; sleep 0.1; done
kill -0 $queued 2>/dev/null && fail "the queued job's client still waits a minute later"
rc=0
wait $queued || rc=$?
queued=
[ $rc -eq 3 ] || fail "the queued job's client got exit code $rc"

# The smoke: the server's round trip, in the same boot.
cp "$VRL_BIN/VrlDiscoveryResES.dll" "$VRL_BIN/vrllocale.tlb" "$VRL_BIN/vrl-discover.exe" "$work/"
dll=$(windows_path "$work/VrlDiscoveryResES.dll")
"${wine[@]}" regsvr32 /s "$dll" || fail "regsvr32 failed with exit code $?"
out=$("${wine[@]}" vrl-discover.exe) || fail "vrl-discover failed with exit code $?"
printf '%s\n' "$out"
grep -qF "Server file:   $dll" <<<"$out" || fail "the server file is not named by its own path"
grep -q '^1 enrolled, 1 working, 0 failed' <<<"$out" || fail "the server does not work from there"
"${wine[@]}" regsvr32 /s /u "$dll" || fail "regsvr32 /u failed with exit code $?"
out=$("${wine[@]}" vrl-discover.exe) || fail "vrl-discover failed after removal with exit code $?"
grep -q '^No language servers found' <<<"$out" || fail "the server is still found after regsvr32 /u: $out"

# The program's environment: the named variables, and no secret.
out=$(VRL_SIGN_PASSWORD=$secret VRL_RANDOM_SEED=4242 "${wine[@]}" cmd /c set) || fail "cmd /c set failed"
grep -q '^VRL_RANDOM_SEED=4242' <<<"$out" || fail "VRL_RANDOM_SEED did not reach the program"
grep -qF -e "$secret" -e VRL_SIGN_PASSWORD <<<"$out" && fail "the program got VRL_SIGN_PASSWORD"

# A program that runs a while (about a minute), writing a line every 0.3 s.
cat >"$work/tick.vbs" <<'VBS'
Set files = CreateObject("Scripting.FileSystemObject")
For i = 1 To 200
  Set stream = files.OpenTextFile(WScript.Arguments(0), 8, True)
  stream.WriteLine i
  stream.Close
  started = Timer
  Do While Timer >= started And Timer < started + 0.3
  Loop
Next
VBS
ticks() { { wc -l <"$work/ticks"; } 2>/dev/null || echo 0; }
VRL_SIGN_PASSWORD=$secret "${wine[@]}" cscript //nologo "$(windows_path "$work/tick.vbs")" "$(windows_path "$work/ticks")" &
client=$!
for _ in $(seq 1 600); do [ "$(ticks)" -ge 2 ] && break; sleep 0.1; done
[ "$(ticks)" -ge 2 ] || fail "the program does not run"
job=$(compgen -G "$state/jobs/$client-*.run") || fail "no job file of the client: $(ls "$state/jobs")"
[ "$(stat -c %a "$job")" = 600 ] || fail "the job file can be read by others: $(stat -c %A "$job")"
found=$(secret_in "$state")
[ -z "$found" ] || fail "the secret is written in: $found"

# The client is killed: the guest ends the program, and the job leaves no file.
kill -KILL $client
wait $client 2>/dev/null
client_pid=$client
client=
for _ in $(seq 1 300); do compgen -G "$state/jobs/$client_pid-*" >/dev/null || break; sleep 0.1; done
compgen -G "$state/jobs/$client_pid-*" >/dev/null && fail "the cancelled job left: $(ls "$state/jobs")"
before=$(ticks)
sleep 3
[ "$(ticks)" -eq "$before" ] || fail "the program still runs in the guest after its client was killed"
found=$(secret_in "$state")
[ -z "$found" ] || fail "the secret is written in: $found"

# status lists the guest; with no job for a while, it stops by itself.
listing=$("$VRL_SOURCE/scripts/winevm/status" "${state%/winevm}")
printf '%s\n' "$listing"
pid=$(cat "$state/qemu.pid")
grep -qE "^$pid +ready .*winevm\$" <<<"$listing" || fail "status does not list the guest"
for _ in $(seq 1 240); do kill -0 "$pid" 2>/dev/null || break; sleep 0.5; done
kill -0 "$pid" 2>/dev/null && fail "the idle guest still runs"
[ "$(cat "$state/jobs/stopped" 2>/dev/null)" = idle ] || fail "the guest did not say it stopped for idleness"
! grep -q 'Kernel panic' "$state/console.log" || fail "the guest panicked on its way down"
grep -q 'no guest of .* is running' <<<"$("$VRL_SOURCE/scripts/winevm/status" "${state%/winevm}")" ||
  fail "status still lists a guest"
echo "PASS"
