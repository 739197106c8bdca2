#!/usr/bin/env bash
# Installs what is missing, builds, and starts the client.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/tools/build.sh" "$root/build" >/dev/null
exec "$root/build/src/velantra-remote" "$@"
