# Sourced first by the scripts that run Windows programs (demo, package,
# test, bench):   runner_session "$0" "$@"
# runs the script again as a session of the runner, which stops whatever the
# runner booted or started for it when it ends, however it ends.
runner_session() {
  [ "${VRL_RUNNER_SESSION_SCRIPT:-}" = "$1" ] ||
    exec /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")" session -- "$@"
}
