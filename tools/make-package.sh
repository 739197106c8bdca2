#!/usr/bin/env bash
# Builds the Debian package of the client (velantra-remote_<version>_<arch>.deb)
# in the build folder, and prints its path.
#   tools/make-package.sh [build-dir]      (default: build/)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"

"$root/tools/install-deps.sh" --package >&2
"$root/tools/build.sh" "$build" >&2
rm -f "$build"/velantra-remote_*.deb
log="$build/cpack.log"
if ! (cd "$build" && cpack -G DEB) >"$log" 2>&1; then
  cat "$log" >&2
  exit 1
fi
ls "$build"/velantra-remote_*.deb
