#!/usr/bin/env bash
# Runs a Windows program in the guest while holding the lock of the guest's
# prefix, which the script tests that change it take as well.
#
#   run-in-shared-prefix.sh PROGRAM [ARG...]
set -uo pipefail
source "$(dirname "$0")/wine-prefix.sh"
lock_prefix
exec "$VRL_WINE" -- "$@"
