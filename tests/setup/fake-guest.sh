# Sourced by the setup tests that need a process to play a guest's machine.
#
#   fake_guest STATE [BASH-SCRIPT]
#
# starts, in the background, a process that passes for the guest of the state
# folder STATE: named qemu, with STATE's job folder on its kernel command line,
# as scripts/winevm/start gives it. It runs BASH-SCRIPT (by default it only
# waits); its pid is in fake_guest_pid, and its pid file is written.
: "${VRL_SOURCE:?}"
source "$VRL_SOURCE/scripts/winevm/host-functions"

fake_guest() {
  local state=$1 script=${2:-'while :; do sleep 0.2; done'} machine
  machine=$(mktemp -d "$PWD/fake-qemu.XXXXXX") || return 1
  ln -s "$(command -v bash)" "$machine/qemu-system-x86_64"
  encode "$state/jobs"
  "$machine/qemu-system-x86_64" -c "$script" fake-qemu -append "console=ttyS0 vrl.jobs=$REPLY" &
  fake_guest_pid=$!
  echo "$fake_guest_pid" >"$state/qemu.pid"
  # The link is not needed once the process runs.
  for _ in $(seq 1 50); do is_guest "$fake_guest_pid" "$state" && break; sleep 0.1; done
  rm -rf "$machine"
}
