#!/usr/bin/env bash
# vrl-discover in Wine: with nothing enrolled, with the server registered and
# enrolled in the localization category, and with broken classes enrolled
# beside it; plain, --texts and --json output, and the exit codes.
#
#   discovery-test.sh VRL-DISCOVER-EXE
#
# The prefix is shared by every build folder that uses the guest, so runs are
# serialised on the same lock as the late-bound client test, and whatever this
# script added is removed even when a step fails.
set -uo pipefail
: "${VRL_BIN:?}" "${VRL_SOURCE:?}"
source "$VRL_SOURCE/tests/wine-prefix.sh"
source "$VRL_SOURCE/tests/server-identity.sh"
discover=$1

# Broken enrolments: a server file that is not there, a system DLL that serves
# no classes, and the category manager's own class, which is no language server.
readonly missing_clsid='{0D15C0E5-7E57-4A11-8000-00000000F11E}'
readonly foreign_clsid='{0D15C0E5-7E57-4A11-8000-000000000D11}'
readonly manager_clsid='{0002E005-0000-0000-C000-000000000046}'
dll=$(windows_path "$VRL_BIN/VrlDiscoveryResES.dll")

work=$(mktemp -d "$PWD/discovery.XXXXXX") || exit 1
lock_prefix

source "$VRL_SOURCE/tests/test-outcome.sh"

# .reg files: every backslash inside a string is doubled.
reg_text() { local text=$1; printf '"%s"' "${text//\\/\\\\}"; }
reg_file() { printf 'Windows Registry Editor Version 5.00\r\n\r\n'; cat; }
reg_import() {
  local name=$1
  reg_file >"$work/$name.reg"
  wine reg import "$(windows_path "$work/$name.reg")" >/dev/null 2>&1
}
enrolment_key() { printf 'HKEY_CLASSES_ROOT\\CLSID\\%s\\Implemented Categories\\%s' "$1" "$catid"; }
# A class key with its server file, enrolled in the category.
enrolled_class() {
  local class=$1 server=$2
  printf '[HKEY_CLASSES_ROOT\\CLSID\\%s\\InprocServer32]\r\n@=%s\r\n"ThreadingModel"="Apartment"\r\n\r\n' \
    "$class" "$(reg_text "$server")"
  printf '[%s]\r\n\r\n' "$(enrolment_key "$class")"
}

# Installed the way users do it.
register_server() {
  wine regsvr32 /s "$dll"
}

manager_had_categories=
if wine reg query "HKCR\\CLSID\\$manager_clsid\\Implemented Categories" >/dev/null 2>&1; then
  manager_had_categories=1
fi
enrol_broken_classes() {
  reg_import add-broken <<REG
$(enrolled_class "$missing_clsid" "$(windows_path "$work/not-there/VrlMissing.dll")")
$(enrolled_class "$foreign_clsid" 'C:\windows\system32\kernel32.dll')
[$(enrolment_key "$manager_clsid")]
REG
}

cleanup() {
  wine regsvr32 /s /u "$dll" || fail "regsvr32 /u failed"
  {
    printf '[-HKEY_CLASSES_ROOT\\CLSID\\%s]\r\n\r\n' "$missing_clsid" "$foreign_clsid"
    printf '[-HKEY_CLASSES_ROOT\\Component Categories\\%s]\r\n\r\n' "$catid"
    if [ -n "$manager_had_categories" ]; then
      printf '[-%s]\r\n\r\n' "$(enrolment_key "$manager_clsid")"
    else
      printf '[-HKEY_CLASSES_ROOT\\CLSID\\%s\\Implemented Categories]\r\n\r\n' "$manager_clsid"
    fi
  } | reg_import remove || fail "registrations not removed"
  # What is left enrolled shows in one more run.
  run after
  grep -qF "No language servers found in category $catid" "$work/after.out" \
    || fail "enrolments left behind: $(cat "$work/after.out")"
  rm -rf "$work"
}

# run NAME ARG...: vrl-discover's output in $work/NAME.out and .err, CRs
# dropped; its exit code in $status.
status=0
run() {
  local name=$1; shift
  wine "$discover" "$@" >"$work/$name.raw" 2>"$work/$name.err"
  status=$?
  tr -d '\r' <"$work/$name.raw" >"$work/$name.out"
}
expect_status() {
  local name=$1 wanted=$2
  [ "$status" -eq "$wanted" ] || fail "$name: exit code $status, expected $wanted"
}
expect_line() {
  local name=$1 line=$2
  grep -qxF -- "$line" "$work/$name.out" || fail "$name: no line '$line'"
}
# The block of one class in the plain output, from its CLSID line to the blank line after it.
class_block() { awk -v c="$2" '$0 == c { on = 1 } on && $0 == "" { exit } on' "$work/$1.out"; }

check_usage() {
  run help --help
  expect_status help 0
  grep -q '^Usage: vrl-discover' "$work/help.out" || fail "--help: no usage text"
  run usage --no-such-option
  expect_status usage 2
  grep -q '^Usage: vrl-discover' "$work/usage.err" || fail "usage error: no usage text on stderr"
  [ -s "$work/usage.out" ] && fail "usage error: wrote to stdout"
}

check_nothing_found() {
  run empty
  expect_status empty 0
  grep -qF "No language servers found in category $catid" "$work/empty.out" || fail "empty category: $(cat "$work/empty.out")"
  run empty-json --json
  expect_status empty-json 0
  /usr/bin/python3 - "$work/empty-json.out" <<'PY' || fail "empty category: JSON"
import json, sys
listing = json.load(open(sys.argv[1], encoding="utf-8"))
assert listing["servers"] == [], listing
PY
}

check_spanish_server() {
  run plain
  expect_status plain 0
  class_block plain "$clsid" >"$work/plain-server.out"
  expect_line plain-server "  ProgID:        $versioned_progid"
  expect_line plain-server "  Server file:   $dll"
  expect_line plain-server '  Language:      "Spanish"'
  expect_line plain-server '  Language ids:  10 (primary), 1 (sub)'
  expect_line plain-server '  Version:       "1.0.0.0"'
  grep -q 'Text' "$work/plain.out" && fail "plain: texts shown without --texts"
  grep -qF "($(printf '"%s"' "$category_description"))" "$work/plain.out" || fail "plain: category description not shown"

  run texts --texts
  expect_status texts 0
  class_block texts "$clsid" >"$work/texts-server.out"
  expect_line texts-server '  Texts:         48'
  expect_line texts-server $'    100\t"Aceptar"'
  expect_line texts-server $'    452\t"Tamaño:"'
  expect_line texts-server $'    306\t"Instrumentos identificados en "'
  expect_line texts-server $'    325\t"Petición errónea a puertos COM\\r\\n"'
  expect_line texts-server $'    327\t"Petición errónea a puertos GPIB \\r\\n"'
  expect_line texts-server $'    1000\t"VrlDiscoveryResES"'
  grep -qE $'^    (0|106|200|999)\t' "$work/texts-server.out" && fail "texts: an id without text is listed"

  run json --json --texts
  expect_status json 0
  /usr/bin/python3 -m json.tool "$work/json.out" >/dev/null || fail "json: not a JSON document"
  grep -E $'^    [0-9]+\t' "$work/texts-server.out" | cut -f1 | tr -d ' ' >"$work/texts.ids"
  /usr/bin/python3 - "$work/json.out" "$clsid" "$dll" "$work/texts.ids" <<'PY' || fail "json: Spanish server"
import json, sys
path, clsid, dll, ids = sys.argv[1:]
listing = json.load(open(path, encoding="utf-8"))
server = next(s for s in listing["servers"] if s["clsid"] == clsid)
assert "error" not in server, server
assert server["serverFile"] == dll, server["serverFile"]
assert (server["languageName"], server["primaryLanguageId"], server["subLanguageId"], server["version"]) \
    == ("Spanish", 10, 1, "1.0.0.0"), server
texts = {t["id"]: t["text"] for t in server["texts"]}
assert texts[100] == "Aceptar" and texts[452] == "Tama\u00f1o:", texts
assert texts[325] == "Petici\u00f3n err\u00f3nea a puertos COM\r\n", repr(texts[325])
assert texts[327].endswith("GPIB \r\n") and len(texts[327]) == 34, repr(texts[327])
assert len(texts[317]) == 157, len(texts[317])
assert sorted(texts) == [int(i) for i in open(ids)], "plain and JSON list other ids"
PY
}

check_broken_classes() {
  run broken --texts
  expect_status broken 0
  local class
  for class in "$missing_clsid" "$foreign_clsid" "$manager_clsid"; do
    class_block broken "$class" >"$work/broken.class"
    grep -qE '^  Failed:        CoCreateInstance 0x8[0-9A-F]{7}$' "$work/broken.class" \
      || fail "broken: $class not listed with a failing HRESULT: $(cat "$work/broken.class")"
  done
  grep -qF $'    100\t"Aceptar"' "$work/broken.out" || fail "broken: the Spanish server is no longer shown"
  grep -qx '4 enrolled, 1 working, 3 failed.' "$work/broken.out" || fail "broken: summary: $(tail -n 1 "$work/broken.out")"

  run broken-json --json
  expect_status broken-json 0
  /usr/bin/python3 - "$work/broken-json.out" "$clsid" "$missing_clsid" "$foreign_clsid" "$manager_clsid" <<'PY' \
    || fail "broken: JSON"
import json, re, sys
path, good, *broken = sys.argv[1:]
servers = {s["clsid"]: s for s in json.load(open(path, encoding="utf-8"))["servers"]}
assert servers[good]["languageName"] == "Spanish", servers[good]
for clsid in broken:
    error = servers[clsid]["error"]
    assert error["step"] == "CoCreateInstance" and re.fullmatch("0x8[0-9A-F]{7}", error["hresult"]), servers[clsid]
PY
}

# Cleaned up however the run ends, a timeout's TERM included.
end_test_with "discovery"

check_usage
check_nothing_found
register_server || fail "server not registered"
check_spanish_server
enrol_broken_classes || fail "broken classes not enrolled"
check_broken_classes
for name in plain texts broken; do
  printf -- '--- vrl-discover %s\n' "$name"
  cat "$work/$name.out"
done
