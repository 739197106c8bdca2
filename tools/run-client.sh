#!/usr/bin/env bash
# Installs what the build and the client need when missing (no test tools), builds the
# client and the simulator (not the tests: they build with tools/run-tests.sh, in the
# same build folder), and starts the client. On a fresh machine the first run installs
# the packages and builds (several minutes, each step shown); later runs start at once.
# When no timing server listens on 127.0.0.1:6002, a local simulator is started first
# and stopped again when the client ends, so the client has someone to talk to.
# Without a display it says how to run on a virtual one (Xvfb comes with the packages).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/tools/build.sh" --target velantra-remote --target velantra-timing-sim "$root/build"

client="$root/build/src/velantra-remote"
sim="$root/build/tools/velantra-timing-sim"

# As the client judges it (Qt's -platform argument aside): asked here, after the install
# that brought Xvfb, so the command below works as printed.
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ] && [[ " $* " != *" -platform "* ]]; then
  echo "There is no display to open the client's window on (DISPLAY and WAYLAND_DISPLAY are not set)." >&2
  echo "Run it from a desktop session, or on a virtual display of its own (Xvfb; nobody sees it there):" >&2
  echo "  $(dirname "$0")/with-display.sh $0${*:+ $*}" >&2
  exit 2
fi

listening() { nc -z -w 1 127.0.0.1 6002 >/dev/null 2>&1; }

sim_pid=""
stop_sim() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
}
trap stop_sim EXIT
trap 'exit 130' INT TERM

if ! listening; then
  echo "No timing server on 127.0.0.1:6002: starting the simulator (its messages follow)."
  "$sim" --address 127.0.0.1 --port 6002 </dev/null &
  sim_pid=$!
  for _ in $(seq 50); do
    listening && break
    kill -0 "$sim_pid" 2>/dev/null || { echo "The simulator did not start." >&2; sim_pid=""; break; }
    sleep 0.1
  done
fi

status=0
"$client" "$@" || status=$?
exit "$status"
