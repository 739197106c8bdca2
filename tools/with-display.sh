#!/usr/bin/env bash
# Runs a command on a virtual X server of its own (1280x1024, 24 bits) and stops the
# server when the command ends. The server picks a free display number itself
# (-displayfd), so two runs side by side never share a display: a number chosen
# beforehand (xvfb-run -a) can be taken by another run between the check and the start,
# and then one run's keys land in the other's windows.
#   tools/with-display.sh command [arguments...]
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: $0 command [arguments...]" >&2; exit 2; }

# On a fresh machine Xvfb comes with the client's packages.
command -v Xvfb >/dev/null 2>&1 || "$(dirname "$0")/install-deps.sh" --client

dir="$(mktemp -d "${TMPDIR:-/tmp}/velantra-display.XXXXXX")"
xvfb=""
stop()
{
  if [ -n "$xvfb" ]; then
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
  fi
  rm -rf "$dir"
}
trap stop EXIT
trap 'exit 130' INT TERM HUP

# -noreset: without it the server resets when its last client leaves, and a client
# started in that moment (the hostile run's clients, one after another) is refused.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$dir/display" >"$dir/xvfb.log" 2>&1 &
xvfb=$!
# The number is written once the server accepts clients.
for _ in $(seq 1 300); do
  grep -q . "$dir/display" 2>/dev/null && break
  kill -0 "$xvfb" 2>/dev/null || { cat "$dir/xvfb.log" >&2; echo "with-display: Xvfb did not start" >&2; exit 1; }
  sleep 0.1
done
grep -q . "$dir/display" || { echo "with-display: Xvfb gave no display in 30 s" >&2; exit 1; }
export DISPLAY=":$(head -n 1 "$dir/display")"
unset WAYLAND_DISPLAY

status=0
"$@" || status=$?
exit "$status"
