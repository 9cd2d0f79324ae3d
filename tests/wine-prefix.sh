# Sourced by the script tests that change the lane's shared Wine prefix.
#   wine PROGRAM [ARG...]   runs a program in the lane's Wine (VRL_WINE)
#   windows_path UNIX-PATH  the same file as a Z: path
#   lock_prefix             waits until no other such test is changing the
#                           lane's prefix; holds it until the script ends.
#                           A lock that cannot be taken ends the script.
: "${VRL_WINE:?}" "${VRL_SHARED_PREFIX_LOCK:?}"

windows_path() { local unix=$1; printf 'Z:%s' "${unix//\//\\}"; }
wine() { "$VRL_WINE" -- "$@"; }
lock_prefix() {
  local lock=$VRL_SHARED_PREFIX_LOCK
  exec 9>"$lock" && flock 9 ||
    { echo "FAIL: cannot take the lock of the lane's Wine prefix, $lock" >&2; exit 1; }
}
