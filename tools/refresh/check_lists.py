#!/usr/bin/env python3
"""Checks the shape of a folder of reference lists, as the application and its older readers take them.

    tools/refresh/check_lists.py DIR

Every list must be there and decode as an XML or binary property list; sysupdates.plist is a
dictionary of strings with the keys the application reads, the other lists are arrays of
dictionaries with the keys their readers match on. Every list carries the one Published date of
its refresh: at the top of the dictionary, in every row of the arrays. Exit status 0 when all is
well, 1 with one fault a line otherwise.

refresh_reference.py runs the same checks on what it built before it writes anything.
"""

import datetime
import os
import plistlib
import re
import sys
import xml.parsers.expat

FAMILIES = ["iMacPro", "iMac", "MacBookPro", "MacBookAir", "MacBook", "MacPro", "Macmini"]
LIST_NAMES = ["sysupdates.plist", "applesilicon.plist", "brindledapps.plist"] + [f + ".plist" for f in FAMILIES]

NUMERIC = re.compile(r"^\d+(\.\d+)*$")
# The keys every sysupdates list carries. XProtect15, XPremed and MRT must hold a version; the
# others may be empty (the application then shows no verdict for them).
SYSUPDATES_REQUIRED = ["XProtect15", "XPremed", "MRT", "StudioDisplay"] + [
    "%s%d" % (k, n) for k in ("TCC", "KEXT") for n in (15, 16, 17, 18)]
SYSUPDATES_VERSIONS = ["XProtect15", "XPremed", "MRT"]
# Further keys a list may carry: one TCC/KEXT value per OS version code, and the newest release of
# each macOS major version.
SYSUPDATES_OPTIONAL = re.compile(r"^(TCC|KEXT)\d+$|^macOS(\d+)$")
ROW_KEYS = {
    "applesilicon.plist": {"MacModel": r"^\S+$", "iBootversion": NUMERIC.pattern},
    "brindledapps.plist": {"AppName": r"^\S.*$", "Version": NUMERIC.pattern, "URL": r"^https://\S+$"},
}
for _family in FAMILIES:
    ROW_KEYS[_family + ".plist"] = {"MacModel": r"^%s\d+,\d+$" % _family, "EFIversion": NUMERIC.pattern}


def check_lists(lists):
    """The faults of a {file name: decoded list} mapping, one string each; empty when all is well."""
    faults = []
    missing = [n for n in LIST_NAMES if n not in lists]
    if missing:
        faults.append("missing: " + ", ".join(missing))
    dates = set()
    for name in LIST_NAMES:
        if name in lists:
            faults += ["%s: %s" % (name, f) for f in _check_one(name, lists[name], dates)]
    if len(dates) > 1:
        faults.append("the lists carry different Published dates: " + ", ".join(sorted(d.isoformat() for d in dates)))
    return faults


def _published(where, value, dates):
    if not isinstance(value, datetime.datetime):
        return ["%s: Published is %r, not a date" % (where, value)]
    dates.add(value)
    return []


def _check_one(name, value, dates):
    if name == "sysupdates.plist":
        return _check_sysupdates(value, dates)
    if not isinstance(value, list) or not value:
        return ["not a non-empty array"]
    faults = []
    keys = ROW_KEYS[name]
    for i, row in enumerate(value):
        where = "row %d" % i
        if not isinstance(row, dict):
            faults.append(where + ": not a dictionary")
            continue
        extra = set(row) - set(keys) - {"Published"}
        if extra:
            faults.append("%s: unexpected keys %s" % (where, ", ".join(sorted(extra))))
        if "Published" not in row:
            faults.append(where + ": no Published date")
        else:
            faults += _published(where, row["Published"], dates)
        for key, pattern in keys.items():
            if not isinstance(row.get(key), str) or not re.match(pattern, row[key]):
                faults.append("%s: %s is %r" % (where, key, row.get(key)))
    if name[:-len(".plist")] in FAMILIES and not faults:
        models = [tuple(int(n) for n in re.findall(r"\d+", r["MacModel"])) for r in value]
        if models != sorted(set(models), reverse=True):
            faults.append("rows are not one per model, newest model first")
    return faults


def _check_sysupdates(value, dates):
    if not isinstance(value, dict):
        return ["not a dictionary"]
    faults = []
    missing = [k for k in SYSUPDATES_REQUIRED if k not in value]
    if missing:
        faults.append("missing keys " + ", ".join(missing))
    if "Published" not in value:
        faults.append("no Published date")
    for key, item in sorted(value.items()):
        if key == "Published":
            faults += _published(key, item, dates)
            continue
        optional = SYSUPDATES_OPTIONAL.match(key)
        if key not in SYSUPDATES_REQUIRED and not optional:
            faults.append("unknown key " + key)
        elif not isinstance(item, str):
            faults.append("%s is %r, not a string" % (key, item))
        elif key in SYSUPDATES_VERSIONS and not NUMERIC.match(item):
            faults.append("%s is %r, not a version" % (key, item))
        elif optional and optional.group(2) and not (
                NUMERIC.match(item) and item.split(".")[0] == optional.group(2)):
            faults.append("%s is %r, not a macOS %s version" % (key, item, optional.group(2)))
    return faults


def load_folder(folder):
    """{file name: decoded list} for the lists in folder, and the faults of those that do not decode."""
    lists, faults = {}, []
    for name in LIST_NAMES:
        path = os.path.join(folder, name)
        if not os.path.exists(path):
            continue
        try:
            with open(path, "rb") as f:
                lists[name] = plistlib.load(f)
        except (plistlib.InvalidFileException, xml.parsers.expat.ExpatError, ValueError, OSError) as error:
            faults.append("%s: not a property list (%s)" % (name, error))
    return lists, faults


def main(argv):
    if len(argv) != 1:
        print("usage: check_lists.py DIR", file=sys.stderr)
        return 2
    lists, faults = load_folder(argv[0])
    faults += check_lists(lists)
    for fault in faults:
        print("check_lists: " + fault, file=sys.stderr)
    if not faults:
        print("check_lists: %d lists in %s are well formed" % (len(lists), argv[0]))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
