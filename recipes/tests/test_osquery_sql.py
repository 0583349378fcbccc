#!/usr/bin/env python3
"""The queries of recipes/osquery/last-report.sql, run by SQLite (the engine osquery embeds) on
tables shaped like osquery's `file` and `time` and fleetd's `parse_json`, filled from the sample
reports. This checks the SQL and its logic; the tables are models of the real ones (parse_json's
rows as Fleet's flattening makes them: path elements joined by "/", arrays by index, values as text).

    python3 -m unittest recipes/tests/test_osquery_sql.py
"""

import json
import os
import re
import sqlite3
import unittest

TOP = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
REPORT = "/Library/Application Support/Lanternquill/last-report.json"
NOW = 1_787_565_600


def sample(name):
    with open(os.path.join(TOP, "tests", "fixtures", "report-json", name + ".json"), encoding="utf-8") as stream:
        return json.load(stream)


def queries():
    with open(os.path.join(TOP, "recipes", "osquery", "last-report.sql"), encoding="utf-8") as stream:
        text = stream.read()
    statements = [part.strip() for part in re.split(r";\s*$", text, flags=re.MULTILINE) if "SELECT" in part]
    assert len(statements) == 3, statements
    return statements


def flattened(value, path=()):
    if isinstance(value, dict):
        for key, inner in value.items():
            yield from flattened(inner, path + (key,))
    elif isinstance(value, list):
        for index, inner in enumerate(value):
            yield from flattened(inner, path + (str(index),))
    else:
        text = ("true" if value else "false") if isinstance(value, bool) else str(value)
        yield "/".join(path), "/".join(path[:-1]), path[-1], text


def database(report=None, age=3600):
    db = sqlite3.connect(":memory:")
    db.execute("CREATE TABLE file (path TEXT, size INTEGER, mtime INTEGER)")
    db.execute("CREATE TABLE time (unix_time INTEGER)")
    db.execute("CREATE TABLE parse_json (path TEXT, fullkey TEXT, parent TEXT, key TEXT, value TEXT)")
    db.execute("INSERT INTO time VALUES (?)", (NOW,))
    if report is not None:
        db.execute("INSERT INTO file VALUES (?, ?, ?)", (REPORT, len(json.dumps(report)), NOW - age))
        db.executemany("INSERT INTO parse_json VALUES (?, ?, ?, ?, ?)",
                       [(REPORT, *row) for row in flattened(report)])
        # Another JSON file on the Mac must not leak into the answers.
        db.executemany("INSERT INTO parse_json VALUES (?, ?, ?, ?, ?)",
                       [("/tmp/other.json", *row) for row in flattened(sample("failing"))])
    return db


class Queries(unittest.TestCase):
    def test_freshness(self):
        freshness = queries()[0]
        rows = database(sample("healthy"), age=7200).execute(freshness).fetchall()
        self.assertEqual(len(rows), 1)
        self.assertEqual(rows[0][0], REPORT)
        self.assertEqual(rows[0][-1], 7200)
        self.assertEqual(database().execute(freshness).fetchall(), [])

    def test_checks_that_need_a_look(self):
        for name in ("healthy", "failing", "offline", "timed-out"):
            with self.subTest(name):
                report = sample(name)
                expected = [(check["id"], check["state"], check.get("reason", ""))
                            for check in report["checks"] if check["state"] in ("fail", "warning", "unknown")]
                rows = database(report).execute(queries()[1]).fetchall()
                self.assertEqual(sorted(rows), sorted(expected))
                self.assertTrue(expected)

    def test_policy_passes_only_on_a_fresh_report_without_failures(self):
        policy = queries()[2]
        cases = [("healthy", 3600, 1), ("offline", 3600, 1), ("healthy", 3 * 86400, 0),
                 ("failing", 3600, 0), ("timed-out", 3600, 0), (None, 0, 0)]
        for name, age, rows in cases:
            with self.subTest(f"{name}, {age} s old"):
                db = database(sample(name) if name else None, age=age)
                self.assertEqual(len(db.execute(policy).fetchall()), rows)


if __name__ == "__main__":
    unittest.main()
