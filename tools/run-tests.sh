#!/usr/bin/env bash
# Installs what is missing (the client's packages and the test tools), builds, and
# runs the whole test suite.
#   tools/run-tests.sh              the normal build (build/)
#   tools/run-tests.sh --sanitize   with AddressSanitizer and UBSan (build-asan/)
#   tools/run-tests.sh --repeat N   the suites that need no X server N times in a row
#                                   (CI: 3), so a test that fails now and then is caught
# In CI (CI=true) warnings are errors and tests that need a service fail instead of skipping.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

build="$root/build"
options=()
repeat=1
while [ $# -gt 0 ]; do
  case "$1" in
    --sanitize)
      build="$root/build-asan"
      options+=(-DVELANTRA_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
      export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
      export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
      export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
      ;;
    --repeat) repeat="${2:?--repeat needs a count}"; shift ;;
    *) echo "usage: $0 [--sanitize] [--repeat N]" >&2; exit 2 ;;
  esac
  shift
done
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
ctest=("$root/tools/with-display.sh" ctest --output-on-failure --timeout 300 -j2)
# A failed run ends with the failed checks themselves, so that the last lines of a
# long log (all a CI page may show) say which test function failed and how.
failed_checks()
{
  echo "Failed checks:" >&2
  grep -hE '^(FAIL!|   (Actual|Expected|Loc))|QFATAL|ERROR: (Address|Undefined)' Testing/Temporary/LastTest*.log 2>/dev/null | tail -40 >&2
  return 1
}
if [ "$repeat" -gt 1 ]; then
  "${ctest[@]}" --label-exclude x11 --repeat "until-fail:$repeat" || failed_checks
  "${ctest[@]}" --label-regex x11 || failed_checks
else
  "${ctest[@]}" || failed_checks
fi
