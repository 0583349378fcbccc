#!/usr/bin/env python3
"""Says whether freshly refreshed reference lists are worth a commit.

    tools/refresh/publish_decision.py COMMITTED_DIR NEW_DIR [--max-age-days N]

Prints one word: "content" when a list differs in anything but its Published date (or is new),
"date" when only the dates moved and the committed sysupdates.plist's Published is more than N days
(default 7) behind the new one, and "none" otherwise.

Why a limit on the date's age: Published is SOFA's LastCheck, which moves on with nearly every
refresh. Committing for the date alone would mean a commit, and a copy to the published repository,
every six hours; never committing for it would leave a date that no longer says how fresh the data
is. With a week, the published date is never more than a week behind the last refresh that found
the same data.
"""

import argparse
import datetime
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_lists import LIST_NAMES, load_folder  # noqa: E402


def _without_dates(value):
    if isinstance(value, dict):
        return {k: v for k, v in value.items() if k != "Published"}
    if isinstance(value, list):
        return [_without_dates(row) for row in value]
    return value


def decide(committed, new, max_age):
    """"content", "date" or "none" for two {file name: decoded list} mappings."""
    for name in LIST_NAMES:
        if name not in committed or _without_dates(committed[name]) != _without_dates(new[name]):
            return "content"
    old_date = committed["sysupdates.plist"].get("Published")
    new_date = new["sysupdates.plist"]["Published"]
    if not isinstance(old_date, datetime.datetime) or new_date - old_date > max_age:
        return "date"
    return "none"


def main(argv):
    parser = argparse.ArgumentParser(description="Says whether refreshed lists are worth a commit.")
    parser.add_argument("committed")
    parser.add_argument("new")
    parser.add_argument("--max-age-days", type=float, default=7)
    args = parser.parse_args(argv)
    new, faults = load_folder(args.new)
    missing = [n for n in LIST_NAMES if n not in new]
    if faults or missing:
        for fault in faults + ["missing: " + n for n in missing]:
            print("publish_decision: %s: %s" % (args.new, fault), file=sys.stderr)
        return 1
    committed, _faults = load_folder(args.committed)  # a list that does not decode counts as changed
    print(decide(committed, new, datetime.timedelta(days=args.max_age_days)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
