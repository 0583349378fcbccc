#!/usr/bin/env bash
# Configures and builds into a build folder: scripts/build.sh BUILD_DIR [cmake options…]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$1
shift
export CCACHE_BASEDIR="$top"
if [[ ! -f "$build/build.ninja" ]]; then
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
else
  cmake "$build" "$@" >/dev/null
fi
ninja -C "$build" -j"$(nproc)"
