#!/usr/bin/env bash
# The second README command: builds and runs every test.
#  1. the normal build and all tests (Qt windows offscreen);
#  2. AddressSanitizer + UndefinedBehaviorSanitizer over the engine tests;
#  3. ThreadSanitizer over the threaded tests;
#  4. each libFuzzer target for a short run.
# TRELVIX_QUICK=1 runs step 1 only.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)
start=$SECONDS
phase() { echo "== $1 (at $((SECONDS - start)) s)"; }
export QT_QPA_PLATFORM=offscreen

phase "build and test"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTRELVIX_TESTS=ON >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs" --timeout 300

if [ "${TRELVIX_QUICK:-0}" = "1" ]; then exit 0; fi

phase "AddressSanitizer + UndefinedBehaviorSanitizer (engine)"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTRELVIX_WITH_UI=OFF \
  -DTRELVIX_SANITIZE=address,undefined -DTRELVIX_TESTS=ON >/dev/null
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs" --timeout 600 -LE slow

phase "ThreadSanitizer (threaded tests)"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTRELVIX_WITH_UI=OFF \
  -DTRELVIX_SANITIZE=thread -DTRELVIX_TESTS=ON >/dev/null
cmake --build build-tsan -j"$jobs"
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp" \
  ctest --test-dir build-tsan --output-on-failure -j"$jobs" --timeout 600 -L threaded

phase "fuzz targets (short runs)"
scripts/fuzz.sh "${TRELVIX_FUZZ_SECONDS:-10}"
phase "all done"
