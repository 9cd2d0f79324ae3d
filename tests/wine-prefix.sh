# Sourced by the script tests that change the guest's shared Wine prefix.
#   wine PROGRAM [ARG...]   runs a program in the guest (VRL_WINE)
#   windows_path UNIX-PATH  the same file as a Z: path
#   lock_prefix             waits until no other such test is changing the
#                           prefix of this guest; holds it until the script ends
: "${VRL_WINE:?}" "${VRL_WINEVM_STATE:?}"

windows_path() { local unix=$1; printf 'Z:%s' "${unix//\//\\}"; }
wine() { "$VRL_WINE" -- "$@"; }
lock_prefix() {
  local lock
  lock=${TMPDIR:-/tmp}/vrl-prefix-$(printf '%s' "$VRL_WINEVM_STATE" | md5sum | cut -c1-16).lock
  exec 9>"$lock"
  flock 9
}
