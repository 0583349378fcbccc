"""The README's "Build with Homebrew" commands are the macOS workflow's commands, and the other way round."""

import os
import re
import unittest

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def readme_commands():
    """The first indented code block of the README's "### Build with Homebrew", one command a line."""
    with open(os.path.join(REPO, "README.md"), encoding="utf-8") as f:
        text = f.read()
    section = text.split("\n### Build with Homebrew\n", 1)[1].split("\n### ", 1)[0]
    block = re.search(r"\n\n((?:    \S.*\n)+)", section)
    return [line.strip() for line in block.group(1).splitlines()]


def workflow_commands():
    """The single-line `run:` commands of the macOS workflow, in order."""
    with open(os.path.join(REPO, ".github", "workflows", "macos.yml"), encoding="utf-8") as f:
        lines = f.read().splitlines()
    commands = []
    for line in lines:
        match = re.match(r"\s+(?:- )?run: (.*)$", line)
        if match:
            if match.group(1).strip() in ("|", ">", "|-", ">-"):
                raise AssertionError("a multi-line run: step; write the README's commands one a step")
            commands.append(match.group(1).strip())
    return commands


class ReadmeAndWorkflow(unittest.TestCase):
    def test_the_mac_section_and_the_workflow_run_the_same_commands(self):
        readme = readme_commands()
        self.assertGreaterEqual(len(readme), 5, readme)
        self.assertEqual(readme, workflow_commands())


if __name__ == "__main__":
    unittest.main()
