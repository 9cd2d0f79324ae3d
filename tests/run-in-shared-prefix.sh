#!/usr/bin/env bash
# Runs a Windows program in the guest while holding the lock of the guest's
# prefix. Every build folder that uses the guest shares that prefix, and tests
# that register classes in it take turns.
#
#   run-in-shared-prefix.sh PROGRAM [ARG...]
#   source run-in-shared-prefix.sh   (defines take_prefix_lock only)
set -uo pipefail
: "${VRL_WINE:?}" "${VRL_WINEVM_STATE:?}"

take_prefix_lock() {
  local lock
  lock=${TMPDIR:-/tmp}/vrl-prefix-$(printf '%s' "$VRL_WINEVM_STATE" | md5sum | cut -c1-16).lock
  exec 9>"$lock"
  flock 9
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  take_prefix_lock
  exec "$VRL_WINE" -- "$@"
fi
