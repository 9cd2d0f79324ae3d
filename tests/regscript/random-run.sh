#!/usr/bin/env bash
# The bounded random run of registration scripts, sized for the lane: 20,000
# scripts where the host's own Wine runs them, 200 in the emulated guest,
# where every registry call costs about a millisecond. VRL_RANDOM_SCRIPTS
# (scripts/test --long) and VRL_RANDOM_SEED make another run.
set -uo pipefail
: "${VRL_WINE:?}"
if [ -z "${VRL_RANDOM_SCRIPTS:-}" ]; then
  lane=$("$VRL_WINE" --lane) || exit 1
  if [ "$lane" = guest ]; then VRL_RANDOM_SCRIPTS=200; else VRL_RANDOM_SCRIPTS=20000; fi
fi
export VRL_RANDOM_SCRIPTS
echo "random run: $VRL_RANDOM_SCRIPTS scripts"
exec "$VRL_WINE" -- registration_tests.exe --gtest_filter='RandomScripts*'
