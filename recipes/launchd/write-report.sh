#!/bin/sh
# Runs Lanternquill's headless JSON report and keeps the last good one in one file for osquery,
# Fleet and other scripts: /Library/Application Support/Lanternquill/last-report.json.
# LANTERNQUILL names the binary, LANTERNQUILL_REPORT the file, LANTERNQUILL_ARGS adds options
# (split at blanks). Exit status: the report's (0, 1 or 3, see lanternquill --help); when the run
# printed no report, the old file stays and the status is lanternquill's, or 70 if that was 0;
# 73 or 74 when the file cannot be written.

LANTERNQUILL=${LANTERNQUILL:-/Applications/Lanternquill.app/Contents/MacOS/Lanternquill}
LANTERNQUILL_ARGS=${LANTERNQUILL_ARGS:-}
target=${LANTERNQUILL_REPORT:-/Library/Application Support/Lanternquill/last-report.json}
folder=$(dirname "$target")

say() {
    printf '%s: %s\n' "$(date -u '+%Y-%m-%dT%H:%M:%SZ')" "$*" >&2
}

# True when the text $1 is a JSON object with a list of checks: osascript's JavaScript on a Mac (a
# stock Mac has neither jq nor python3), python3 elsewhere.
is_report() {
    if [ -x /usr/bin/osascript ]; then
        /usr/bin/osascript -l JavaScript -e '
function run(argv) {
    var checks = JSON.parse(argv[0]).checks;
    if (!Array.isArray(checks) || checks.length === 0) throw new Error("no checks in the report");
    return "ok";
}' "$1" >/dev/null 2>&1
    else
        printf '%s' "$1" | python3 -c '
import json, sys
checks = json.load(sys.stdin).get("checks")
sys.exit(0 if isinstance(checks, list) and checks else 1)
' 2>/dev/null
    fi
}

mkdir -p "$folder" || exit 73
# The new report is written beside the old one and renamed over it, so a reader never sees half a
# file, and a run that fails leaves the last good report in place.
scratch=$(mktemp "$folder/.last-report.XXXXXX") || exit 73
trap 'rm -f "$scratch"' EXIT
trap 'exit 143' TERM
trap 'exit 130' INT
trap 'exit 129' HUP

set -f # the options in LANTERNQUILL_ARGS are words, not patterns
# shellcheck disable=SC2086 # split on purpose
"$LANTERNQUILL" --report --json $LANTERNQUILL_ARGS >"$scratch"
status=$?
set +f

if ! is_report "$(cat "$scratch")"; then
    say "lanternquill printed no report (exit status $status); kept $target"
    [ "$status" -eq 0 ] && exit 70
    exit "$status"
fi
if ! chmod 644 "$scratch" || ! mv -f "$scratch" "$target"; then
    say "could not replace $target"
    exit 74
fi
scratch=""
say "wrote $target (exit status $status)"
exit "$status"
