#!/usr/bin/env bash
# The real client against a hostile timing server, under a virtual display: floods,
# binary, a 10 MB line without "%", hang-ups, resets, a server that never answers and
# many connect/disconnect cycles, driven through the window; it fails when the client
# dies, stops answering a click on Start, or grows in memory. Loopback only.
#   tools/hostile-server.sh            the short run (a minute or two; CI runs it)
#   tools/hostile-server.sh --long     longer floods, more data and cycles (by hand)
# Other options go to tools/hostile_server.py (--work DIR keeps the client's log,
# --screenshot FILE). VELANTRA_BUILD picks the build folder (default build/).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VELANTRA_BUILD:-$root/build}"
"$root/tools/install-deps.sh" --tests
"$root/tools/build.sh" "$build" >/dev/null
# The whole run, whatever happens inside it, has an end.
exec timeout --kill-after=10 "${VELANTRA_HOSTILE_TIMEOUT:-1800}" \
  "$root/tools/with-display.sh" python3 "$root/tools/hostile_server.py" --client "$build/src/velantra-remote" "$@"
