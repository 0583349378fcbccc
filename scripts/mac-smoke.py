#!/usr/bin/env python3
"""Judges what `lanternquill --report --json` said about a Mac against what that Mac itself says.

    scripts/mac-smoke.py REPORT.json [--root DIR]

With the root "/" (the default) the Mac is this one: its model identifier comes from
`sysctl -n hw.model`, its version from `sw_vers`, and `spctl --status` and `fdesetup status` are run
again here. With another root (a simulated Mac) the same facts come from that root's IORegistry.plist,
SystemVersion.plist and stub tools, so the checks themselves can be tried anywhere.

It fails (exit 1, one line per fault) unless
- the report is one JSON object with the report, window title, alerts and status fields, and no text in
  it holds a NUL;
- the model field names the Mac's model identifier;
- the window title and the report name the Mac's macOS version and build as `sw_vers` gives them;
- every status field is judged, or unknown with a reason: with a "checks" array, each check has a
  state, and an "unknown" one a reason; without it, each status text is filled in and not still
  "Checking…" (the display field stays empty when no Studio Display is connected);
- the report quotes what `spctl --status` and `fdesetup status` print here, so the real tools ran.
"""

import argparse
import json
import os
import plistlib
import subprocess
import sys

STATUS_KEYS = ["model", "firmware", "xprotect", "xprotectRemediator", "tcc", "kextExcludeList", "xprScans",
               "sip", "gatekeeper", "fileVault", "updates", "display", "displayFirmware"]
# Empty when no Studio Display is connected: the window hides the field then.
MAY_BE_EMPTY = {"display"}
# The tools whose first line of output the report quotes.
QUOTED_TOOLS = [("/usr/sbin/spctl", ["--status"]), ("/usr/bin/fdesetup", ["status"])]


def run(argv):
    return subprocess.run(argv, capture_output=True, text=True, timeout=120, check=False).stdout


def mac_facts(root):
    """The model identifier, the macOS version and its build, as the Mac under `root` gives them."""
    if root == "/":
        return (run(["sysctl", "-n", "hw.model"]).strip(), run(["sw_vers", "-productVersion"]).strip(),
                run(["sw_vers", "-buildVersion"]).strip())
    with open(os.path.join(root, "IORegistry.plist"), "rb") as f:
        model = plistlib.load(f)["IOPlatformExpertDevice"]["model"]
    if isinstance(model, bytes):
        model = model.rstrip(b"\0").decode("utf-8")
    with open(os.path.join(root, "System/Library/CoreServices/SystemVersion.plist"), "rb") as f:
        version = plistlib.load(f)
    return model, version["ProductVersion"], version["ProductBuildVersion"]


def tool_lines(root):
    """The first line each quoted tool prints on the Mac under `root`."""
    lines = []
    for path, args in QUOTED_TOOLS:
        output = run([os.path.join(root, path.lstrip("/")) if root != "/" else path] + args)
        lines.append((os.path.basename(path), output.strip().splitlines()[0] if output.strip() else ""))
    return lines


def strings_in(value):
    if isinstance(value, str):
        yield value
    elif isinstance(value, dict):
        for key, item in value.items():
            yield key
            yield from strings_in(item)
    elif isinstance(value, list):
        for item in value:
            yield from strings_in(item)


def judge_checks(checks):
    faults = []
    if not isinstance(checks, list) or not checks:
        return ["checks is not a list of checks"]
    for index, check in enumerate(checks):
        name = check.get("id", check.get("name", index)) if isinstance(check, dict) else index
        if not isinstance(check, dict):
            faults.append("check %s is not an object" % name)
            continue
        state = check.get("state")
        if not isinstance(state, str) or not state:
            faults.append("check %s has no state" % name)
        elif state == "unknown" and not (isinstance(check.get("reason"), str) and check["reason"].strip()):
            faults.append("check %s is unknown without a reason" % name)
    return faults


def judge_status_texts(status):
    faults = []
    for key in STATUS_KEYS:
        text = status.get(key)
        if not isinstance(text, str):
            faults.append("status field %s is missing" % key)
        elif "Checking" in text:
            faults.append("status field %s was still being checked: %r" % (key, text))
        elif not text.strip() and key not in MAY_BE_EMPTY:
            faults.append("status field %s is empty: neither judged nor said to be unknown" % key)
    return faults


def judge(document, model, version, build, tools):
    """Every fault of `document` against the Mac's facts, as lines of text."""
    if not isinstance(document, dict):
        return ["the output is not a JSON object"]
    faults = []
    for key, kind in [("report", str), ("windowTitle", str), ("alerts", list), ("status", dict)]:
        if not isinstance(document.get(key), kind):
            faults.append("%s is missing or not a %s" % (key, kind.__name__))
    if faults:
        return faults
    if any("\0" in text for text in strings_in(document)):
        faults.append("a text of the report holds a NUL")
    status = document["status"]
    report = document["report"]

    if not model or "\0" in model:
        faults.append("this Mac's model identifier could not be read")
    elif not (isinstance(status.get("model"), str) and status["model"].endswith(model)):
        faults.append("model %r does not name this Mac's %r" % (status.get("model"), model))

    version_text = "macOS Version %s (Build %s)" % (version, build)
    if not document["windowTitle"].endswith(version_text):
        faults.append("window title %r does not end with %r" % (document["windowTitle"], version_text))
    if version_text not in report.splitlines():
        faults.append("the report has no line %r" % version_text)

    if "checks" in document:
        faults += judge_checks(document["checks"])
    else:
        faults += judge_status_texts(status)

    for tool, line in tools:
        if not line:
            faults.append("%s printed nothing here" % tool)
        elif line not in report:
            faults.append("the report does not quote %s: %r" % (tool, line))
    return faults


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("report", help="the output of lanternquill --report --json")
    parser.add_argument("--root", default="/", help="the Mac the report judged (default: this one)")
    args = parser.parse_args()
    with open(args.report, encoding="utf-8") as f:
        try:
            document = json.load(f)
        except ValueError as error:
            print("mac-smoke: %s is not JSON: %s" % (args.report, error))
            return 1
    model, version, build = mac_facts(args.root)
    faults = judge(document, model, version, build, tool_lines(args.root))
    if isinstance(document, dict) and isinstance(document.get("status"), dict):
        for key, text in document["status"].items():
            print("  %-18s %s" % (key, text))
        for alert in document.get("alerts") or []:
            print("  alert: %s" % alert)
    for fault in faults:
        print("mac-smoke: " + fault)
    print("mac-smoke: %s" % ("FAILED" if faults else "passed"))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
