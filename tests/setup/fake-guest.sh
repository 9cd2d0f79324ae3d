# Sourced by the setup tests that need a process to play a guest's machine.
#
#   fake_guest STATE [BASH-SCRIPT]
#
# starts, in the background, a process that passes for the guest of the state
# folder STATE: named qemu, with STATE's job folder on its kernel command line,
# as the runner boots it. It runs BASH-SCRIPT (by default it only waits); its
# pid is in fake_guest_pid, and its pid file is written.
#   is_guest PID STATE   whether the runner takes PID for STATE's guest
: "${VRL_SOURCE:?}"

runner() { /usr/bin/python3 "$VRL_SOURCE/scripts/runner" "$@"; }
# encoded PATH: PATH as it travels on the guest's kernel command line.
encoded() {
  /usr/bin/python3 -c 'import sys; sys.path.insert(0, sys.argv[1]); import processes; print(processes.encode(sys.argv[2]))' \
    "$VRL_SOURCE/scripts/runner" "$1"
}
is_guest() {
  /usr/bin/python3 -c 'import sys; sys.path.insert(0, sys.argv[1]); import processes
guest = processes.guest_process(int(sys.argv[2]))
sys.exit(0 if guest and processes.same_folder(guest.jobs, sys.argv[3] + "/jobs") else 1)' "$VRL_SOURCE/scripts/runner" "$1" "$2"
}

fake_guest() {
  local state=$1 script=${2:-'while :; do sleep 0.2; done'} machine
  machine=$(mktemp -d "$PWD/fake-qemu.XXXXXX") || return 1
  ln -s "$(command -v bash)" "$machine/qemu-system-x86_64"
  "$machine/qemu-system-x86_64" -c "$script" fake-qemu -append "console=ttyS0 vrl.jobs=$(encoded "$state/jobs")" &
  fake_guest_pid=$!
  echo "$fake_guest_pid" >"$state/qemu.pid"
  # The link is not needed once the process runs.
  for _ in $(seq 1 50); do is_guest "$fake_guest_pid" "$state" && break; sleep 0.1; done
  rm -rf "$machine"
}
