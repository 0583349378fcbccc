#!/usr/bin/env bash
# Builds the benchmarks into build-bench/ and prints one table of Lanternquill's figures beside its
# peers' (see bench/run.py for what is measured).
#   bench/run.sh
#   bench/run.sh --record-event-loop-baseline   (records the probe's figures of this commit instead)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build="$top/build-bench"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLQ_WERROR=ON -DLQ_BENCH=ON >/dev/null
ninja -C "$build" -j2 lanternquill lq-refserver lq-bench lq-bench-memory lq-minimal-qt >/dev/null
if [[ "${1:-}" == --record-event-loop-baseline ]]; then
  exec python3 "$top/bench/record_event_loop_baseline.py" "$build"
fi
python3 "$top/bench/run.py" "$build"
