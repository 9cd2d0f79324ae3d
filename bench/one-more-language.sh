#!/usr/bin/env bash
# How long the kit takes over one language (export, check and pseudo-locale;
# goal 2 s), how long its check of one language takes (goal 1 s), and how
# long one more language server takes to build, 32- and 64-bit together, in
# build trees that are built already: a translated language folder is added,
# and only its server is built. Prints each figure as a table row (what, the
# seconds, the goal), which scripts/bench gathers into its summary. The folder and its server leave the build trees
# again afterwards, however the run ends.
#
#   one-more-language.sh SOURCE-TREE BUILD32 BUILD64
set -uo pipefail
source_tree=$1
builds=("$2" "$3")
readonly goal_seconds=20
readonly kit_goal_seconds=2
readonly check_goal_seconds=1
readonly tag=fr-FR
# A folder name that no real language takes: its build files are removed.
readonly name=frbench
# Debian's Python, which has polib.
readonly python=/usr/bin/python3
langkit=$source_tree/langkit/langkit

fail() { echo "one more language: $*" >&2; exit 1; }
# seconds_since START: the seconds from START (date +%s.%N) to now.
seconds_since() {
  local now
  now=$(date +%s.%N)
  "$python" -c 'import sys; print(f"{float(sys.argv[2]) - float(sys.argv[1]):.2f}")' "$1" "$now"
}
work=$(mktemp -d "${builds[0]}/one-more-language.XXXXXX") || fail "no scratch folder"

# The build trees' own list of test language folders, to give back.
cached_folders() { sed -n 's/^VRL_TEST_LANGUAGE_FOLDERS:[A-Z]*=//p' "$1/CMakeCache.txt"; }
declare -A saved
for build in "${builds[@]}"; do
  [ -f "$build/CMakeCache.txt" ] || fail "$build is not configured"
  saved[$build]=$(cached_folders "$build")
done
module=
cleanup() {
  local build
  for build in "${builds[@]}"; do
    cmake -DVRL_TEST_LANGUAGE_FOLDERS="${saved[$build]}" "$build" >/dev/null 2>&1
    # Its generated files, objects, libraries and server.
    find "$build" -depth \( -name "$name" -o -name "*_$name.*" -o -name "*_${name}_object.dir" \
      -o -name "${module:-$name}.*" \) -exec rm -rf {} + 2>/dev/null
  done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# A translator's folder, translated: every text given (here, the source's
# own), nothing fuzzy.
"$langkit" new "$tag" --name "$name" --languages "$work" >/dev/null || fail "langkit new $tag"
folder=$work/$name
module=$(PYTHONPATH=$source_tree/langkit "$python" -c \
  'import sys; from vrllangkit.identity import load_identity; print(load_identity(sys.argv[1]).module)' "$folder/language.json") \
  || fail "no module name in $folder/language.json"
"$python" - "$folder/texts.po" <<'PY' || fail "cannot translate $folder/texts.po"
import sys
import polib
catalogue = polib.pofile(sys.argv[1])
for entry in catalogue:
    entry.msgstr = entry.msgid
    if "fuzzy" in entry.flags:
        entry.flags.remove("fuzzy")
catalogue.save()
PY

# The kit over the source language, as a translator's round uses it.
start=$(date +%s.%N)
"$langkit" export es --po "$work/es.po" >/dev/null && "$langkit" check es >/dev/null \
  && "$langkit" pseudo "$work/qps-ploc" >/dev/null || fail "the kit failed over es"
seconds=$(seconds_since "$start")
printf '| %s | %s s | <= %s s |\n' "langkit export, check and pseudo-locale of es" "$seconds" "$kit_goal_seconds"
start=$(date +%s.%N)
"$langkit" check es >/dev/null || fail "langkit check es failed"
seconds=$(seconds_since "$start")
printf '| %s | %s s | <= %s s |\n' "langkit check of es" "$seconds" "$check_goal_seconds"

total=0
for build in "${builds[@]}"; do
  # Everything else is built first, so that only the new server is timed.
  cmake --build "$build" --target VrlDiscoveryResES >/dev/null || fail "$build does not build"
  start=$(date +%s.%N)
  cmake -DVRL_TEST_LANGUAGE_FOLDERS="${saved[$build]};$folder" "$build" >"$work/configure.log" 2>&1 \
    || fail "configuring $build with $tag: $(cat "$work/configure.log")"
  configured=$(date +%s.%N)
  cmake --build "$build" --target "$module" >"$work/build.log" 2>&1 || fail "building $module in $build: $(cat "$work/build.log")"
  built=$(date +%s.%N)
  [ -f "$build/bin/$module.dll" ] || fail "$build/bin/$module.dll was not written"
  read -r seconds configure_seconds build_seconds < <("$python" -c '
import sys
start, configured, built = map(float, sys.argv[1:])
print(f"{built - start:.1f} {configured - start:.1f} {built - configured:.1f}")' "$start" "$configured" "$built")
  steps=$(grep -c '^\[[1-9]' "$work/build.log")
  printf '| %s | %s s | reported only |\n' \
    "one more server in $(basename "$build") (configure $configure_seconds s, build $build_seconds s, $steps steps)" "$seconds"
  total=$("$python" -c 'import sys; print(f"{float(sys.argv[1]) + float(sys.argv[2]):.1f}")' "$total" "$seconds")
done
printf '| %s | %s s | <= %s s |\n' "one more language server, both bitnesses" "$total" "$goal_seconds"
