#!/usr/bin/env python3
"""Writes the benchmark inputs into a folder: install histories and scanner logs of several sizes.

    bench/make_inputs.py OUTDIR

The same seed gives the same bytes on every run, so figures from different runs compare like for
like. The files look like the bundled simulated Macs' own (sim/intel-t2): an install history mixing
the five kinds of security data with system updates, Safari and apps, and `log show --style json`
output of the scanner's structured events.
"""

import datetime
import json
import os
import plistlib
import random
import sys

HISTORY_SIZES = (2000, 20000)
LOG_SIZES = (7000, 70000)

SECURITY_DATA = (
    # name, weight, process, package identifier stem
    ("XProtectPlistConfigData", 30, "softwareupdated", "com.apple.pkg.XProtectPlistConfigData_10_15"),
    ("XProtectPayloads", 12, "softwareupdated", "com.apple.pkg.XProtectPayloads_10_15"),
    ("MRTConfigData", 6, "softwareupdated", "com.apple.pkg.MRTConfigData_10_15"),
    ("Incompatible Kernel Extension Configuration Data", 8, "softwareupdated",
     "com.apple.pkg.IncompatibleKernelExtensionConfigData"),
    ("TCC Configuration Data", 6, "softwareupdated", "com.apple.pkg.TCCConfigData"),
)
APPS = ("Keynote", "Pages", "Numbers", "Xcode", "Zoom", "Python", "Command Line Tools for Xcode",
        "GarageBand", "iMovie", "Slack", "Final Cut Pro", "Logic Pro")
MACOS = ("macOS Ventura", "macOS Sonoma", "macOS Sequoia")


def history_entry(rng, when):
    roll = rng.randrange(100)
    entry = {}
    if roll < 62:
        weights = [w for _, w, _, _ in SECURITY_DATA]
        name, _, process, stem = rng.choices(SECURITY_DATA, weights)[0]
        version = str(rng.randrange(2000, 5400))
        # The TCC data sometimes carries more text around its name.
        if name.startswith("TCC") and rng.randrange(4) == 0:
            name = "TCC Configuration Data " + rng.choice(("13", "14", "Update"))
        entry["contentType"] = "config-data"
        packages = [f"{stem}.16U{rng.randrange(4000, 9999)}"]
    elif roll < 72:
        base = rng.choice(MACOS)
        version = f"{13 + MACOS.index(base)}.{rng.randrange(8)}.{rng.randrange(4)}"
        name = f"{base} {version}"
        process = "softwareupdated"
        packages = [f"com.apple.pkg.update.os.{version}.{rng.randrange(10**6):06d}"]
    elif roll < 80:
        name = "Safari"
        version = f"{rng.randrange(15, 19)}.{rng.randrange(7)}"
        process = "softwareupdated"
        packages = [f"com.apple.pkg.Safari{version.split('.')[0]}", "com.apple.pkg.SafariTechPreview"]
    else:
        name = rng.choice(APPS)
        version = f"{rng.randrange(1, 16)}.{rng.randrange(10)}.{rng.randrange(10)}"
        process = rng.choice(("appstoreagent", "Installer", "installer"))
        packages = [] if process == "appstoreagent" else [
            f"com.example.pkg.{name.replace(' ', '')}.{i}" for i in range(rng.randrange(1, 4))]
    entry["date"] = when
    entry["displayName"] = name
    entry["displayVersion"] = version
    entry["packageIdentifiers"] = packages
    entry["processName"] = process
    return entry


def write_history(outdir, count, seed):
    rng = random.Random(seed)
    when = datetime.datetime(2015, 1, 1, 8, 0, 0)
    entries = []
    for _ in range(count):
        # Mostly increasing, as the system appends; now and then two at the same second.
        when += datetime.timedelta(seconds=rng.choice((0, rng.randrange(600, 4 * 86400))))
        entries.append(history_entry(rng, when))
    for fmt, suffix in ((plistlib.FMT_XML, "xml"), (plistlib.FMT_BINARY, "bin")):
        path = os.path.join(outdir, f"InstallHistory-{count}-{suffix}.plist")
        with open(path, "wb") as out:
            plistlib.dump(entries, out, fmt=fmt, sort_keys=True)


SCANNERS = ("Adload", "BadGacha", "BlueTop", "CardboardCutout", "ColdSnap", "Crapyrator", "Dolittle",
            "Eicar", "FloppyFlipper", "Genieo", "GreenAcre", "KeySteal", "MRTv3", "Pirrit",
            "RankStank", "RedPine", "RoachFlight", "SheepSwap", "SnowDrift", "Trovi", "WaterNet")


def event_message(rng):
    roll = rng.randrange(1000)
    duration = round(rng.uniform(0.01, 9.0), 5)
    if roll < 900:
        fields = {"status_message": "NoThreatDetected", "status_code": 20}
    elif roll < 940:
        fields = {"status_message": "Success", "status_code": 0}
    elif roll < 960:
        fields = {"status_message": "Success", "status_code": 31}
    elif roll < 975:
        fields = {"status_message": "ErrorScanFailed", "status_code": 12, "action": "scan"}
    elif roll < 985:
        fields = {"status_message": "ErrorScanFailed", "status_code": 5, "action": "report"}
    elif roll < 993:
        fields = {"status_message": "ThreatDetected", "status_code": 23, "action": "remediate"}
    elif roll < 997:
        return "Plugin finished without a structured report"
    else:
        fields = {"status_message": "Success", "status_code": 23}
    message = {"execution_duration": duration, **fields, "caused_by": []}
    return json.dumps(message, separators=(",", ":"))


def log_event(rng, index, start):
    scanner = rng.choice(SCANNERS)
    image = f"/Library/Apple/System/Library/CoreServices/XProtect.app/Contents/MacOS/XProtectRemediator{scanner}"
    uuid = "%08X-%04X-%04X-%04X-%012X" % (rng.getrandbits(32), rng.getrandbits(16), rng.getrandbits(16),
                                          rng.getrandbits(16), rng.getrandbits(48))
    moment = start + datetime.timedelta(microseconds=index * 1234567 + rng.randrange(1000))
    offset = rng.randrange(100000, 400000)
    values = [
        ("timezoneName", ""), ("messageType", "Default"), ("eventType", "logEvent"), ("source", None),
        ("formatString", "%{public}s"), ("userID", 0), ("activityIdentifier", 0),
        ("subsystem", "com.apple.XProtectFramework.PluginAPI"), ("category", "XPEvent.structured"),
        ("threadID", rng.randrange(100000, 999999)), ("senderImageUUID", uuid),
        ("backtrace", {"frames": [{"imageOffset": offset, "imageUUID": uuid}]}),
        ("bootUUID", "D0BCAA4C-4AE6-5CB8-9DC1-FE0C7110C436"), ("processImagePath", image),
        ("senderImagePath", image), ("timestamp", moment.strftime("%Y-%m-%d %H:%M:%S.%f") + "+0200"),
        ("machTimestamp", 365306334564000 + index * 1234567000), ("eventMessage", event_message(rng)),
        ("processImageUUID", uuid), ("traceID", rng.getrandbits(52)),
        ("processID", rng.randrange(100, 99999)), ("senderProgramCounter", offset),
        ("parentActivityIdentifier", 0),
    ]
    lines = []
    for key, value in values:
        if key == "backtrace":
            frame = value["frames"][0]
            text = ("{\n    \"frames\" : [\n      {\n        \"imageOffset\" : %d,\n"
                    "        \"imageUUID\" : \"%s\"\n      }\n    ]\n  }" % (frame["imageOffset"], frame["imageUUID"]))
        else:
            # The tool escapes forward slashes, as the real output shows.
            text = json.dumps(value, ensure_ascii=False).replace("/", "\\/")
        lines.append(f"  \"{key}\" : {text}")
    return "{\n" + ",\n".join(lines) + "\n}"


def write_log(outdir, count, seed):
    rng = random.Random(seed)
    start = datetime.datetime(2026, 8, 23, 0, 0, 0)
    path = os.path.join(outdir, f"log-xpr-{count}.json")
    with open(path, "w", encoding="utf-8") as out:
        out.write("[" + ",".join(log_event(rng, i, start) for i in range(count)) + "]\n")


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_inputs.py OUTDIR")
    outdir = sys.argv[1]
    os.makedirs(outdir, exist_ok=True)
    for count in HISTORY_SIZES:
        write_history(outdir, count, seed=count)
    for count in LOG_SIZES:
        write_log(outdir, count, seed=count)


if __name__ == "__main__":
    main()
