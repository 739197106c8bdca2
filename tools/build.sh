#!/usr/bin/env bash
# Installs what the build and the client need when missing, then configures and
# builds into a build folder, showing the build's own progress.
#   tools/build.sh [--target NAME]... [build-dir] [extra cmake options...]
# --target builds only that target and what it needs (default: everything, the tests
# and benchmarks among them).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
targets=()
while [ "${1:-}" = "--target" ]; do
  targets+=(--target "${2:?--target needs a name}")
  shift 2
done
build="${1:-$root/build}"
shift || true

"$root/tools/install-deps.sh" --client
if [ ! -f "$build/build.ninja" ]; then
  echo "Configuring $build (a first build takes several minutes; later ones only what changed)"
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
elif [ $# -gt 0 ]; then
  cmake "$build" "$@" >/dev/null
fi
echo "Building in $build"
cmake --build "$build" "${targets[@]}"
