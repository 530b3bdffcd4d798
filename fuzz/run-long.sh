#!/bin/sh
# Builds the fuzz targets (clang, -DOSTREVIN_FUZZ=ON, in build-fuzz/) and runs
# each for SECONDS on its seed corpus plus a working corpus, JOBS at a time.
# Usage: fuzz/run-long.sh SECONDS [JOBS]   (JOBS defaults to 2)
# Environment: OSTREVIN_FUZZ_TARGETS="a_fuzz b_fuzz" to run only some targets;
#   OSTREVIN_FUZZ_NO_BUILD=1 to use the targets already built;
#   OSTREVIN_FUZZ_OPTIONS="..." for more libFuzzer options (for example
#   "-fork=1 -ignore_crashes=1" to go on past a known finding).
# New inputs go to build-fuzz/fuzz-work/<target>/, findings (crash-*, leak-*,
# timeout-*, oom-*) to build-fuzz/fuzz-findings/<target>/, logs beside them.
# Exits 1 when any target found something.
set -e
cd "$(dirname "$0")/.."
seconds=${1:?usage: fuzz/run-long.sh SECONDS [JOBS]}
jobs=${2:-2}
build=build-fuzz
all="pattern_command_fuzz text_stages_fuzz conversion_table_fuzz settings_store_fuzz scan_file_fuzz"
targets=${OSTREVIN_FUZZ_TARGETS:-$all}

if [ -z "$OSTREVIN_FUZZ_NO_BUILD" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$build" -DOSTREVIN_FUZZ=ON -DOSTREVIN_BUILD_APP=OFF \
    -DOSTREVIN_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  # shellcheck disable=SC2086
  cmake --build "$build" -j "$(nproc)" --target $targets
fi

# The settings store flushes each save to the disk: keep scratch files in memory.
[ -d /dev/shm ] && [ -w /dev/shm ] && export TMPDIR=/dev/shm
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export ASAN_OPTIONS=detect_leaks=1

# The engine's target and the table target run in fork mode, which goes on
# after an input that takes too long: a backtracking matcher takes
# exponential time on nested quantifiers ("m/(a+)+$/"); its work budget ends
# such searches, but under the fuzzer's instrumentation on a busy machine one
# may still pass the time limit, so such inputs are recorded (timeout-*,
# slow-unit-*) and reported but do not fail the run. Crashes, leaks, failed
# properties and running out of memory do fail it.
options_of() {
  case "$1" in
    pattern_command_fuzz) echo "-max_len=512 -timeout=10 -fork=1 -ignore_timeouts=1 -ignore_ooms=0" ;;
    conversion_table_fuzz) echo "-max_len=4096 -timeout=30 -fork=1 -ignore_timeouts=1 -ignore_ooms=0" ;;
    *) echo "-max_len=4096 -timeout=30" ;;
  esac
}

run_one() {
  t=$1
  work="$build/fuzz-work/$t"
  findings="$build/fuzz-findings/$t"
  log="$build/fuzz-findings/$t.log"
  mkdir -p "$work" "$findings"
  status=0
  # shellcheck disable=SC2046
  "$build/fuzz/$t" -max_total_time="$seconds" $(options_of "$t") -rss_limit_mb=3072 \
    $OSTREVIN_FUZZ_OPTIONS \
    -print_final_stats=1 -artifact_prefix="$findings/" "$work" "fuzz/corpus/$t" \
    >"$log" 2>&1 || status=$?
  # Fork mode prints no final statistics: take the last progress line's count.
  runs=$(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}')
  [ -n "$runs" ] || runs=$(grep -oE '^#[0-9]+' "$log" | tail -1 | tr -d '#')
  found=$(find "$findings" -type f ! -name 'timeout-*' ! -name 'slow-unit-*' | wc -l)
  slow=$(find "$findings" -type f -name 'timeout-*' | wc -l)
  echo "$t: ${runs:-?} executions in ${seconds}s, exit $status, $found finding(s), $slow slow input(s)"
  [ "$found" -eq 0 ] && { [ "$status" -eq 0 ] || [ "$slow" -gt 0 ]; }
}

failed=0
running=0
pids=""
for t in $targets; do
  run_one "$t" &
  pids="$pids $!"
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    for p in $pids; do wait "$p" || failed=1; done
    pids=""
    running=0
  fi
done
for p in $pids; do wait "$p" || failed=1; done
[ "$failed" -eq 0 ] || { echo "fuzzing found something: see $build/fuzz-findings/"; exit 1; }
