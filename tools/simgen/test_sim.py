#!/usr/bin/env python3
"""Checks of the bundled simulated Macs (sim/) and the reference lists (reference/).

    python3 -m unittest tools/simgen/test_sim.py      (or run this file directly)

The stub tests run on a copy of each root inside a folder whose name has a space in it, so
they never write into the work tree and they prove the stubs cope with such paths.
"""

import filecmp
import json
import os
import plistlib
import re
import shutil
import stat
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
SIM = os.path.join(REPO, "sim")
REFERENCE = os.path.join(REPO, "reference")
ROOTS = ["intel-t2", "apple-silicon", "intel-catalina", "intel-ssv-off", "apple-silicon-listed"]
PREDICATE = 'subsystem == "com.apple.XProtectFramework.PluginAPI" AND category == "XPEvent.structured"'

# (stub, arguments, key) for every invocation the stubs know.
CALLS = [
    ("/usr/bin/csrutil", ["status"], "csrutil-status"),
    ("/usr/bin/csrutil", ["authenticated-root", "status"], "csrutil-authenticated-root"),
    ("/usr/sbin/spctl", ["--status"], "spctl-status"),
    ("/usr/bin/fdesetup", ["status"], "fdesetup-status"),
    ("/usr/sbin/system_profiler", ["SPiBridgeDataType"], "system_profiler-SPiBridgeDataType"),
    ("/usr/sbin/system_profiler", ["SPHardwareDataType"], "system_profiler-SPHardwareDataType"),
    ("/usr/sbin/system_profiler", ["SPDisplaysDataType"], "system_profiler-SPDisplaysDataType"),
    ("/usr/sbin/softwareupdate", ["-l"], "softwareupdate-list"),
    ("/usr/sbin/softwareupdate", ["-l", "--include-config-data"], "softwareupdate-list"),
    ("/usr/sbin/softwareupdate", ["-ia", "--include-config-data"], "softwareupdate-install-all"),
    ("/usr/sbin/softwareupdate", ["-da", "--include-config-data"], "softwareupdate-download-all"),
    ("/usr/sbin/softwareupdate", ["-i", "--include-config-data", "macOS Sonoma 14.8.9-23J631"],
     "softwareupdate-install-named"),
    ("/usr/sbin/softwareupdate", ["-d", "--include-config-data", "Safari26.6SonomaAuto-26.6"],
     "softwareupdate-download-named"),
    ("/usr/bin/AssetCacheManagerUtil", ["isActivated"], "AssetCacheManagerUtil-isActivated"),
    ("/usr/bin/log", ["show", "--predicate", PREDICATE, "--style", "json", "--info", "--last", "1d"],
     "log-show-xpr"),
    ("/usr/bin/log", ["show", "--last", "2"], "log-show-last"),
    ("/usr/bin/id", ["-G", "jane"], "id-G"),
    ("/usr/bin/open", ["https://lanternquill.example.org/help"], "open"),
]

# Arguments each tool must refuse with a usage line and status 64.
REFUSED = [
    ("/usr/bin/csrutil", []),
    ("/usr/bin/csrutil", ["status", "extra"]),
    ("/usr/bin/csrutil", ["authenticated-root"]),
    ("/usr/sbin/spctl", ["--master-disable"]),
    ("/usr/bin/fdesetup", ["list"]),
    ("/usr/sbin/system_profiler", ["SPSoftwareDataType"]),
    ("/usr/sbin/system_profiler", ["SPHardwareDataType", "-json"]),
    ("/usr/sbin/softwareupdate", ["-l", "--all"]),
    ("/usr/sbin/softwareupdate", ["-ia"]),
    ("/usr/sbin/softwareupdate", ["-i", "--include-config-data"]),
    ("/usr/sbin/softwareupdate", ["-i", "--include-config-data", ""]),
    ("/usr/sbin/softwareupdate", ["-i", "--include-config-data", "Safari", "extra"]),
    ("/usr/bin/AssetCacheManagerUtil", ["status"]),
    ("/usr/bin/defaults", ["read", "relative/Info.plist", "CFBundleShortVersionString"]),
    ("/usr/bin/defaults", ["write", "/x.plist", "k", "v"]),
    ("/usr/bin/log", ["show", "--last", "1d"]),
    ("/usr/bin/log", ["show", "--predicate", "subsystem == \"x\"", "--style", "json", "--info", "--last", "1d"]),
    ("/usr/bin/id", ["-G"]),
    ("/usr/bin/id", ["-u", "jane"]),
    ("/usr/bin/osascript", ["-e", "return 1"]),
    ("/usr/bin/open", []),
    ("/usr/bin/open", ["a", "b"]),
]

PROTECTED_XPROTECT = "/private/var/protected/xprotect/XProtect.bundle"
BUNDLES = [
    "/Library/Apple/System/Library/CoreServices/XProtect.bundle",
    "/Library/Apple/System/Library/CoreServices/XProtect.app",
    "/Library/Apple/System/Library/CoreServices/MRT.app",
    "/Library/Apple/Library/Bundles/TCC_Compatibility.bundle",
    "/Library/Apple/System/Library/Extensions/AppleKextExcludeList.kext",
]

STUBS = sorted({c[0] for c in CALLS} | {"/usr/bin/defaults", "/usr/bin/osascript"})


def load_plist(path):
    with open(path, "rb") as f:
        return plistlib.load(f)


def read(path, mode="r"):
    with open(path, mode) as f:
        return f.read()


class CopiedRoots(unittest.TestCase):
    """Each test gets fresh copies of all roots (symlinks resolved) under a path with a space."""

    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="sim test ")
        self.roots = {}
        for name in ROOTS:
            dst = os.path.join(self.tmp, name)
            shutil.copytree(os.path.join(SIM, name), dst, symlinks=False)
            self.roots[name] = dst

    def tearDown(self):
        shutil.rmtree(self.tmp)

    def run_stub(self, root, stub, args, stdin=b"", shell=None):
        cmd = ([shell] if shell else []) + [self.roots[root] + stub] + args
        return subprocess.run(cmd, input=stdin, capture_output=True, timeout=30)

    def data(self, root, key, ext, default=b""):
        p = os.path.join(self.roots[root], ".sim", "data", key + "." + ext)
        return read(p, "rb") if os.path.exists(p) else default

    def put(self, root, rel, content):
        p = os.path.join(self.roots[root], rel)
        os.makedirs(os.path.dirname(p), exist_ok=True)
        with open(p, "wb") as f:
            f.write(content)


class StubReplay(CopiedRoots):
    def test_every_call_replays_its_data_under_sh_and_dash(self):
        for root in ROOTS:
            for stub, args, key in CALLS:
                for shell in (None, "dash"):
                    with self.subTest(root=root, call=" ".join([stub] + args), shell=shell or "exec"):
                        r = self.run_stub(root, stub, args, shell=shell)
                        self.assertEqual(r.stdout, self.data(root, key, "out"))
                        self.assertEqual(r.stderr, self.data(root, key, "err"))
                        self.assertEqual(r.returncode, int(self.data(root, key, "status", b"0")))

    def test_unknown_arguments_get_usage_and_64(self):
        for stub, args in REFUSED:
            with self.subTest(call=" ".join([stub] + args)):
                r = self.run_stub("intel-t2", stub, args, shell="dash")
                self.assertEqual(r.returncode, 64)
                self.assertEqual(r.stdout, b"")
                self.assertTrue(r.stderr.startswith(b"usage: "), r.stderr)

    def test_osascript_is_silent_success_and_reads_its_script(self):
        script = ("x" * 200000 + "\n").encode()  # larger than a pipe buffer: must be consumed
        r = self.run_stub("apple-silicon", "/usr/bin/osascript", [], stdin=script, shell="dash")
        self.assertEqual((r.returncode, r.stdout, r.stderr), (0, b"", b""))

    def test_stub_works_when_called_by_a_relative_path(self):
        root = self.roots["intel-ssv-off"]
        r = subprocess.run(["dash", "usr/bin/csrutil", "authenticated-root", "status"], cwd=root,
                           capture_output=True, timeout=30)
        self.assertEqual(r.stdout, b"Authenticated Root status: disabled\n")

    def test_root_without_its_library_fails_loudly(self):
        os.remove(os.path.join(self.roots["intel-t2"], ".sim", "lib.sh"))
        r = self.run_stub("intel-t2", "/usr/bin/csrutil", ["status"])
        self.assertEqual(r.returncode, 70)
        self.assertIn(b"lib.sh is missing", r.stderr)


class Overrides(CopiedRoots):
    def test_override_files_win_one_by_one(self):
        self.put("intel-t2", ".sim/override/fdesetup-status.out", b"FileVault is Off.\n")
        r = self.run_stub("intel-t2", "/usr/bin/fdesetup", ["status"])
        self.assertEqual((r.returncode, r.stdout), (0, b"FileVault is Off.\n"))
        # A status override alone keeps the bundled output.
        self.put("intel-t2", ".sim/override/spctl-status.status", b"1\n")
        r = self.run_stub("intel-t2", "/usr/sbin/spctl", ["--status"])
        self.assertEqual((r.returncode, r.stdout), (1, b"assessments enabled\n"))
        # An error override with an empty output override makes a clean failure.
        self.put("intel-t2", ".sim/override/csrutil-status.out", b"")
        self.put("intel-t2", ".sim/override/csrutil-status.err", b"csrutil: failed\n")
        self.put("intel-t2", ".sim/override/csrutil-status.status", b"3")
        r = self.run_stub("intel-t2", "/usr/bin/csrutil", ["status"])
        self.assertEqual((r.returncode, r.stdout, r.stderr), (3, b"", b"csrutil: failed\n"))

    def test_output_is_replayed_byte_for_byte(self):
        blob = bytes(range(256)) + b"no final line break"
        self.put("apple-silicon", ".sim/override/open.out", blob)
        r = self.run_stub("apple-silicon", "/usr/bin/open", ["https://example.org"])
        self.assertEqual(r.stdout, blob)

    def test_cases_change_only_the_override_folder(self):
        cases = os.path.join(REPO, "tools", "simgen", "cases.py")
        su = "/usr/sbin/softwareupdate"
        checks = [
            ("intel-t2", "update-run-fails", [su, ["-ia", "--include-config-data"]], 1, b"not enough free space"),
            ("intel-t2", "update-run-fails", [su, ["-da", "--include-config-data"]], 1, b"not enough free space"),
            ("apple-silicon", "named-update-fails", [su, ["-i", "--include-config-data", "Safari"]], 1,
             b"No such update"),
            ("apple-silicon-listed", "policy-relaxed",
             ["/usr/sbin/system_profiler", ["SPiBridgeDataType"]], 0, b"System Integrity Protection: Off"),
            ("apple-silicon", "policy-relaxed",
             ["/usr/sbin/system_profiler", ["SPiBridgeDataType"]], 0, b"Allow All Kernel Extensions: Yes"),
        ]
        for root, case, (stub, args), status, text in checks:
            with self.subTest(root=root, case=case):
                before = read(os.path.join(self.roots[root], ".sim", "data", "csrutil-status.out"), "rb")
                r = subprocess.run([sys.executable, cases, self.roots[root], case], capture_output=True)
                self.assertEqual(r.returncode, 0, r.stderr)
                r = self.run_stub(root, stub, args)
                self.assertEqual(r.returncode, status)
                self.assertIn(text, r.stdout + r.stderr)
                self.assertEqual(read(os.path.join(self.roots[root], ".sim", "data", "csrutil-status.out"), "rb"),
                                 before)
                subprocess.run([sys.executable, cases, self.roots[root], "--clear"], check=True)
                self.assertFalse(os.path.exists(os.path.join(self.roots[root], ".sim", "override")))
        # A Mac without an Apple-silicon boot policy cannot have it relaxed.
        r = subprocess.run([sys.executable, cases, self.roots["intel-catalina"], "policy-relaxed"],
                           capture_output=True)
        self.assertNotEqual(r.returncode, 0)

    def test_status_files(self):
        cases = [(b"0", 0, False), (b" 7 \n", 7, False), (b"010", 10, False), (b"255", 255, False),
                 (b"256", 70, True), (b"99999999999999999999", 70, True), (b"-1", 70, True),
                 (b"", 70, True), (b"yes", 70, True)]
        for content, status, complains in cases:
            with self.subTest(content=content):
                self.put("intel-t2", ".sim/override/id-G.status", content)
                r = self.run_stub("intel-t2", "/usr/bin/id", ["-G", "jane"])
                self.assertEqual(r.returncode, status)
                self.assertEqual(b"does not hold an exit status" in r.stderr, complains)

    def timed_stub(self, root, stub, args, stdin=b""):
        start = time.monotonic()
        r = self.run_stub(root, stub, args, stdin=stdin, shell="dash")
        return r, time.monotonic() - start

    def test_delay_files_slow_every_kind_of_call(self):
        # The plain replay, the file-reading defaults and the stdin-reading osascript each wait.
        info = BUNDLES[0] + "/Contents/Info.plist"
        calls = [("/usr/bin/fdesetup", ["status"], "fdesetup-status", b""),
                 ("/usr/bin/defaults", ["read", info, "CFBundleShortVersionString"], "defaults-read", b""),
                 ("/usr/bin/osascript", [], "osascript", b"return 1\n")]
        for stub, args, key, stdin in calls:
            with self.subTest(key=key):
                fast, _ = self.timed_stub("intel-t2", stub, args, stdin)
                self.put("intel-t2", ".sim/data/%s.delay" % key, b"0.6\n")
                slow, took = self.timed_stub("intel-t2", stub, args, stdin)
                self.assertGreaterEqual(took, 0.6)
                self.assertEqual((slow.returncode, slow.stdout, slow.stderr),
                                 (fast.returncode, fast.stdout, fast.stderr))

    def test_delay_override_wins_over_data(self):
        # A broken bundled value would be refused, so a good answer shows that the override was read.
        self.put("intel-t2", ".sim/data/spctl-status.delay", b"soon")
        self.put("intel-t2", ".sim/override/spctl-status.delay", b"0.3")
        r, took = self.timed_stub("intel-t2", "/usr/sbin/spctl", ["--status"])
        self.assertEqual((r.returncode, r.stdout), (0, b"assessments enabled\n"))
        self.assertGreaterEqual(took, 0.3)

    def test_delay_values(self):
        # (file content, seconds waited at least; None: refused with 70 and no answer)
        cases = [(b"0", 0), (b"0.25", 0.25), (b" 0.4 \n", 0.4), (b"0.30\r\n", 0.3), (b"1", 1.0),
                 (b"", None), (b"-1", None), (b"1e3", None), (b"inf", None), (b".5", None), (b"5.", None),
                 (b"1 5", None), (b"1..2", None), (b"0x1", None), (b"1,5", None)]
        for content, seconds in cases:
            with self.subTest(content=content):
                self.put("intel-t2", ".sim/override/csrutil-status.delay", content)
                r, took = self.timed_stub("intel-t2", "/usr/bin/csrutil", ["status"])
                if seconds is None:
                    self.assertEqual((r.returncode, r.stdout), (70, b""))
                    self.assertIn(b"does not hold a delay", r.stderr)
                else:
                    self.assertEqual((r.returncode, r.stdout, r.stderr),
                                     (0, self.data("intel-t2", "csrutil-status", "out"), b""))
                    self.assertGreaterEqual(took, seconds)

    def test_defaults_read_can_be_overridden(self):
        self.put("intel-t2", ".sim/override/defaults-read.status", b"1\n")
        self.put("intel-t2", ".sim/override/defaults-read.err", b"boom\n")
        r = self.run_stub("intel-t2", "/usr/bin/defaults",
                          ["read", BUNDLES[0] + "/Contents/Info.plist", "CFBundleShortVersionString"])
        self.assertEqual((r.returncode, r.stdout, r.stderr), (1, b"", b"boom\n"))


class CallLog(CopiedRoots):
    def log_lines(self, root):
        return read(os.path.join(self.roots[root], ".sim", "calls.log")).split("\n")[:-1]

    def test_no_log_unless_asked_for(self):
        self.run_stub("intel-t2", "/usr/bin/csrutil", ["status"])
        self.assertFalse(os.path.exists(os.path.join(self.roots["intel-t2"], ".sim", "calls.log")))

    def test_calls_are_recorded_one_per_line(self):
        self.put("intel-t2", ".sim/calls.log", b"")
        self.run_stub("intel-t2", "/usr/sbin/softwareupdate",
                      ["-i", "--include-config-data", "macOS Sonoma 14.8.9-23J631"])
        self.run_stub("intel-t2", "/usr/bin/osascript", [],
                      stdin=b'tell application "Finder"\n\tactivate\nend tell\n\n')
        self.run_stub("intel-t2", "/usr/bin/osascript", [], stdin=b"")
        self.run_stub("intel-t2", "/usr/bin/open", ["https://example.org/a b?c=%20"])
        self.run_stub("intel-t2", "/usr/bin/open", ["two\nlines"])
        self.run_stub("intel-t2", "/usr/bin/csrutil", ["bogus"])  # refused: not recorded
        self.assertEqual(self.log_lines("intel-t2"), [
            "softwareupdate-install-named\t-i\t--include-config-data\tmacOS Sonoma 14.8.9-23J631",
            'osascript\ttell application "Finder"\\n\tactivate\\nend tell\\n\\n',
            "osascript\t",
            "open\thttps://example.org/a b?c=%20",
            "open\ttwo\\nlines",
        ])

    def test_every_known_call_is_logged_under_its_key(self):
        self.put("apple-silicon", ".sim/calls.log", b"")
        for stub, args, _key in CALLS:
            self.run_stub("apple-silicon", stub, args)
        keys = [line.split("\t")[0] for line in self.log_lines("apple-silicon")]
        self.assertEqual(keys, [key for _s, _a, key in CALLS])


class DefaultsRead(CopiedRoots):
    def defaults(self, root, path, key="CFBundleShortVersionString"):
        return self.run_stub(root, "/usr/bin/defaults", ["read", path, key], shell="dash")

    def test_bundle_versions_read_like_the_real_tool(self):
        for root in ROOTS:
            for bundle in BUNDLES:
                with self.subTest(root=root, bundle=bundle):
                    path = bundle + "/Contents/Info.plist"
                    want = load_plist(self.roots[root] + path)["CFBundleShortVersionString"]
                    r = self.defaults(root, path)
                    self.assertEqual((r.returncode, r.stdout, r.stderr), (0, (want + "\n").encode(), b""))

    def test_missing_things_fail_with_the_real_message(self):
        info = BUNDLES[0] + "/Contents/Info.plist"
        cases = [(info, "NoSuchKey"), ("/Library/Nothing/Info.plist", "CFBundleShortVersionString"),
                 ("/Library/Apple/../../../etc/passwd", "root"), ("/Library", "x")]
        for path, key in cases:
            with self.subTest(path=path, key=key):
                r = self.defaults("intel-t2", path, key)
                self.assertEqual(r.returncode, 1)
                self.assertEqual(r.stdout, b"")
                self.assertEqual(r.stderr,
                                 ("The domain/default pair of (%s, %s) does not exist\n" % (path, key)).encode())

    def test_values_are_decoded_and_only_top_level_keys_count(self):
        fixture = {"Name": "Tom & Jerry <b> \"q\" 'a'", "Count": 42, "On": True, "Off": False,
                   "Empty": "", "Inner": {"Deep": "no"}, "List": ["a"]}
        self.put("intel-t2", "Library/Fixture.plist", plistlib.dumps(fixture))
        expect = [("Name", 0, b"Tom & Jerry <b> \"q\" 'a'\n"), ("Count", 0, b"42\n"), ("On", 0, b"1\n"),
                  ("Off", 0, b"0\n"), ("Empty", 0, b"\n"), ("Deep", 1, b""), ("Inner", 1, b""),
                  ("List", 1, b"")]
        for key, status, out in expect:
            with self.subTest(key=key):
                r = self.defaults("intel-t2", "/Library/Fixture.plist", key)
                self.assertEqual((r.returncode, r.stdout), (status, out))

    def test_binary_plists_are_refused_not_misread(self):
        r = self.defaults("apple-silicon", "/Library/Receipts/InstallHistory.plist", "x")
        self.assertEqual(r.returncode, 1)
        self.assertIn(b"binary property list", r.stderr)


class RootFiles(unittest.TestCase):
    def test_layout_permissions_and_links(self):
        lib = os.path.join(SIM, "_common", "lib.sh")
        self.assertTrue(os.access(lib, os.X_OK))
        for shell in ("sh", "dash"):
            self.assertEqual(subprocess.run([shell, "-n", lib]).returncode, 0)
        for root in ROOTS:
            path = os.path.join(SIM, root)
            with self.subTest(root=root):
                link = os.path.join(path, ".sim", "lib.sh")
                self.assertEqual(os.readlink(link), "../../_common/lib.sh")
                for stub in STUBS:
                    p = path + stub
                    self.assertFalse(os.path.islink(p))
                    self.assertTrue(os.stat(p).st_mode & stat.S_IXUSR, p)
                    for shell in ("sh", "dash"):
                        self.assertEqual(subprocess.run([shell, "-n", p]).returncode, 0, p)
                for dirpath, _dirs, files in os.walk(path):
                    for name in files:
                        p = os.path.join(dirpath, name)
                        if os.path.islink(p):
                            target = os.readlink(p)
                            self.assertFalse(os.path.isabs(target), p)
                            self.assertTrue(os.path.isfile(p), "dangling link " + p)
                for d in ("Persist", "timesync"):
                    self.assertTrue(os.listdir(os.path.join(path, "var/db/diagnostics", d)))

    def test_plists_have_what_the_application_reads(self):
        for root in ROOTS:
            path = os.path.join(SIM, root)
            with self.subTest(root=root):
                sv = load_plist(path + "/System/Library/CoreServices/SystemVersion.plist")
                self.assertRegex(sv["ProductVersion"], r"^\d+\.\d+(\.\d+)?$")
                self.assertRegex(sv["ProductBuildVersion"], r"^\d\d[A-Z]\d+[a-z]?$")
                io = load_plist(path + "/IORegistry.plist")
                model = io["IOPlatformExpertDevice"]["model"]
                rom = io["IODeviceTree:/rom"]["version"]
                self.assertIsInstance(model, bytes)
                self.assertIsInstance(rom, bytes)
                # Text properties end in exactly one NUL, as the registry stores C strings.
                for value in (model, rom):
                    self.assertTrue(value.endswith(b"\0") and b"\0" not in value[:-1], value)
                model, rom = model[:-1], rom[:-1]
                # The hardware report names the same model and, on Intel, the same firmware.
                hw = read(path + "/.sim/data/system_profiler-SPHardwareDataType.out")
                self.assertIn("      Model Identifier: %s\n" % model.decode(), hw)
                fw = re.search(r"(?:System Firmware|Boot ROM) Version: (.*)\n", hw).group(1)
                rom = rom.decode()
                if rom[:1].isdigit():  # Intel with T2 or a current EFI
                    self.assertEqual(fw, rom)
                elif rom.startswith(("iBoot-", "mBoot-")):  # Apple silicon
                    self.assertEqual(fw, rom[len("iBoot-"):])
                else:  # old letter-style ROM: "MBA71.88Z.0178.B00..." shows as "MBA71.0178.B00"
                    parts = rom.split(".")
                    self.assertEqual(fw, ".".join([parts[0], parts[2], parts[3]]))
                for bundle in BUNDLES:
                    info = load_plist(path + bundle + "/Contents/Info.plist")
                    for k in ("CFBundleShortVersionString", "CFBundleIdentifier", "CFBundleVersion"):
                        self.assertTrue(info[k], (bundle, k))
                raw = read(path + "/Library/Receipts/InstallHistory.plist", "rb")
                history = plistlib.loads(raw)
                self.assertGreaterEqual(len(history), 150)
                names = {e["displayName"] for e in history}
                for n in ("XProtectPlistConfigData", "XProtectPayloads", "TCC Configuration Data",
                          "Incompatible Kernel Extension Configuration Data", "Safari"):
                    self.assertIn(n, names)
                dates = [e["date"] for e in history]
                self.assertEqual(dates, sorted(dates))
                for e in history:
                    self.assertEqual(set(e) - {"contentType"},
                                     {"date", "displayName", "displayVersion", "packageIdentifiers", "processName"})
                # The newest XProtect data in the history is what the copy XProtect reads holds: the
                # protected copy where there is one (macOS 15 and later), else the CoreServices copy.
                xp = [e["displayVersion"] for e in history if e["displayName"] == "XProtectPlistConfigData"]
                in_use = path + PROTECTED_XPROTECT + "/Contents/Info.plist"
                if not os.path.exists(in_use):
                    in_use = path + BUNDLES[0] + "/Contents/Info.plist"
                self.assertEqual(xp[-1], load_plist(in_use)["CFBundleShortVersionString"])
                major = int(sv["ProductVersion"].split(".")[0])
                self.assertEqual(os.path.exists(path + PROTECTED_XPROTECT), major >= 15, root)
                if root == "intel-t2":
                    self.assertTrue(raw.startswith(b"<?xml"))
                if root == "apple-silicon":
                    self.assertTrue(raw.startswith(b"bplist00"))

    def test_what_each_root_shows(self):
        def data(root, key):
            p = os.path.join(SIM, root, ".sim", "data", key)
            return read(p) if os.path.exists(p) else ""

        def ver(root, i):
            return load_plist(os.path.join(SIM, root) + BUNDLES[i] + "/Contents/Info.plist")[
                "CFBundleShortVersionString"]

        published = load_plist(os.path.join(REFERENCE, "sysupdates.plist"))
        behind = [r for r in ROOTS if ver(r, 0) != published["XProtect15"]]
        self.assertEqual(behind, ["intel-t2", "apple-silicon"])
        self.assertIn("is activated", data("apple-silicon", "AssetCacheManagerUtil-isActivated.err"))
        for root in ROOTS:
            if root != "apple-silicon":
                self.assertNotIn("is activated", data(root, "AssetCacheManagerUtil-isActivated.err"))
                self.assertEqual(data(root, "AssetCacheManagerUtil-isActivated.status"), "1\n")
        self.assertEqual(data("intel-ssv-off", "csrutil-authenticated-root.out"), "Authenticated Root status: disabled\n")
        self.assertEqual(data("intel-catalina", "fdesetup-status.out"), "FileVault is Off.\n")
        self.assertEqual(data("intel-catalina", "system_profiler-SPiBridgeDataType.out"), "")
        self.assertIn("Display Firmware Version: Version 17.0 (Build 21A329)",
                      data("apple-silicon", "system_profiler-SPDisplaysDataType.out"))
        self.assertIn("Model Name: Apple T2 Security Chip", data("intel-t2", "system_profiler-SPiBridgeDataType.out"))
        self.assertIn("Software Update found", data("intel-t2", "softwareupdate-list.out"))
        self.assertIn("   * ", data("intel-catalina", "softwareupdate-list.out"))
        self.assertEqual(data("apple-silicon", "softwareupdate-list.err"), "No new software available.\n")

        listed = data("apple-silicon-listed", "system_profiler-SPiBridgeDataType.out")
        self.assertNotIn("abled", listed)
        self.assertIn("Firmware Version: iBoot-", listed)
        self.assertGreaterEqual(len([l for l in listed.split("\n") if l.strip()]), 5)
        evaluated = data("apple-silicon", "system_profiler-SPiBridgeDataType.out")
        self.assertIn("Firmware Version: mBoot-18000.161.10", evaluated)
        # The default Mac is patched: its system firmware is the published one.
        hw = data("apple-silicon", "system_profiler-SPHardwareDataType.out")
        self.assertIn("System Firmware Version: 18000.161.10\n", hw)
        self.assertIn(("other", "18000.161.10"), [(e["MacModel"], e["iBootversion"])
                                                  for e in load_plist(os.path.join(REFERENCE, "applesilicon.plist"))])
        # Its two XProtect copies differ: the protected one is current, the fallback one behind.
        self.assertEqual(load_plist(os.path.join(SIM, "apple-silicon") + PROTECTED_XPROTECT + "/Contents/Info.plist")
                         ["CFBundleShortVersionString"], published["XProtect15"])
        self.assertNotEqual(ver("apple-silicon", 0), published["XProtect15"])
        self.assertNotIn("Disabled", evaluated)

    def test_xprotect_remediator_events(self):
        def events(root):
            return json.loads(read(os.path.join(SIM, root, ".sim", "data", "log-show-xpr.out")))

        self.assertEqual(events("intel-catalina"), [])
        for root in ("intel-t2", "apple-silicon"):
            evs = events(root)
            self.assertGreaterEqual(len(evs), 24)
            for e in evs:
                self.assertEqual(e["subsystem"], "com.apple.XProtectFramework.PluginAPI")
                self.assertEqual(e["category"], "XPEvent.structured")
                self.assertTrue(e["processImagePath"].startswith(
                    "/Library/Apple/System/Library/CoreServices/XProtect.app/Contents/MacOS/XProtectRemediator"))
                msg = json.loads(e["eventMessage"])
                self.assertIsInstance(msg["execution_duration"], float)
                self.assertIsInstance(msg["caused_by"], list)
            stamps = [e["timestamp"] for e in evs]
            self.assertEqual(stamps, sorted(stamps))
        codes = [json.loads(e["eventMessage"])["status_code"] for e in events("apple-silicon")]
        self.assertEqual(set(codes), {20})
        messages = [json.loads(e["eventMessage"]) for e in events("intel-t2")]
        odd = [m for m in messages if m["status_code"] not in (20, 23, 31) and m["status_message"] != "Success"]
        self.assertEqual(len(odd), 1)
        self.assertNotEqual(odd[0].get("action"), "report")
        self.assertTrue(any(m["status_message"] == "Success" for m in messages))

    def test_json_layout_matches_the_captured_event(self):
        sample = "/work/shared/samples/log-show-style-json-screencapture-2025.json"
        if not os.path.exists(sample):
            self.skipTest("sample collection not available")
        want = list(json.loads(read(sample)))
        text = read(os.path.join(SIM, "intel-t2", ".sim", "data", "log-show-xpr.out"))
        self.assertTrue(text.startswith("[{\n  \"timezoneName\" : \"\",\n"))
        self.assertIn("\n},{\n", text)
        self.assertTrue(text.endswith("\n}]\n"))
        self.assertIn('"processImagePath" : "\\/Library\\/Apple', text)
        self.assertEqual(list(json.loads(text)[0]), want)


class ReferenceLists(unittest.TestCase):
    FAMILIES = ["iMacPro", "iMac", "MacBookPro", "MacBookAir", "MacBook", "MacPro", "Macmini"]

    def test_sysupdates(self):
        # The Published date and the newest release of each macOS are the refresh tool's to check.
        s = {k: v for k, v in load_plist(os.path.join(REFERENCE, "sysupdates.plist")).items()
             if k != "Published" and not k.startswith("macOS")}
        want = {"XProtect15", "XPremed", "MRT", "StudioDisplay"} | {
            "%s%d" % (k, n) for k in ("TCC", "KEXT") for n in (15, 16, 17, 18)}
        self.assertEqual(set(s), want)
        self.assertTrue(all(isinstance(v, str) for v in s.values()))
        self.assertEqual((s["XProtect15"], s["XPremed"], s["MRT"], s["StudioDisplay"]), ("5356", "157", "1.93", "17.0"))

    def test_apple_silicon_has_a_catch_all(self):
        a = load_plist(os.path.join(REFERENCE, "applesilicon.plist"))
        self.assertIn({"MacModel": "other", "iBootversion": "18000.161.10"},
                      [{k: v for k, v in e.items() if k != "Published"} for e in a])
        for e in a:
            self.assertFalse(e["iBootversion"].startswith(("iBoot", "mBoot")))

    def test_intel_lists_newest_first_and_no_row_shadows_another(self):
        all_models = []
        for fam in self.FAMILIES:
            rows = load_plist(os.path.join(REFERENCE, fam + ".plist"))
            self.assertTrue(rows, fam)
            numbers = [tuple(int(n) for n in r["MacModel"][len(fam):].split(",")) for r in rows]
            self.assertEqual(numbers, sorted(numbers, reverse=True), fam)
            for row in rows:
                self.assertEqual(set(row), {"MacModel", "EFIversion", "Published"})
                self.assertRegex(row["EFIversion"], r"^\d+(\.\d+)+$")
                self.assertEqual(re.match(r"[A-Za-z]+", row["MacModel"]).group(0), fam)
                first = next(r for r in rows if r["MacModel"] in row["MacModel"])
                self.assertIs(first, row, "%s is shadowed by %s" % (row["MacModel"], first["MacModel"]))
            all_models += [r["MacModel"] for r in rows]
        self.assertIn("MacBookPro16,2", all_models)
        self.assertEqual(len(all_models), len(set(all_models)))

    def test_intel_lists_follow_the_efi_table(self):
        table = "/work/shared/samples/intel-efi-versions-per-model-opencore-appledb-2026-08.txt"
        if not os.path.exists(table):
            self.skipTest("sample collection not available")
        want = {}
        for line in read(table).splitlines():
            cells = [c.strip() for c in line.split("|")]
            if line.startswith("#") or len(cells) < 2 or not re.match(r"^\d+(\.\d+)+$", cells[1]):
                continue
            want[cells[0]] = cells[1]
        got = {}
        for fam in self.FAMILIES:
            for row in load_plist(os.path.join(REFERENCE, fam + ".plist")):
                got[row["MacModel"]] = row["EFIversion"]
        self.assertEqual(got, {m: v for m, v in want.items() if not m.startswith("Xserve")})


class Generators(unittest.TestCase):
    def test_committed_trees_are_what_the_generators_write(self):
        tmp = tempfile.mkdtemp(prefix="simgen ")
        try:
            out = os.path.join(tmp, "sim")
            os.makedirs(os.path.join(out, "_common"))
            shutil.copy2(os.path.join(SIM, "_common", "lib.sh"), os.path.join(out, "_common", "lib.sh"))
            subprocess.run([sys.executable, os.path.join(HERE, "simgen.py"), "--out", out],
                           check=True, capture_output=True)
            for root in ROOTS:
                self.assert_same_tree(os.path.join(SIM, root), os.path.join(out, root))
        finally:
            shutil.rmtree(tmp)

    def assert_same_tree(self, a, b):
        def listing(top):
            found = {}
            for dirpath, dirs, files in os.walk(top):
                rel = os.path.relpath(dirpath, top)
                if rel.startswith(".sim/override"):
                    continue
                for name in files:
                    if rel == ".sim" and name == "calls.log":
                        continue
                    p = os.path.join(dirpath, name)
                    found[os.path.normpath(os.path.join(rel, name))] = (
                        ("link", os.readlink(p)) if os.path.islink(p) else ("file", p))
            return found

        la, lb = listing(a), listing(b)
        self.assertEqual(sorted(la), sorted(lb), a)
        for rel in la:
            ka, kb = la[rel], lb[rel]
            self.assertEqual(ka[0], kb[0], rel)
            if ka[0] == "link":
                self.assertEqual(ka[1], kb[1], rel)
            else:
                self.assertTrue(filecmp.cmp(ka[1], kb[1], shallow=False), "%s differs from the generator" % rel)


if __name__ == "__main__":
    unittest.main()
