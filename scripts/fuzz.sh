#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a short time (seconds: $1).
# Seeds live in tests/fuzz/corpus/<target>/; a crash found becomes a kept test case there.
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-10}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTRELVIX_WITH_UI=OFF -DTRELVIX_TESTS=OFF -DCMAKE_UNITY_BUILD=ON -DTRELVIX_FUZZ=ON -DTRELVIX_WERROR=ON -DTRELVIX_SANITIZE=fuzzer-no-link,address,undefined >/dev/null
# Only the fuzz targets and what they link: the tools and the program are not needed here.
targets=()
for src in tests/fuzz/fuzz_*.cpp; do targets+=("$(basename "$src" .cpp)"); done
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]}" > build-fuzz/build.log 2>&1 || { tail -50 build-fuzz/build.log; exit 1; }
shopt -s nullglob
for f in build-fuzz/fuzz/fuzz_*; do
  name=$(basename "$f")
  corpus=tests/fuzz/corpus/${name#fuzz_}
  work=build-fuzz/corpus-${name}
  mkdir -p "$work"
  [ -d "$corpus" ] && cp -n "$corpus"/* "$work"/ 2>/dev/null || true
  echo "-- $name (${secs}s)"
  "$f" -max_total_time="$secs" -rss_limit_mb=2048 -print_final_stats=0 "$work" >"build-fuzz/$name.log" 2>&1 || {
    tail -40 "build-fuzz/$name.log"; echo "fuzz target $name failed"; exit 1; }
done
echo "fuzz: all targets clean"
