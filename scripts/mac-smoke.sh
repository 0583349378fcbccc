#!/usr/bin/env bash
# Smoke test on a real Mac: runs the headless report against this Mac with the reference lists of
# reference/ served on loopback, keeps the JSON, and judges it with scripts/mac-smoke.py.
#   scripts/mac-smoke.sh BUILD_DIR OUT.json [--system-root DIR]
# With --system-root it judges a simulated Mac instead (how the script itself is tested on Linux).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
if (($# != 2 && $# != 4)) || { (($# == 4)) && [[ "$3" != --system-root ]]; }; then
  echo "usage: mac-smoke.sh BUILD_DIR OUT.json [--system-root DIR]" >&2
  exit 2
fi
build=$1
out=$2
root=/
if (($# == 4)); then
  root=$4
fi

# On a Mac the bundle with Qt deployed into it (the dmg target's), else the one in the build folder; on
# Linux the plain executable.
app=
for candidate in "$build/dist/Lanternquill.app/Contents/MacOS/Lanternquill" \
  "$build/Lanternquill.app/Contents/MacOS/Lanternquill" "$build/lanternquill"; do
  if [[ -x "$candidate" ]]; then
    app=$candidate
    break
  fi
done
if [[ -z "$app" ]]; then
  echo "mac-smoke.sh: no lanternquill built in $build" >&2
  exit 1
fi

portfile=$(mktemp)
"$build/tools/lq-refserver" --root "$top/reference" --port 0 --port-file "$portfile" >/dev/null &
server=$!
trap 'kill "$server" 2>/dev/null; rm -f "$portfile"' EXIT
for _ in $(seq 100); do [[ -s "$portfile" ]] && break; sleep 0.05; done
port=$(cat "$portfile")
if [[ -z "$port" ]]; then
  echo "mac-smoke.sh: the local reference server did not start" >&2
  exit 1
fi

echo "== $app --report --json (root $root)"
status=0
"$app" --report --json --system-root "$root" --reference-url "http://127.0.0.1:$port/" >"$out" || status=$?
# 1 (a check failed) and 3 (a check could not be judged) are verdicts on the Mac, not faults of the
# application; the report is judged below all the same.
if ((status != 0 && status != 1 && status != 3)); then
  echo "mac-smoke.sh: lanternquill exited with status $status" >&2
  exit 1
fi
python3 "$top/scripts/mac-smoke.py" "$out" --root "$root"
