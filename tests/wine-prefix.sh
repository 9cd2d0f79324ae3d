# Sourced by the script tests that change the guest's shared Wine prefix.
#   wine PROGRAM [ARG...]   runs a program in the guest (VRL_WINE)
#   windows_path UNIX-PATH  the same file as a Z: path
#   lock_prefix             waits until no other such test is changing the
#                           prefix of this guest; holds it until the script
#                           ends. The lock lies in the guest's state folder (in
#                           the build folder), which every build folder that
#                           shares the guest shares too. A lock that cannot be
#                           taken ends the script.
: "${VRL_WINE:?}" "${VRL_WINEVM_STATE:?}"

windows_path() { local unix=$1; printf 'Z:%s' "${unix//\//\\}"; }
wine() { "$VRL_WINE" -- "$@"; }
lock_prefix() {
  local lock=$VRL_WINEVM_STATE/prefix.lock
  mkdir -p "$VRL_WINEVM_STATE" && exec 9>"$lock" && flock 9 ||
    { echo "FAIL: cannot take the lock of the guest's Wine prefix, $lock" >&2; exit 1; }
}
