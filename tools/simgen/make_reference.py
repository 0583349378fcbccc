#!/usr/bin/env python3
"""Writes the published reference lists under reference/.

    python3 tools/simgen/make_reference.py [--out DIR] [intel-efi-table.txt]

The Intel firmware lists come from the per-model EFI table taken from OpenCore's AppleModels
database (the project's sample intel-efi-versions-per-model-opencore-appledb-2026-08.txt; pass
its path, default /work/shared/samples/...). Every other value is written out below with the
source it comes from; reference/README.md tells the same story for readers of the lists.
"""

import os
import plistlib
import re
import sys

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
OUT = os.path.join(REPO, "reference")
DEFAULT_TABLE = "/work/shared/samples/intel-efi-versions-per-model-opencore-appledb-2026-08.txt"

# Current versions of the security data, per the SOFA feed snapshot of 2026-08-22
# (data/resources/xprotect.json) and the Studio Display report of 2026-06-01.
SYSUPDATES = {
    "XProtect15": "5356",     # com.apple.XProtect, released 2026-08-18 (same for every macOS)
    "XPremed": "157",         # com.apple.XProtectFramework.XProtect (XProtect Remediator)
    "MRT": "1.93",            # com.apple.MRT, unchanged since at least 2025-09
    # No public source states current TCC compatibility data or kext exclude list versions:
    # empty strings make the application show no verdict instead of a made-up one.
    "TCC15": "", "TCC16": "", "TCC17": "", "TCC18": "",
    "KEXT15": "", "KEXT16": "", "KEXT17": "", "KEXT18": "",
    "StudioDisplay": "17.0",  # "Display Firmware Version: Version 17.0 (Build 21A329)"
}

# Apple-silicon system firmware of the newest released macOS (Tahoe 26.6.2, 2026-08-17):
# mBoot-18000.161.10 per the firmware table of AsahiLinux/m1n1. Every Apple-silicon Mac that
# runs the latest macOS gets the same version, so one catch-all entry covers them all.
APPLE_SILICON = [{"MacModel": "other", "iBootversion": "18000.161.10"}]

BRINDLED_APPS = [{
    "AppName": "Lanternquill2",
    "Version": "2.0.0",
    "URL": "https://lanternquill.example.org/download/lanternquill-2.0.0.dmg",
}]

FAMILIES = ["iMacPro", "iMac", "MacBookPro", "MacBookAir", "MacBook", "MacPro", "Macmini"]
MODEL_RE = re.compile(r"^([A-Za-z]+)(\d+),(\d+)$")
NUMERIC_RE = re.compile(r"^\d+(\.\d+)+$")


def intel_families(table_path):
    families = {f: [] for f in FAMILIES}
    with open(table_path, encoding="utf-8") as f:
        for line in f:
            if line.startswith("#") or "|" not in line:
                continue
            cells = [c.strip() for c in line.split("|")]
            model, bios = cells[0], cells[1]
            m = MODEL_RE.match(model)
            if not m or m.group(1) not in families:
                continue  # e.g. Xserve: no list for it
            # Old letter-style ROM versions (MBP11.88Z...) cannot be compared as numbers.
            if not NUMERIC_RE.match(bios):
                continue
            families[m.group(1)].append((int(m.group(2)), int(m.group(3)), model, bios))
    out = {}
    for fam, rows in families.items():
        # Newest model first: "MacBookPro6,2" is a substring of "MacBookPro16,2", so a reader
        # that takes the first substring match still finds the right row this way.
        rows.sort(key=lambda r: (-r[0], -r[1]))
        out[fam] = [{"MacModel": model, "EFIversion": bios} for _a, _b, model, bios in rows]
    return out


def write(out, name, value):
    with open(os.path.join(out, name), "wb") as f:
        plistlib.dump(value, f, fmt=plistlib.FMT_XML, sort_keys=True)


def main():
    args = sys.argv[1:]
    out = OUT
    if args[:1] == ["--out"]:
        if len(args) < 2:
            sys.exit("usage: make_reference.py [--out DIR] [intel-efi-table.txt]")
        out = os.path.abspath(args[1])
        args = args[2:]
    if len(args) > 1:
        sys.exit("usage: make_reference.py [--out DIR] [intel-efi-table.txt]")
    table = args[0] if args else DEFAULT_TABLE
    families = intel_families(table)
    for fam, rows in families.items():
        if not rows:
            sys.exit("make_reference: no %s rows in %s" % (fam, table))
    os.makedirs(out, exist_ok=True)
    write(out, "sysupdates.plist", SYSUPDATES)
    write(out, "applesilicon.plist", APPLE_SILICON)
    write(out, "brindledapps.plist", BRINDLED_APPS)
    for fam, rows in families.items():
        write(out, fam + ".plist", rows)
        print("%-11s %2d models" % (fam, len(rows)))


if __name__ == "__main__":
    main()
