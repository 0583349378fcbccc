#!/usr/bin/env bash
# Validates a folder of reference lists before they are published.
#
#   scripts/validate-reference.sh DIR [--app BUILD/lanternquill [--via-server [--refserver PATH]]]
#
# Every list must decode as a property list and have the shape its readers expect
# (tools/refresh/check_lists.py). With --app the application reads them as well: a headless JSON
# report of every bundled simulated Mac (sim/*, not _common) against the lists at a file:// address.
# Each report must be valid (tools/validate_report.py), every list in its reference.lists must have
# been read ("ok"), and a list's Published date, where the report gives it, must be the one in DIR.
# --via-server serves DIR on loopback with lq-refserver (default: BUILD/tools/lq-refserver) instead
# of the file:// address.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

usage() {
  echo "usage: scripts/validate-reference.sh DIR [--app BUILD/lanternquill [--via-server [--refserver PATH]]]" >&2
  exit 2
}
dir=""
app=""
via_server=false
refserver=""
while (($#)); do
  case $1 in
  --app) (($# >= 2)) || usage; app=$(realpath "$2"); shift 2 ;;
  --via-server) via_server=true; shift ;;
  --refserver) (($# >= 2)) || usage; refserver=$(realpath "$2"); shift 2 ;;
  -*) usage ;;
  *) [[ -z "$dir" ]] || usage; dir=$1; shift ;;
  esac
done
[[ -n "$dir" && -d "$dir" ]] || usage
dir=$(realpath "$dir")
if [[ -z "$app" ]] && { $via_server || [[ -n "$refserver" ]]; }; then
  usage
fi

echo "== the lists in $dir"
python3 "$top/tools/refresh/check_lists.py" "$dir"
[[ -n "$app" ]] || exit 0
[[ -x "$app" ]] || { echo "validate-reference.sh: $app is not a program" >&2; exit 2; }

scratch=$(mktemp -d)
server_pid=""
cleanup() {
  [[ -z "$server_pid" ]] || kill "$server_pid" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

if $via_server; then
  refserver=${refserver:-$(dirname "$app")/tools/lq-refserver}
  [[ -x "$refserver" ]] || { echo "validate-reference.sh: $refserver is not a program" >&2; exit 2; }
  "$refserver" --root "$dir" --port 0 --port-file "$scratch/port" >/dev/null 2>&1 &
  server_pid=$!
  for _ in $(seq 200); do
    [[ -s "$scratch/port" ]] && break
    sleep 0.05
  done
  [[ -s "$scratch/port" ]] || { echo "validate-reference.sh: lq-refserver did not start" >&2; exit 1; }
  url="http://127.0.0.1:$(cat "$scratch/port")/"
else
  # A file:// address with every character that needs it escaped (a space in the path, say).
  url=$(python3 -c 'import pathlib, sys; print(pathlib.Path(sys.argv[1]).as_uri() + "/")' "$dir")
fi

echo "== the application's reading of them, at $url"
export QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=$scratch/config
failures=0
macs=0
for root in "$top"/sim/*/; do
  name=$(basename "$root")
  [[ "$name" == _* ]] && continue
  macs=$((macs + 1))
  report=$scratch/$name.json
  # 0, 1 and 3 are reports (passed, a check failed, a check not judged); anything else is not.
  status=0
  timeout 360 "$app" --report --json --system-root "$top/sim/$name" --reference-url "$url" \
    >"$report" 2>"$scratch/$name.err" || status=$?
  if [[ $status == 2 ]]; then
    # A usage error: every Mac would fail the same way (an application that takes no file:// address
    # yet, say).
    echo "FAIL  $name: the application refused its options: $(head -n 1 "$scratch/$name.err")"
    exit 1
  elif [[ $status != 0 && $status != 1 && $status != 3 ]]; then
    echo "FAIL  $name: exit status $status"
    sed 's/^/      /' "$scratch/$name.err"
    failures=$((failures + 1))
    continue
  fi
  if ! python3 "$top/tools/validate_report.py" "$report" >"$scratch/$name.faults" 2>&1; then
    echo "FAIL  $name: the report is not valid"
    sed 's/^/      /' "$scratch/$name.faults"
    failures=$((failures + 1))
    continue
  fi
  if out=$(python3 - "$report" "$dir" "$url" <<'EOF'
import json, os, plistlib, sys

with open(sys.argv[1], encoding="utf-8") as stream:
    reference = json.load(stream)["reference"]
folder, url = sys.argv[2], sys.argv[3]
faults = []
if reference["baseUrl"] != url:
    faults.append("lists fetched from %s, not %s" % (reference["baseUrl"], url))
if not reference["lists"]:
    faults.append("no list read")
for entry in reference["lists"]:
    if entry["outcome"] != "ok":
        faults.append("%s: %s" % (entry["name"], entry["outcome"]))
    elif "published" in entry:
        with open(os.path.join(folder, entry["name"]), "rb") as stream:
            value = plistlib.load(stream)
        # A dictionary carries the date at its top, an array in every row (the same in each).
        published = (value if isinstance(value, dict) else value[0])["Published"].strftime("%Y-%m-%dT%H:%M:%SZ")
        if entry["published"] != published:
            faults.append("%s: published %s, the list says %s" % (entry["name"], entry["published"], published))
print("; ".join(faults) or ", ".join(entry["name"] for entry in reference["lists"]))
sys.exit(1 if faults else 0)
EOF
  ); then
    echo "ok    $name: $out"
  else
    echo "FAIL  $name: $out"
    failures=$((failures + 1))
  fi
done

if ((macs == 0)); then
  echo "validate-reference.sh: no simulated Mac under $top/sim" >&2
  exit 1
fi
if ((failures)); then
  echo "validate-reference.sh: $failures of $macs simulated Macs failed"
  exit 1
fi
echo "validate-reference.sh: the application read every list on all $macs simulated Macs"
