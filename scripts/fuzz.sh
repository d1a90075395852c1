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
# One target: its seeds copied to a work corpus, then fuzzed for the given time.
run_one() {
  local f=$1 secs=$2 name corpus work
  name=$(basename "$f")
  corpus=tests/fuzz/corpus/${name#fuzz_}
  work=build-fuzz/corpus-${name}
  mkdir -p "$work"
  [ -d "$corpus" ] && cp -n "$corpus"/* "$work"/ 2>/dev/null || true
  echo "-- $name (${secs}s)"
  "$f" -max_total_time="$secs" -rss_limit_mb=2048 -print_final_stats=0 "$work" >"build-fuzz/$name.log" 2>&1 || {
    tail -40 "build-fuzz/$name.log"; echo "fuzz target $name failed"; return 1; }
}
export -f run_one
# As many targets at once as there are cores.
targets_built=(build-fuzz/fuzz/fuzz_*)
[ ${#targets_built[@]} -gt 0 ] || { echo "fuzz: no targets were built"; exit 1; }
printf '%s\n' "${targets_built[@]}" | xargs -P "$(nproc)" -I{} bash -c 'run_one "$1" "$2"' _ {} "$secs" ||
  { echo "fuzz: a target failed"; exit 1; }
echo "fuzz: all targets clean"
