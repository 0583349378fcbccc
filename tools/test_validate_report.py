#!/usr/bin/env python3
"""The report schema accepts the sample reports and rejects each broken one for its own fault only.

    python3 -m unittest tools/test_validate_report.py

The samples are in tests/fixtures/report-json/: whole valid documents (*.json) and a table of faults
(invalid-cases.json), each a valid sample with a few values set or deleted (JSON Pointers) and the
faults the schema must then report, as (pointer, schema keyword) pairs.
"""

import copy
import glob
import json
import os
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import validate_report  # noqa: E402

FIXTURES = os.path.join(validate_report.TOP, "tests", "fixtures", "report-json")
SCRIPT = os.path.join(validate_report.TOP, "tools", "validate_report.py")


def load(name):
    with open(os.path.join(FIXTURES, name), encoding="utf-8") as stream:
        return json.load(stream)


def steps(pointer):
    return [int(part) if part.isdigit() else part.replace("~1", "/").replace("~0", "~")
            for part in pointer.split("/")[1:]]


def pointer(path):
    return "".join("/" + str(step) for step in path)


def edited(document, case):
    document = copy.deepcopy(document)
    for target, value in case.get("set", {}).items():
        *parents, last = steps(target)
        node = document
        for step in parents:
            node = node[step]
        if isinstance(node, list) and last == len(node):
            node.append(value)
        else:
            node[last] = value
    for target in case.get("delete", []):
        *parents, last = steps(target)
        node = document
        for step in parents:
            node = node[step]
        del node[last]
    return document


class Samples(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.schema = validate_report.load_schema()

    def test_the_valid_samples_are_valid(self):
        names = sorted(os.path.basename(path) for path in glob.glob(os.path.join(FIXTURES, "*.json"))
                       if not path.endswith("invalid-cases.json"))
        self.assertGreaterEqual(len(names), 4)
        for name in names:
            with self.subTest(name):
                self.assertEqual(validate_report.faults(load(name), self.schema), [])

    def test_each_broken_sample_is_rejected_for_its_own_fault(self):
        for case in load("invalid-cases.json"):
            with self.subTest(case["name"]):
                document = edited(load(case["base"] + ".json"), case)
                found = validate_report.faults(document, self.schema)
                self.assertEqual(sorted((pointer(path), keyword) for path, keyword, _ in found),
                                 sorted(tuple(fault) for fault in case["faults"]),
                                 "\n".join(line for _, _, line in found))

    def test_text_that_is_not_one_json_document_is_rejected(self):
        good = json.dumps(load("healthy.json"))
        cases = {
            "nothing": "",
            "the text report": "Lanternquill report\n✅ SIP enabled.\n",
            "cut short": good[: len(good) // 2],
            "NaN": good.replace('"schemaVersion": 1', '"schemaVersion": NaN'),
            "a key twice": good.replace('"state": "pass"', '"state": "fail", "state": "pass"', 1),
        }
        for name, text in cases.items():
            with self.subTest(name):
                faults = validate_report.check_text(text, self.schema)
                self.assertEqual(len(faults), 1)
                self.assertTrue(faults[0].startswith("not a JSON document"), faults[0])
        self.assertEqual(validate_report.check_text(good, self.schema), [])


class CommandLine(unittest.TestCase):
    def run_script(self, *args, stdin=b""):
        return subprocess.run([sys.executable, SCRIPT, *args], input=stdin, capture_output=True, timeout=60)

    def test_exit_status_and_messages(self):
        healthy = load("healthy.json")
        broken = edited(healthy, {"set": {"/checks/7/state": "unknown", "/checks/0/reason": "not checked"}})
        with tempfile.TemporaryDirectory() as scratch:
            good_file = os.path.join(scratch, "good.json")
            bad_file = os.path.join(scratch, "bad.json")
            with open(good_file, "w", encoding="utf-8") as stream:
                json.dump(healthy, stream)
            with open(bad_file, "w", encoding="utf-8") as stream:
                json.dump(broken, stream)

            done = self.run_script(good_file)
            self.assertEqual(done.returncode, 0, done.stderr)

            done = self.run_script(good_file, bad_file)
            self.assertEqual(done.returncode, 1)
            lines = done.stderr.decode().splitlines()
            self.assertEqual(lines, [
                f"{bad_file}: checks[0] (sip, state pass): 'reason' must not be here",
                f"{bad_file}: checks[7] (mrt, state unknown): 'reason' is a required property",
            ])

            done = self.run_script(stdin=json.dumps(healthy).encode())
            self.assertEqual(done.returncode, 0, done.stderr)
            done = self.run_script("-", stdin=b"not json")
            self.assertEqual(done.returncode, 1)
            self.assertIn(b"<stdin>: not a JSON document", done.stderr)
            done = self.run_script(os.path.join(scratch, "missing.json"))
            self.assertEqual(done.returncode, 1)


if __name__ == "__main__":
    unittest.main()
