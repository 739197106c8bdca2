#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build-fuzz/) and runs each for a bounded
# time from its seed corpus. Fails on any crash, failed check, leak or sanitizer
# report; the input that caused it is kept in build-fuzz/artifacts/.
#   tools/run-fuzz.sh [seconds per target]     (default 60, as in CI)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
build="$root/build-fuzz"
targets=(fuzz_protocol fuzz_settings fuzz_wav fuzz_rolling_text)

"$root/tools/install-deps.sh"
if [ ! -f "$build/build.ninja" ]; then
  CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELANTRA_FUZZ=ON
fi
cmake --build "$build"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$build/artifacts"

failed=()
for target in "${targets[@]}"; do
  # The seeds are copied: what the run finds stays out of the repository.
  mkdir -p "$work/$target"
  cp "$root/tests/fuzz/corpus/$target"/* "$work/$target"/
  log="$work/$target.log"
  if "$build/tests/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 -timeout=30 \
       -rss_limit_mb=2048 -artifact_prefix="$build/artifacts/$target-" "$work/$target" >"$log" 2>&1; then
    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
    corpus="$(ls "$work/$target" | wc -l)"
    echo "$target: ${runs:-?} runs in ${seconds} s, corpus ${corpus} inputs, no failure"
  else
    echo "$target: FAILED; its log ends:"
    tail -n 40 "$log"
    failed+=("$target")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing failed: ${failed[*]} (inputs in $build/artifacts/)"
  exit 1
fi
echo "fuzzing: ${#targets[@]} targets, no failure"
