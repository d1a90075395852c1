#!/usr/bin/env bash
# The second README command: builds and runs every test.
#  1. the normal build (gcc, warnings as errors) and all tests (Qt windows offscreen), the
#     fuzz corpora replayed among them;
#  2. AddressSanitizer + UndefinedBehaviorSanitizer (clang) with the user interface, all tests;
#  3. ThreadSanitizer (gcc) with the user interface, the threaded and window tests;
#  4. each libFuzzer target for a short run.
# TRELVIX_QUICK=1 runs step 1 only. Builds use ccache when it is installed; CCACHE_BASEDIR makes
# clones in different folders share its hits.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
# Cores this process may use (taskset restricts them), not the machine's count.
jobs=$(nproc)
start=$SECONDS
phase() { echo "== $1 (at $((SECONDS - start)) s)"; }
export QT_QPA_PLATFORM=offscreen
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(dirname "$PWD")}"
# Debug information would otherwise tie each cached object to its clone's folder; four builds
# need more room than ccache's default.
export CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}" CCACHE_MAXSIZE="${CCACHE_MAXSIZE:-12G}"
# Unity builds (a folder's sources compiled a few to a file) cut each build to about a third;
# scripts/build.sh compiles every file on its own.
common=(-G Ninja -DTRELVIX_TESTS=ON -DTRELVIX_WERROR=ON -DCMAKE_UNITY_BUILD=ON -DCMAKE_UNITY_BUILD_BATCH_SIZE=8)
# Sanitizer builds: debug information with light optimisation, so the tests stay quick.
san=(-DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-g -O1" "-DCMAKE_C_FLAGS_DEBUG=-g -O1")

phase "build and test"
cmake -S . -B build "${common[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs" --timeout 300

if [ "${TRELVIX_QUICK:-0}" = "1" ]; then exit 0; fi

phase "AddressSanitizer + UndefinedBehaviorSanitizer (clang, with the user interface)"
CC=clang CXX=clang++ cmake -S . -B build-asan "${common[@]}" "${san[@]}" -DTRELVIX_WITH_UI=ON \
  -DTRELVIX_SANITIZE=address,undefined >/dev/null
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0" \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs" --timeout 600

phase "ThreadSanitizer (gcc, with the user interface)"
cmake -S . -B build-tsan "${common[@]}" "${san[@]}" -DTRELVIX_WITH_UI=ON -DTRELVIX_FUZZ_REPLAY=OFF \
  -DTRELVIX_SANITIZE=thread >/dev/null
cmake --build build-tsan -j"$jobs"
# Qt and libburn are not built with ThreadSanitizer: what they do inside themselves is ignored
# (ignore_noninstrumented_modules), and tests/tsan.supp names the Qt internals of the hand-overs
# through their queues; the project's own frames are never suppressed.
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ignore_noninstrumented_modules=1 suppressions=$PWD/tests/tsan.supp" \
  ctest --test-dir build-tsan --output-on-failure -j"$jobs" --timeout 600 -L 'threaded|ui'

phase "fuzz targets (short runs)"
scripts/fuzz.sh "${TRELVIX_FUZZ_SECONDS:-5}"
phase "all done"
