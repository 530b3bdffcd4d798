#!/bin/sh
# Installs what is missing, builds everything and runs every test.
# Usage: tools/test.sh [--sanitize]   (--sanitize: AddressSanitizer + UBSan build in build-asan/)
set -e
cd "$(dirname "$0")/.."
tools/deps.sh --app
build=build
flags=""
if [ "$1" = "--sanitize" ]; then
  build=build-asan
  flags="-DOSTREVIN_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug"
fi
cmake -S . -B "$build" $flags >/dev/null
cmake --build "$build" -j "$(nproc)"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
