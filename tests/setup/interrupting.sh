# Sourced by the tests that interrupt a long script as a terminal would:
# how long an interrupted run may take to end, the count of failures, and
# the steps of an interruption.
readonly limit_seconds=10
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
runner() { /usr/bin/python3 "$VRL_SOURCE/scripts/runner" "$@"; }

# start_foreground LOG COMMAND...: starts COMMAND, its output in LOG, as a
# terminal's foreground job would run it (a background job of a script
# starts with the interrupt ignored, which no script can trap): in a process
# group of its own, with the interrupt's default. Its pid goes in $started.
start_foreground() {
  local log=$1
  shift
  /usr/bin/python3 -c 'import os, signal, sys; signal.signal(signal.SIGINT, signal.SIG_DFL); os.setsid(); os.execv(sys.argv[1], sys.argv[1:])' \
    "$@" >"$log" 2>&1 &
  started=$!
}

# wait_for_line LOG PATTERN PID: waits until LOG has a line matching PATTERN
# (grep -E), or PID has ended; succeeds when the line came.
wait_for_line() {
  local i
  for ((i = 0; i < 3000; i++)); do
    grep -qE "$2" "$1" && return 0
    kill -0 "$3" 2>/dev/null || break
    sleep 0.1
  done
  grep -qE "$2" "$1"
}

# interrupt_and_wait NAME PID SIGNAL WHOLE-GROUP: sends SIGNAL to PID's
# process group (WHOLE-GROUP = group) or to PID alone, waits for it to end,
# and fails when it takes longer than limit_seconds or exits 0. Its exit code
# goes in $ended_with.
interrupt_and_wait() {
  local name=$1 pid=$2 number=$3 group=$4 began i
  ended_with=0
  began=$SECONDS
  if [ "$group" = group ]; then kill -"$number" -- -"$pid"; else kill -"$number" "$pid"; fi
  for ((i = 0; i < limit_seconds * 10 + 100; i++)); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$pid" 2>/dev/null && { fail "$name: it still runs"; kill -KILL -- -"$pid"; }
  wait "$pid" || ended_with=$?
  echo "$name: ended after $((SECONDS - began)) s with exit code $ended_with"
  [ $((SECONDS - began)) -le "$limit_seconds" ] || fail "$name: it took $((SECONDS - began)) s to end"
  [ "$ended_with" -ne 0 ] || fail "$name: the interrupted run exited 0"
}
