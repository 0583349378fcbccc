#!/bin/sh
# Jamf Pro extension attribute: runs Lanternquill's headless report and prints one line,
#   <result>pass</result>                    nothing failed and nothing went wrong (exit status 0)
#   <result>fail: fileVault,xprotect</result>   the checks in state "fail"
#   <result>unknown: xprotect,mrt</result>   nothing failed, but these checks could not be judged
#                                            (exit status 3)
#   <result>unknown: lanternquill not run</result>   no binary, or it printed no report
#   <result>unknown: lanternquill exit status 139</result>   a report, but then a crash
# LANTERNQUILL names the binary; LANTERNQUILL_ARGS adds options, split at blanks
# (e.g. "--timeout 120" or, in tests, "--system-root DIR --reference-url URL").

LANTERNQUILL=${LANTERNQUILL:-/Applications/Lanternquill.app/Contents/MacOS/Lanternquill}
LANTERNQUILL_ARGS=${LANTERNQUILL_ARGS:-}

result() {
    printf '<result>%s</result>\n' "$1"
    exit 0
}

# Prints one line per check, "id<TAB>state<TAB>reason", from the JSON report in $1; fails when $1
# is not a report. A stock Mac has neither jq nor python3, but every macOS has JavaScript for
# Automation (osascript -l JavaScript) with a JSON parser; elsewhere (the tests on Linux) python3
# does the same.
list_checks() {
    if [ -x /usr/bin/osascript ]; then
        /usr/bin/osascript -l JavaScript -e '
function run(argv) {
    var clean = function (value) { return String(value === undefined ? "" : value).replace(/\s+/g, " "); };
    var checks = JSON.parse(argv[0]).checks;
    if (!Array.isArray(checks) || checks.length === 0) throw new Error("no checks in the report");
    return checks.map(function (c) { return [clean(c.id), clean(c.state), clean(c.reason)].join("\t"); }).join("\n");
}' "$1" 2>/dev/null
    else
        printf '%s' "$1" | python3 -c '
import json, re, sys
checks = json.load(sys.stdin).get("checks")
if not isinstance(checks, list) or not checks:
    sys.exit("no checks in the report")
clean = lambda value: re.sub(r"\s+", " ", str("" if value is None else value))
for check in checks:
    print("\t".join(clean(check.get(key)) for key in ("id", "state", "reason")))
' 2>/dev/null
    fi
}

[ -x "$LANTERNQUILL" ] || result "unknown: lanternquill not run"
set -f # the options in LANTERNQUILL_ARGS are words, not patterns
# shellcheck disable=SC2086 # split on purpose
report=$("$LANTERNQUILL" --report --json $LANTERNQUILL_ARGS 2>/dev/null)
status=$?
set +f
checks=$(list_checks "$report") || result "unknown: lanternquill not run"

failed=""
unknown=""
unjudged=""
tab=$(printf '\t')
while IFS=$tab read -r id state reason; do
    case $state in
    fail) failed=${failed:+$failed,}$id ;;
    unknown)
        unknown=${unknown:+$unknown,}$id
        # Checks without a published value to compare with are unknown on every Mac and do not
        # make the exit status 3; naming them would hide the checks that did.
        case $reason in
        "no published value" | "not checked") ;;
        *) unjudged=${unjudged:+$unjudged,}$id ;;
        esac
        ;;
    esac
done <<EOF
$checks
EOF

[ -n "$failed" ] && result "fail: $failed"
case $status in
0) result pass ;;
3) result "unknown: ${unjudged:-${unknown:-lanternquill exit status 3}}" ;;
# A report followed by a crash or an unexpected status is no pass.
*) result "unknown: lanternquill exit status $status" ;;
esac
