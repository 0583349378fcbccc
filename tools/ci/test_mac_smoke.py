"""The smoke test's judge: the bundled simulated Macs pass it, and each fault it exists for fails it.

Runs the built application against the simulated Macs through scripts/mac-smoke.sh, as the Mac
workflow does against "/". LQ_BUILD_DIR names the build folder (CTest sets it).
"""

import copy
import importlib.util
import json
import os
import socket
import subprocess
import tempfile
import unittest

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BUILD = os.environ.get("LQ_BUILD_DIR", os.path.join(REPO, "build"))
SIM = os.path.join(REPO, "sim")
ROOTS = ["apple-silicon", "apple-silicon-listed", "intel-t2", "intel-catalina", "intel-ssv-off"]

spec = importlib.util.spec_from_file_location("mac_smoke", os.path.join(REPO, "scripts", "mac-smoke.py"))
mac_smoke = importlib.util.module_from_spec(spec)
spec.loader.exec_module(mac_smoke)


def app_binary():
    bundle = os.path.join(BUILD, "Lanternquill.app", "Contents", "MacOS", "Lanternquill")
    return bundle if os.path.exists(bundle) else os.path.join(BUILD, "lanternquill")


def smoke(root):
    """Runs scripts/mac-smoke.sh on a simulated Mac; its exit status, its output and the JSON."""
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "report.json")
        run = subprocess.run([os.path.join(REPO, "scripts", "mac-smoke.sh"), BUILD, out, "--system-root",
                              os.path.join(SIM, root)], capture_output=True, text=True, timeout=300)
        document = None
        if os.path.exists(out):
            with open(out, encoding="utf-8") as f:
                document = json.load(f)
        return run.returncode, run.stdout + run.stderr, document


@unittest.skipUnless(os.path.exists(app_binary()), "the application is not built in " + BUILD)
class MacSmoke(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = os.path.join(SIM, "intel-t2")
        status, output, cls.good = smoke("intel-t2")
        assert status == 0, output
        cls.facts = mac_smoke.mac_facts(cls.root)
        cls.tools = mac_smoke.tool_lines(cls.root)

    def test_every_bundled_simulated_mac_passes(self):
        for root in ROOTS:
            with self.subTest(root=root):
                status, output, _ = smoke(root)
                self.assertEqual(status, 0, output)
                self.assertIn("mac-smoke: passed", output)

    def test_facts_come_from_the_judged_mac(self):
        self.assertEqual(self.facts, ("MacBookPro16,2", "14.8.8", "23J610"))
        self.assertEqual(self.tools, [("spctl", "assessments enabled"), ("fdesetup", "FileVault is On.")])

    def judge(self, document, facts=None, tools=None):
        model, version, build = facts or self.facts
        return "\n".join(mac_smoke.judge(document, model, version, build, tools or self.tools))

    def test_each_fault_fails(self):
        def status(key, value):
            def change(d):
                d["status"][key] = value
            return change

        # The status texts are judged on their own only in a report without typed checks.
        def status_alone(key, value):
            def change(d):
                d.pop("checks", None)
                d["status"][key] = value
            return change

        def drop_status(key):
            def change(d):
                d.pop("checks", None)
                d["status"].pop(key)
            return change

        def report_without(text):
            def change(d):
                d["report"] = d["report"].replace(text, "")
            return change

        def checks(entries):
            return lambda d: d.update(checks=entries)

        cases = [
            # (what, change to the good report, words of the fault)
            ("a NUL after the model", status("model", "Mac model MacBookPro16,2\0"), "holds a NUL"),
            ("another Mac's model", status("model", "Mac model MacBookPro15,1"), "does not name"),
            ("a field left empty", status_alone("xprotect", ""), "xprotect is empty"),
            ("a field still being checked", status_alone("updates", "Checking for updates…"), "still being checked"),
            ("a field missing", drop_status("tcc"), "tcc is missing"),
            ("the version line missing", report_without("macOS Version 14.8.8 (Build 23J610)\n"),
             "has no line"),
            ("spctl not quoted", report_without("assessments enabled"), "does not quote spctl"),
            ("fdesetup not quoted", report_without("FileVault is On."), "does not quote fdesetup"),
            ("a check without a state", checks([{"id": "sip", "state": "good"}, {"id": "xprotect"}]),
             "check xprotect has no state"),
            ("an unknown check without a reason", checks([{"id": "firmware", "state": "unknown", "reason": " "}]),
             "check firmware is unknown without a reason"),
            ("checks that are not a list", checks({"sip": "good"}), "not a list"),
        ]
        for what, change, words in cases:
            with self.subTest(what):
                document = copy.deepcopy(self.good)
                change(document)
                self.assertIn(words, self.judge(document))

    def test_the_macs_own_facts_must_match(self):
        self.assertIn("window title", self.judge(self.good, facts=("MacBookPro16,2", "14.8.9", "23J631")))
        self.assertIn("does not name", self.judge(self.good, facts=("Mac15,6", "14.8.8", "23J610")))
        self.assertIn("could not be read", self.judge(self.good, facts=("", "14.8.8", "23J610")))
        self.assertIn("spctl printed nothing", self.judge(self.good, tools=[("spctl", "")]))

    def test_what_may_pass(self):
        self.assertEqual(self.judge(self.good), "")
        self.assertEqual(self.good["status"]["display"], "")  # no Studio Display on this Mac
        judged = copy.deepcopy(self.good)
        judged["checks"] = [{"id": "sip", "state": "good"},
                            {"id": "firmware", "state": "unknown", "reason": "no published version for this model"}]
        # With checks, the status texts are the checks' business: an empty one is no fault by itself.
        judged["status"]["firmware"] = ""
        self.assertEqual(self.judge(judged), "")

    def test_a_run_without_reference_lists_leaves_fields_unjudged(self):
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            port = s.getsockname()[1]
        run = subprocess.run([app_binary(), "--report", "--json", "--system-root", self.root, "--reference-url",
                              "http://127.0.0.1:%d/" % port], capture_output=True, text=True, timeout=120)
        # Lists that could not be fetched leave their checks unknown, each with its reason: the
        # application did its part, and says so with status 3.
        self.assertEqual(run.returncode, 3, run.stderr)
        document = json.loads(run.stdout)
        self.assertEqual(self.judge(document), "")
        unknown = {c["id"]: c["reason"] for c in document["checks"] if c["state"] == "unknown"}
        self.assertEqual(unknown.get("xprotect"), "list not fetched")
        self.assertEqual(unknown.get("firmware"), "list not fetched")
        # Without the typed checks, the empty status texts are the fault.
        document.pop("checks")
        faults = self.judge(document)
        self.assertIn("status field xprotect is empty", faults)
        self.assertIn("status field firmware is empty", faults)


if __name__ == "__main__":
    unittest.main()
