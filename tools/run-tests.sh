#!/usr/bin/env bash
# Installs what is missing (the client's packages and the test tools), builds, and
# runs the whole test suite.
#   tools/run-tests.sh              the normal build (build/)
#   tools/run-tests.sh --sanitize   with AddressSanitizer and UBSan (build-asan/)
# In CI (CI=true) warnings are errors and tests that need a service fail instead of skipping.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

build="$root/build"
options=()
if [ "${1:-}" = "--sanitize" ]; then
  build="$root/build-asan"
  options+=(-DVELANTRA_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
fi
if [ "${CI:-}" = "true" ]; then
  options+=(-DVELANTRA_WERROR=ON)
  export VELANTRA_REQUIRE_SERVICES=1
fi

"$root/tools/install-deps.sh" --tests
"$root/tools/build.sh" "$build" "${options[@]}"

# Services some tests use (a printer, a sound server): the run's own, in a temporary
# folder, started when they can be and stopped when the run ends, however it ends.
services="$(mktemp -d "${TMPDIR:-/tmp}/velantra-services.XXXXXX")"
service_pids=()
stop_services()
{
  local pid
  for pid in "${service_pids[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$services"
}
trap stop_services EXIT
trap 'exit 130' INT TERM HUP
for setup in "$root"/tests/services/*.sh; do
  source "$setup"
done

cd "$build"
# One virtual X server of the run's own for the tests that need a real one; the rest run offscreen.
"$root/tools/with-display.sh" ctest --output-on-failure --timeout 300 -j2
