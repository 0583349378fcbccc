#!/usr/bin/env python3
"""Puts a simulated Mac into a state its bundled files do not show, by writing its override folder.

    python3 tools/simgen/cases.py ROOT CASE...     write the overrides of each CASE
    python3 tools/simgen/cases.py ROOT --clear     remove every override of ROOT
    python3 tools/simgen/cases.py --list           name the cases

Each case is a few files in ROOT/.sim/override/ (git ignores that folder), so the bundled tree is
never changed and `--clear` brings the root back as it was. The texts follow the bundled outputs;
where no captured output exists (softwareupdate's failures) the wording is a plausible stand-in.
"""
import os
import shutil
import sys

SU_HEADER = "Software Update Tool\n\nFinding available software\n"


def _write(root, key, out=None, err=None, status=None):
    folder = os.path.join(root, ".sim", "override")
    os.makedirs(folder, exist_ok=True)
    for ext, content in (("out", out), ("err", err), ("status", None if status is None else "%d\n" % status)):
        if content is not None:
            with open(os.path.join(folder, "%s.%s" % (key, ext)), "w", encoding="utf-8", newline="") as f:
                f.write(content)


def _bundled(root, key):
    with open(os.path.join(root, ".sim", "data", key + ".out"), encoding="utf-8", newline="") as f:
        return f.read()


def update_run_fails(root):
    """softwareupdate -ia / -da end with status 1 and say why on standard error."""
    for key in ("softwareupdate-install-all", "softwareupdate-download-all"):
        _write(root, key, out=SU_HEADER,
               err="Error downloading updates: not enough free space on the startup disk.\n", status=1)


def named_update_fails(root):
    """softwareupdate -i / -d NAME end with status 1: no update has that label."""
    for key in ("softwareupdate-install-named", "softwareupdate-download-named"):
        _write(root, key, out=SU_HEADER, err="No such update\nNo updates are available.\n", status=1)


def policy_relaxed(root):
    """The boot policy with SIP off and every kernel extension allowed, in the root's own wording."""
    report = _bundled(root, "system_profiler-SPiBridgeDataType")
    if "Boot Policy:" not in report:
        raise SystemExit("cases.py: %s has no Apple-silicon boot policy to relax" % root)
    relaxed = []
    for line in report.split("\n"):
        if "System Integrity Protection:" in line:
            line = line.replace("Enabled", "Disabled").replace(": On", ": Off")
        elif "Allow All Kernel Extensions:" in line:
            line = line.replace(": No", ": Yes")
        relaxed.append(line)
    _write(root, "system_profiler-SPiBridgeDataType", out="\n".join(relaxed))


CASES = {
    "update-run-fails": update_run_fails,
    "named-update-fails": named_update_fails,
    "policy-relaxed": policy_relaxed,
}


def main(argv):
    if argv == ["--list"]:
        for name, case in CASES.items():
            print("%-20s %s" % (name, case.__doc__))
        return 0
    if len(argv) < 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    root, names = argv[0], argv[1:]
    if not os.path.isdir(os.path.join(root, ".sim")):
        print("cases.py: %s is not a simulated Mac" % root, file=sys.stderr)
        return 2
    if names == ["--clear"]:
        shutil.rmtree(os.path.join(root, ".sim", "override"), ignore_errors=True)
        return 0
    unknown = [n for n in names if n not in CASES]
    if unknown:
        print("cases.py: no such case: %s (see --list)" % ", ".join(unknown), file=sys.stderr)
        return 2
    for name in names:
        CASES[name](root)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
