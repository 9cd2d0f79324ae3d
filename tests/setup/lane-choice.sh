#!/usr/bin/env bash
# The choice of the 32-bit lane: the host's answer, kept for one boot of the
# machine, and VRL_LANE32, which overrides it. A host that cannot run 32-bit
# Wine, or is said not to, falls back to the guest and says why; a request
# for the native lane that the host cannot meet is refused, not ignored.
set -uo pipefail
: "${VRL_SOURCE:?}"
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
export XDG_CACHE_HOME=$work/cache
unset VRL_LANE32 VRL_HOST32 VRL_WINE32_HOME
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
probe() { "$VRL_SOURCE/scripts/host32" "$@"; }
# lane HOME [VAR=value...]: the lane that the stand-in picks, its messages in $work/err.
lane() {
  local home=$1
  shift
  env "$@" "$VRL_SOURCE/scripts/wine32" --home="$work/$home" --lane 2>"$work/err"
}

# The kernel's answer is kept for this boot only.
boot=$(cat /proc/sys/kernel/random/boot_id)
kept=$XDG_CACHE_HOME/vrldiscovery/kernel32
truth=$(probe --kernel)
[ "$(head -n1 "$kept")" = "$boot" ] || fail "the answer is not kept with this boot's id"
if [ "$truth" = yes ]; then other="no (said by the test)"; else other=yes; fi
printf '%s\n%s\n' "$boot" "$other" >"$kept"
[ "$(probe --kernel)" = "$other" ] || fail "an answer kept for this boot is asked again"
printf '%s\n%s\n' another-boot "$other" >"$kept"
[ "$(probe --kernel)" = "$truth" ] || fail "an answer kept from another boot was trusted"
rm -rf "$XDG_CACHE_HOME"

# Told that the kernel refuses 32-bit code: the guest, with the reason.
out=$(lane no VRL_HOST32=no) || fail "no lane when the host says no"
[ "$out" = guest ] || fail "VRL_HOST32=no gave lane $out"
grep -q "cannot run 32-bit Wine.*running in the test guest instead" "$work/err" || fail "no message for the fallback: $(cat "$work/err")"

# Told that it runs 32-bit code: native exactly when 32-bit Wine is there.
out=$(lane yes VRL_HOST32=yes) || fail "no lane when the host says yes"
if [ -x /usr/lib/wine/wine ]; then expected=native; else expected=guest; fi
[ "$out" = $expected ] || fail "VRL_HOST32=yes gave lane $out, not $expected"
if [ $expected = guest ]; then
  grep -q "32-bit Wine is not installed" "$work/err" || fail "the missing 32-bit Wine is not named: $(cat "$work/err")"
fi

# The override, and a change of it in one home, which asks again.
out=$(lane yes VRL_HOST32=yes VRL_LANE32=guest) || fail "VRL_LANE32=guest refused"
[ "$out" = guest ] || fail "VRL_LANE32=guest gave lane $out"
[ ! -s "$work/err" ] || fail "a lane asked for explained itself as a fallback: $(cat "$work/err")"
out=$(lane yes VRL_HOST32=yes) || fail "no lane after the override went"
[ "$out" = $expected ] || fail "the lane stayed $out after VRL_LANE32 was unset"

# The native lane asked of a host that cannot give it.
if out=$(lane forced VRL_HOST32=no VRL_LANE32=native); then
  fail "VRL_LANE32=native accepted on a host that refuses 32-bit code ($out)"
fi
grep -q "VRL_LANE32=native" "$work/err" || fail "the refusal does not name VRL_LANE32: $(cat "$work/err")"
if lane bad VRL_LANE32=fast >/dev/null; then fail "VRL_LANE32=fast accepted"; fi

[ $failures -eq 0 ] && echo PASS
exit $failures
