#!/usr/bin/env bash
# Tests the fleet recipes in recipes/: the Jamf extension attribute, the LaunchDaemon and its script,
# and the osquery/Fleet queries.
#
#   recipes/test.sh                                  against the stand-in recipes/tests/fake-lanternquill
#   recipes/test.sh --app BUILD/lanternquill [--refserver BUILD/tools/lq-refserver]
#                                                    also against the real binary, on every bundled
#                                                    simulated Mac, with the reference lists served locally
#
# The stand-in covers what a healthy binary cannot show on demand: failed checks, unjudged checks,
# output that is not a report, a crash after the report, a missing binary, a slow run.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
fake=$top/recipes/tests/fake-lanternquill
ea=$top/recipes/jamf/extension-attribute.sh
writer=$top/recipes/launchd/write-report.sh
plist=$top/recipes/launchd/com.lanternquill.report.plist

app=""
refserver=""
while (($#)); do
  case $1 in
  --app) app=$(realpath "$2"); shift 2 ;;
  --refserver) refserver=$(realpath "$2"); shift 2 ;;
  *) echo "usage: recipes/test.sh [--app BUILD/lanternquill [--refserver BUILD/tools/lq-refserver]]" >&2; exit 2 ;;
  esac
done
if [[ -n "$app" && -z "$refserver" ]]; then
  refserver=$(dirname "$app")/tools/lq-refserver
fi
for program in ${app:+"$app" "$refserver"}; do
  [[ -x "$program" ]] || { echo "recipes/test.sh: $program is not a program" >&2; exit 2; }
done

scratch=$(mktemp -d)
server_pid=""
cleanup() {
  [[ -z "$server_pid" ]] || kill "$server_pid" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

failures=0
check() { # check WHAT GOT WANT
  if [[ "$2" == "$3" ]]; then
    echo "ok    $1"
  else
    printf 'FAIL  %s\n      got:  [%s]\n      want: [%s]\n' "$1" "$2" "$3"
    failures=$((failures + 1))
  fi
}
valid() { # valid WHAT FILE
  local out
  if out=$(python3 "$top/tools/validate_report.py" "$2" 2>&1); then
    check "$1" valid valid
  else
    check "$1" "$out" valid
  fi
}
leftovers() { # the temporary files write-report.sh left in folder $1
  find "$1" -name '.last-report.*' | wc -l
}

echo "== Jamf extension attribute, with the stand-in"
# report sample, its exit status, the one line the attribute must print
ea_cases=(
  "healthy 0 <result>pass</result>"
  "failing 1 <result>fail: xprotect,updates</result>"
  "timed-out 1 <result>fail: fileVault</result>"
  "offline 3 <result>unknown: xprotect,xprotectRemediator,mrt,firmware</result>"
  "healthy 3 <result>unknown: tcc,kextExcludeList</result>"
  "offline 0 <result>pass</result>"
  "healthy 139 <result>unknown: lanternquill exit status 139</result>"
  "text 0 <result>unknown: lanternquill not run</result>"
  "cut 134 <result>unknown: lanternquill not run</result>"
)
# On a Mac the recipes read JSON with osascript's JavaScript, elsewhere with python3. With Node.js at
# hand, copies that send the JavaScript to recipes/tests/osascript-node are tested as well.
parsers=("python3 $ea")
if command -v node >/dev/null; then
  for script in "$ea" "$writer"; do
    sed "s|/usr/bin/osascript|$top/recipes/tests/osascript-node|g" "$script" >"$scratch/javascript-$(basename "$script")"
  done
  check "the JavaScript copies call the stand-in osascript" \
    "$(cat "$scratch"/javascript-*.sh | grep -c "osascript-node")" 4
  parsers+=("javascript $scratch/javascript-$(basename "$ea")")
else
  echo "skip  the recipes' JavaScript (no node)"
fi
for parser in "${parsers[@]}"; do
  read -r parser_name script <<<"$parser"
  for shell in sh bash; do
    for case in "${ea_cases[@]}"; do
      read -r sample status want <<<"$case"
      got=$(FAKE_LQ_REPORT=$sample FAKE_LQ_STATUS=$status LANTERNQUILL=$fake LANTERNQUILL_ARGS="" "$shell" "$script")
      check "$parser_name, $shell: $sample, exit status $status" "$got" "$want"
    done
    got=$(LANTERNQUILL=$scratch/no-such-binary "$shell" "$script")
    check "$parser_name, $shell: binary missing" "$got" "<result>unknown: lanternquill not run</result>"
  done
done
# The options reach the binary as words, unglobbed (a pattern that matches files stays a pattern).
touch "$scratch/glob-a" "$scratch/glob-b"
got=$(FAKE_LQ_REPORT=healthy FAKE_LQ_ARGS=$scratch/args LANTERNQUILL=$fake \
  LANTERNQUILL_ARGS="--system-root $scratch/glob-* --reference-url http://127.0.0.1:9/" sh "$ea")
check "options passed on: result" "$got" "<result>pass</result>"
check "options passed on: arguments" "$(cat "$scratch/args")" \
  "$(printf '%s\n' --report --json --system-root "$scratch/glob-*" --reference-url http://127.0.0.1:9/)"

echo "== LaunchDaemon script, with the stand-in"
folder="$scratch/Application Support/Lanternquill"
target=$folder/last-report.json
samples=$top/tests/fixtures/report-json
write_script=$writer
write() { # write SAMPLE STATUS [more environment]: runs write-report.sh, prints its exit status
  local sample=$1 status=$2
  shift 2
  env FAKE_LQ_REPORT="$sample" FAKE_LQ_STATUS="$status" LANTERNQUILL="$fake" LANTERNQUILL_REPORT="$target" \
    "$@" sh "$write_script" 2>>"$scratch/writer.log" && echo 0 || echo $?
}
check "first report: exit status" "$(write healthy 0)" 0
check "first report: folder made, report written" "$(cmp "$target" "$samples/healthy.json" && echo same)" same
valid "first report: valid" "$target"
check "first report: readable by all" "$(stat -c %a "$target")" 644
check "new report replaces the old: exit status" "$(write failing 1)" 1
check "new report replaces the old: content" "$(cmp "$target" "$samples/failing.json" && echo same)" same
# Runs without a report: what the run was, its environment, the script's exit status.
no_report_cases=(
  "not JSON|FAKE_LQ_REPORT=text FAKE_LQ_STATUS=0|70"
  "cut short by a crash|FAKE_LQ_REPORT=cut FAKE_LQ_STATUS=134|134"
  "binary missing|LANTERNQUILL=$scratch/no-such-binary|127"
)
for case in "${no_report_cases[@]}"; do
  IFS='|' read -r what environment want <<<"$case"
  read -ra environment <<<"$environment"
  check "$what: exit status" "$(write healthy 0 "${environment[@]}")" "$want"
  check "$what: old report kept" "$(cmp "$target" "$samples/failing.json" && echo same)" same
done
check "no temporary file left behind" "$(leftovers "$folder")" 0

# A reader during a slow run still finds the whole old report, and the new one is being written
# beside it, in the same folder (so the rename is atomic).
env FAKE_LQ_REPORT=healthy FAKE_LQ_DELAY=2 LANTERNQUILL="$fake" LANTERNQUILL_REPORT="$target" \
  sh "$writer" 2>>"$scratch/writer.log" &
writer_pid=$!
for _ in $(seq 100); do
  [[ -n "$(find "$folder" -name '.last-report.*' -size +0)" ]] && break
  sleep 0.05
done
check "during a run: the new report is written in the same folder" "$(leftovers "$folder")" 1
check "during a run: the old report is whole" "$(cmp "$target" "$samples/failing.json" && echo same)" same
wait "$writer_pid" && status=0 || status=$?
check "after the run: exit status" "$status" 0
check "after the run: the new report" "$(cmp "$target" "$samples/healthy.json" && echo same)" same
check "after the run: no temporary file" "$(leftovers "$folder")" 0

# Stopped during a run (launchd sends SIGTERM): the old report stays and nothing is left behind.
env FAKE_LQ_REPORT=failing FAKE_LQ_DELAY=1 LANTERNQUILL="$fake" LANTERNQUILL_REPORT="$target" \
  sh "$writer" 2>>"$scratch/writer.log" &
writer_pid=$!
for _ in $(seq 100); do
  [[ -n "$(find "$folder" -name '.last-report.*' -size +0)" ]] && break
  sleep 0.05
done
kill -TERM "$writer_pid"
wait "$writer_pid" && status=0 || status=$?
check "stopped: exit status" "$status" 143
check "stopped: the old report stays" "$(cmp "$target" "$samples/healthy.json" && echo same)" same
check "stopped: no temporary file" "$(leftovers "$folder")" 0

if command -v node >/dev/null; then
  write_script=$scratch/javascript-$(basename "$writer")
  check "javascript: report written: exit status" "$(write failing 1)" 1
  check "javascript: report written" "$(cmp "$target" "$samples/failing.json" && echo same)" same
  check "javascript: not JSON: exit status" "$(write text 0)" 70
  check "javascript: cut short: exit status" "$(write cut 134)" 134
  check "javascript: old report kept" "$(cmp "$target" "$samples/failing.json" && echo same)" same
  write_script=$writer
fi

echo "== LaunchDaemon property list"
got=$(python3 - "$plist" "$writer" <<'EOF'
import os, plistlib, re, sys
with open(sys.argv[1], "rb") as stream:
    job = plistlib.load(stream)
with open(sys.argv[2], encoding="utf-8") as stream:
    report = re.search(r"^target=\$\{LANTERNQUILL_REPORT:-(.*)\}$", stream.read(), re.MULTILINE).group(1)
when = job.get("StartCalendarInterval", {})
faults = []
if job.get("Label") + ".plist" != os.path.basename(sys.argv[1]):
    faults.append("Label is not the file name")
if job.get("ProgramArguments") != ["/bin/sh", os.path.join(os.path.dirname(report), "write-report.sh")]:
    faults.append("ProgramArguments do not run write-report.sh beside the report")
if set(when) != {"Hour", "Minute"} or not all(isinstance(when[k], int) and not isinstance(when[k], bool)
                                             for k in when) or not 0 <= when["Hour"] <= 23 or not 0 <= when["Minute"] <= 59:
    faults.append(f"StartCalendarInterval is not one time of day: {when}")
if job.get("RunAtLoad") is not False:
    faults.append("RunAtLoad is not false")
if "KeepAlive" in job:
    faults.append("KeepAlive would rerun the report at once")
print("; ".join(faults) or "a daily job")
EOF
)
check "com.lanternquill.report.plist" "$got" "a daily job"

echo "== osquery and Fleet queries"
if python3 "$top/recipes/tests/test_osquery_sql.py" -q 2>"$scratch/sql.log"; then
  check "last-report.sql" ok ok
else
  check "last-report.sql" "$(cat "$scratch/sql.log")" ok
fi

if [[ -n "$app" ]]; then
  echo "== with $app on the bundled simulated Macs"
  export XDG_CONFIG_HOME=$scratch/config QT_QPA_PLATFORM=offscreen
  # LANTERNQUILL_ARGS is split at blanks, so the roots are reached through a path without any.
  ln -s "$top/sim" "$scratch/sim"
  "$refserver" --root "$top/reference" --port 0 --port-file "$scratch/port" >/dev/null 2>&1 &
  server_pid=$!
  for _ in $(seq 200); do
    [[ -s "$scratch/port" ]] && break
    sleep 0.05
  done
  url="http://127.0.0.1:$(cat "$scratch/port")/"

  # What each bundled Mac must show. FileVault off on intel-catalina is the window's warning, which
  # fails nothing; apple-silicon-listed runs an old iBoot.
  declare -A expected=(
    [apple-silicon]="pass"
    [intel-t2]="fail xprotect"
    [intel-catalina]="pass"
    [apple-silicon-listed]="fail firmware"
    [intel-ssv-off]="fail ssv"
  )
  run_mac() { # run_mac NAME URL LABEL: the report, the attribute and the script on one Mac
    local name=$1 url=$2 label=$3 args status ea_line ea_want
    args="--system-root $scratch/sim/$name --reference-url $url"
    mkdir -p "$scratch/$label"
    LANTERNQUILL="$app" LANTERNQUILL_REPORT="$scratch/$label/last-report.json" LANTERNQUILL_ARGS="$args" \
      timeout 360 sh "$writer" 2>>"$scratch/writer.log" && status=0 || status=$?
    echo "$status" >"$scratch/$label/status"
    valid "$label: written report valid" "$scratch/$label/last-report.json"
    ea_line=$(LANTERNQUILL="$app" LANTERNQUILL_ARGS="$args" timeout 360 sh "$ea")
    # The line the attribute owes this report and exit status: the failed checks, else pass on 0,
    # else on 3 some of the unknown checks.
    ea_want=$(python3 - "$scratch/$label/last-report.json" "$status" "$ea_line" 2>/dev/null <<'EOF'
import json, sys
checks = json.load(open(sys.argv[1], encoding="utf-8"))["checks"]
status, line = int(sys.argv[2]), sys.argv[3]
failed = [c["id"] for c in checks if c["state"] == "fail"]
unknown = [c["id"] for c in checks if c["state"] == "unknown"]
if failed:
    print(f"<result>fail: {','.join(failed)}</result>" if status == 1 else f"exit status {status} with failed checks")
elif status == 0:
    print("<result>pass</result>")
elif status == 3:
    named = line.removeprefix("<result>unknown: ").removesuffix("</result>").split(",")
    print(line if unknown and set(named) <= set(unknown) else f"unknown: some of {unknown}")
else:
    print(f"exit status {status}")
EOF
) || ea_want="a report in $scratch/$label"
    check "$label: extension attribute" "$ea_line" "$ea_want"
    printf '%s\n' "$ea_line" >"$scratch/$label/ea"
  }
  for root in "$top"/sim/*/; do
    name=$(basename "$root")
    [[ "$name" == _* ]] && continue
    run_mac "$name" "$url" "$name"
    if [[ -n "${expected[$name]:-}" ]]; then
      read -r kind id <<<"${expected[$name]}"
      got=$(cat "$scratch/$name/ea")
      case $kind in
      pass) check "$name: a healthy Mac passes" "$got" "<result>pass</result>" ;;
      fail) check "$name: $id failed" "$(grep -Eo "fail: ([a-zA-Z]+,)*$id(,|<)" <<<"$got" >/dev/null && echo yes)" yes ;;
      esac
    fi
  done

  # With the reference server stopped, the healthy Mac cannot be judged: exit status 3, the lists
  # that failed named in the report, and the attribute says unknown.
  kill "$server_pid"
  wait "$server_pid" 2>/dev/null || true
  server_pid=""
  run_mac apple-silicon "$url" offline
  got=$(python3 2>/dev/null -c '
import json, sys
lists = json.load(open(sys.argv[1], encoding="utf-8"))["reference"]["lists"]
print("all failed" if lists and all(entry["outcome"] == "transportError" for entry in lists) else lists)
 ' "$scratch/offline/last-report.json") || got="no report"
  check "server stopped: exit status" "$(cat "$scratch/offline/status")" 3
  check "server stopped: every list a transport error" "$got" "all failed"
  check "server stopped: the attribute says unknown" "$(grep -c '^<result>unknown: [a-zA-Z,]*</result>$' "$scratch/offline/ea")" 1
fi

echo
if ((failures)); then
  echo "what write-report.sh said:"
  sed 's/^/      /' "$scratch/writer.log"
  echo "recipes/test.sh: $failures failed"
  exit 1
fi
echo "recipes/test.sh: all passed"
