#!/bin/sh
# Drives vrlrgs.exe through the stand-in wine: a registration with NAME=VALUE
# pairs checked with `reg query`, its removal, a failing script and a bad
# command line. Every Wine start is slow, so the runs are few.
set -u
tool="$VRL_BIN/vrlrgs.exe"
work=$(mktemp -d "$VRL_BIN/vrlrgs-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
key="ToolCase$$"
failures=0

fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

# run EXPECTED-RC EXPECTED-OUTPUT ARGS...: runs the tool and compares.
run() {
  expected_rc=$1 expected_out=$2
  shift 2
  out=$("$VRL_WINE" "$tool" "$@" 2>/dev/null; echo "rc=$?")
  out=$(printf '%s' "$out" | tr -d '\r' | tr '\n' ' ')
  expected="${expected_out:+$expected_out }rc=$expected_rc"
  [ "$out" = "$expected" ] || fail "vrlrgs $* gave '$out', expected '$expected'"
}

printf "HKCU { NoRemove Software { NoRemove VrlDiscoveryTests { %s = s '%%Greeting%%' { val Rate = s '100%%%%' } } } }\r\n" "$key" >good.rgs
printf "HKCU { NoRemove Software { NoRemove VrlDiscoveryTests { %s { val Bad = b 'ABC' } } } }\r\n" "$key" >bad.rgs

run 0 "hr=00000000" register good.rgs "GREETING=hola mundo" "Greeting=ignored"
query=$("$VRL_WINE" reg query "HKCU\\Software\\VrlDiscoveryTests\\$key" 2>/dev/null | tr -d '\r')
echo "$query" | grep -q "REG_SZ.*hola mundo" || fail "default value missing: $query"
echo "$query" | grep -q "Rate.*REG_SZ.*100%" || fail "Rate value missing: $query"
run 0 "hr=00000000" unregister good.rgs "GREETING=hola mundo"
run 1 "hr=80004005" register bad.rgs
run 2 "" register

[ "$failures" -eq 0 ] && echo "vrlrgs: all passed"
exit "$failures"
