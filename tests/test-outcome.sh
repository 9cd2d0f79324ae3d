# The outcome of a test script, sourced by it: `fail` prints a failure and
# counts it, and `end_test_with NAME` makes the script end, however it ends,
# by calling its `cleanup` (when it has one), printing "NAME: PASS" when
# nothing failed, and exiting with the number of failures. An interrupted
# script counts as failed.

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

end_test_with() {
  test_name=$1
  trap finish_test EXIT
  trap 'fail "interrupted"; exit' INT TERM
}

finish_test() {
  if declare -F cleanup >/dev/null; then cleanup; fi
  [ "$failures" -eq 0 ] && echo "$test_name: PASS"
  exit "$failures"
}
