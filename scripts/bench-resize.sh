#!/usr/bin/env bash
# Builds and runs the resize benchmark with OpenCV's cv::resize side by side (single thread),
# then prints each case's time ratio per build (ours / OpenCV; below 1 means faster). Installs OpenCV and
# Google Benchmark itself; OpenCV is never part of the test build.
set -euo pipefail
cd "$(dirname "$0")/.."
need=()
dpkg -s libopencv-dev >/dev/null 2>&1 || need+=(libopencv-dev)
dpkg -s libbenchmark-dev >/dev/null 2>&1 || need+=(libbenchmark-dev)
if [ ${#need[@]} -gt 0 ]; then
  apt-get update
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${need[@]}"
fi
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTRELVIX_WITH_UI=OFF -DTRELVIX_TESTS=OFF \
  -DTRELVIX_BENCH=ON >/dev/null
cmake --build build-bench --target bench_resize
out=build-bench/bench_resize.json
# One core: CPU when given, else the idlest of those this process may use over a second (not the
# first, which takes most interrupts); repetitions interleaved at random so a busy moment of the machine does not fall on
# one side only. The benchmark first checks every build's output against the generic build's and
# exits non-zero on a difference, which ends this script.
if [ -n "${CPU:-}" ]; then
  cpu=$CPU
else
  cpu=$(python3 - <<'PY'
import os, time
allowed = os.sched_getaffinity(0)
def idle():
    out = {}
    for line in open("/proc/stat"):
        f = line.split()
        if f[0].startswith("cpu") and f[0] != "cpu":
            out[int(f[0][3:])] = int(f[4]) + int(f[5])
    return out
a = idle(); time.sleep(1.0); b = idle()
cores = [c for c in b if c in allowed and c != 0] or sorted(allowed)
print(max(cores, key=lambda c: (b[c] - a.get(c, 0), c)))
PY
)
fi
echo "pinned to cpu $cpu"
taskset -c "$cpu" build-bench/bench/bench_resize --benchmark_repetitions="${REPS:-7}" \
  --benchmark_enable_random_interleaving=true --benchmark_min_time="${MIN_TIME:-0.3}" \
  --benchmark_report_aggregates_only=true --benchmark_out="$out" --benchmark_out_format=json "$@"
python3 - "$out" <<'PY'
import json, sys
runs = json.load(open(sys.argv[1]))["benchmarks"]
med = {b["run_name"]: b["real_time"] for b in runs if b.get("aggregate_name") == "median"}
if not med:
    med = {b["name"]: b["real_time"] for b in runs}
builds = sorted({n.rsplit("/", 1)[1] for n in med} - {"opencv"}, key=lambda b: (b != "generic", b))
print("\n%-45s %-8s %12s %12s %8s" % ("case", "build", "ours", "opencv", "ratio"))
for name in sorted({n.rsplit("/", 1)[0] for n in med}):
    b = med.get(name + "/opencv")
    for build in builds:
        a = med.get(name + "/" + build)
        if a and b:
            print("%-45s %-8s %12.1f %12.1f %8.2f" % (name, build, a, b, a / b))
PY
