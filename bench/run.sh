#!/usr/bin/env bash
# Builds the benchmarks into build-bench/ and prints one table of Lanternquill's figures beside its
# peers' (see bench/run.py for what is measured).
#   bench/run.sh
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build="$top/build-bench"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLQ_WERROR=ON -DLQ_BENCH=ON >/dev/null
ninja -C "$build" -j2 lanternquill lq-refserver lq-bench lq-bench-memory lq-minimal-qt >/dev/null
python3 "$top/bench/run.py" "$build"
