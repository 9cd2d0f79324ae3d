#!/usr/bin/env bash
# Runs the multi-heap tests in a process that Wine reports as Windows NT 4.0,
# through the program's own version setting, and takes the setting back.
set -euo pipefail
program=multiheap_tests.exe
key="HKCU\\Software\\Wine\\AppDefaults\\$program"
"$VRL_WINE" reg add "$key" /v Version /d nt40 /f >/dev/null
trap '"$VRL_WINE" reg delete "$key" /f >/dev/null 2>&1 || true' EXIT
"$VRL_WINE" "$program"
