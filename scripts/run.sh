#!/usr/bin/env bash
# Runs Lanternquill against a simulated Mac, with the bundled reference lists served on loopback.
# Opens the main window when a display is available and prints the headless report otherwise.
#   scripts/run.sh [--system-root DIR] [any other option of lanternquill]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh"
"$top/scripts/build.sh" "$top/build" >/dev/null

portfile=$(mktemp)
"$top/build/tools/lq-refserver" --root "$top/reference" --port 0 --port-file "$portfile" >/dev/null &
server=$!
trap 'kill "$server" 2>/dev/null; rm -f "$portfile"' EXIT
for _ in $(seq 100); do [[ -s "$portfile" ]] && break; sleep 0.05; done
port=$(cat "$portfile")
if [[ -z "$port" ]]; then
  echo "run.sh: the local reference server did not start" >&2
  exit 1
fi
url="http://127.0.0.1:$port/"
app="$top/build/lanternquill"
[[ -x "$app" ]] || app="$top/build/Lanternquill.app/Contents/MacOS/Lanternquill"

if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" || "$(uname -s)" == Darwin ]]; then
  "$app" --reference-url "$url" "$@"
else
  "$app" --report --reference-url "$url" "$@"
fi
