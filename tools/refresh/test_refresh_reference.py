"""Tests of the reference list refresh, offline, on the small sources in testdata/ and the saved
copies in sources/.

    python3 -m unittest tools/refresh/test_refresh_reference.py      (or run this file directly)
"""

import contextlib
import copy
import datetime
import io
import json
import os
import plistlib
import shutil
import sys
import tempfile
import unittest
from unittest import mock

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import publish_decision  # noqa: E402
import refresh_reference as rr  # noqa: E402
from check_lists import LIST_NAMES, check_lists  # noqa: E402

TESTDATA = os.path.join(HERE, "testdata")
SOURCES = os.path.join(HERE, "sources")
REFERENCE = os.path.join(rr.REPO, "reference")
LAST_CHECK = datetime.datetime(2026, 8, 22, 18, 45, 3)


def read(*parts):
    with open(os.path.join(*parts), encoding="utf-8") as f:
        return f.read()


def quiet(function, *args):
    """function(*args) with its notes to stderr caught: (result or the SourceError raised, notes)."""
    err = io.StringIO()
    with contextlib.redirect_stderr(err), contextlib.redirect_stdout(io.StringIO()):
        try:
            result = function(*args)
        except rr.SourceError as error:
            result = error
    return result, err.getvalue()


FEED = json.loads(read(TESTDATA, "sofa-v2-macos_data_feed.json"))
XPROTECT = json.loads(read(TESTDATA, "sofa-xprotect.json"))
TABLE_TEXT = read(TESTDATA, "m1n1-firmware.c")
HANDKEPT = rr.load_handkept(read(HERE, "handkept.json"))


class Fails(str):
    """In a table of cases: the words of the SourceError expected."""


def assert_outcome(test, got, want):
    if isinstance(want, Fails):
        test.assertIsInstance(got, rr.SourceError)
        test.assertIn(want, str(got))
    else:
        test.assertNotIsInstance(got, rr.SourceError)
        test.assertEqual(got, want)


def release(version, build, name=None):
    return {"UpdateName": name or "macOS " + version, "ProductVersion": version, "Build": build,
            "ReleaseDate": "2026-08-20T00:00:00Z", "ReleaseType": "OS"}


def feed_with(*entries):
    """The test feed with more OSVersions entries, each (OSVersion, Latest release)."""
    feed = copy.deepcopy(FEED)
    feed["OSVersions"] += [{"OSVersion": name, "Latest": latest, "SecurityReleases": [latest]}
                           for name, latest in entries]
    return feed


class NewestRelease(unittest.TestCase):
    def test_newest_release_and_newest_per_major(self):
        reordered = copy.deepcopy(FEED)
        reordered["OSVersions"].reverse()
        cases = [
            # (what, feed, newest release, newest of macOS 26)
            ("the feed as cut", FEED, "26.6.2", "26.6.2"),
            ("majors in another order", reordered, "26.6.2", "26.6.2"),
            ("a beta of a new major, by its seed build", feed_with(("macOS 27", release("27.0", "27A5218g"))),
             "26.6.2", "26.6.2"),
            ("a beta by its name", feed_with(("Tahoe 26", release("26.7", "25H31", "macOS Tahoe 26.7 beta 2"))),
             "26.6.2", "26.6.2"),
            ("a release candidate by its type",
             feed_with(("Tahoe 26", dict(release("26.7", "25H40"), ReleaseType="RC"))), "26.6.2", "26.6.2"),
            ("a version that is not numbers only", feed_with(("Tahoe 26", release("26.6.2 (a)", "25G83a"))),
             "26.6.2", "26.6.2"),
            ("versions compared as numbers, not text", feed_with(("Tahoe 26", release("26.10", "25K10"))),
             "26.10", "26.10"),
            ("a released new major", feed_with(("macOS 27", release("27.0", "27A340"))), "27.0", "26.6.2"),
        ]
        for what, feed, newest, newest26 in cases:
            with self.subTest(what):
                self.assertEqual(rr.newest_release(feed), newest)
                per_major = rr.newest_per_major(feed)
                self.assertEqual(per_major[26], newest26)
                self.assertEqual((per_major[15], per_major[14]), ("15.7.9", "14.8.9"))

    def test_a_feed_without_releases_fails(self):
        only_a_beta = {"OSVersion": "macOS 27", "Latest": release("27.0", "27A5218g"), "SecurityReleases": []}
        for feed in ({"OSVersions": []}, {"OSVersions": [only_a_beta]}):
            with self.subTest(feed=feed):
                self.assertRaises(rr.SourceError, rr.newest_per_major, feed)


class AppleSiliconFirmware(unittest.TestCase):
    ROW_2662 = '    [V26_6_2]    = {V26_6_2,    "26.6.2",      {26, 6, 2},     3, "mBoot-18000.161.10"},\n'
    WITH_2662 = TABLE_TEXT.replace("    // clang-format on", ROW_2662 + "    // clang-format on")

    def pin(self, version, firmware):
        return {"macOS": version, "firmware": firmware, "source": "test"}

    def test_pin_rules(self):
        table_with_row = rr.m1n1_table(self.WITH_2662)
        table = rr.m1n1_table(TABLE_TEXT)
        cases = [
            # (what, table, pins, newest release, firmware or Fails(the error's words))
            ("the table's row", table, [], "26.4", "18000.101.7"),
            ("a release given as major.minor.0", table, [], "26.0.0", "13822.1.2"),
            ("a commented 'same as' row is a release", table, [], "14.8.3", "10151.140.19.700.2"),
            ("a pin fills in what the table lacks", table, [self.pin("26.6.2", "mBoot-18000.161.10")], "26.6.2",
             "18000.161.10"),
            ("the table wins over an agreeing pin", table_with_row, [self.pin("26.6.2", "mBoot-18000.161.10")],
             "26.6.2", "18000.161.10"),
            ("the table contradicts the pin", table_with_row, [self.pin("26.6.2", "mBoot-18000.161.9")], "26.6.2",
             Fails("m1n1 table says mBoot-18000.161.10")),
            ("a pin of another version contradicted", table, [self.pin("26.4", "mBoot-18000.101.8"),
                                                               self.pin("26.6.2", "mBoot-18000.161.10")], "26.6.2",
             Fails("m1n1 table says mBoot-18000.101.7")),
            ("in neither: no older row taken", table, [], "26.6.2", Fails("neither the m1n1 table")),
        ]
        for what, table_, pins, version, want in cases:
            with self.subTest(what):
                got, notes = quiet(rr.apple_silicon_firmware, table_, pins, version)
                assert_outcome(self, got if isinstance(got, rr.SourceError) else got[0], want)
                if table_ is table_with_row and not isinstance(want, Fails):
                    self.assertIn("the pin can go", notes)

    def test_betas_and_unknown_are_not_rows(self):
        self.assertEqual(sorted(name for name, _fw in rr.m1n1_table(TABLE_TEXT).values()),
                         ["14.7", "14.8.3", "15.6", "26.0", "26.3", "26.4"])


class IntelFamilies(unittest.TestCase):
    def test_numeric_bios_only_newest_model_first(self):
        families = rr.FolderSources(TESTDATA).opencore()
        got = {f: [(r["MacModel"], r["EFIversion"]) for r in rows] for f, rows in rr.intel_families(families).items()}
        self.assertEqual(got["MacBookPro"], [("MacBookPro16,2", "2094.80.5.0.0"), ("MacBookPro11,1", "478.0.0.0.0"),
                                             ("MacBookPro6,2", "99.0.0.0.0")])  # not MacBookPro1,1 (MBP11.88Z…)
        self.assertEqual(got["iMac"], [("iMac20,1", "2094.80.5.0.0")])  # not iMac4,1
        self.assertEqual(got["MacBook"], [("MacBook10,1", "529.140.2.0.0")])
        self.assertNotIn("Xserve", got)

    def test_yaml_fields(self):
        keys = ("SystemProductName", "BIOSVersion")
        cases = [
            # (text, fields or Fails(the error's words))
            ('BIOSVersion: "99.0.0.0.0"\nSystemProductName: "MacBookPro6,2"\n',
             {"BIOSVersion": "99.0.0.0.0", "SystemProductName": "MacBookPro6,2"}),
            ("BIOSVersion: 99.0.0.0.0  # plain\nSystemProductName: 'MacBookPro6,2'\nOEMStrings: |-\n  BIOSVersion: 1\n",
             {"BIOSVersion": "99.0.0.0.0", "SystemProductName": "MacBookPro6,2"}),
            ('SystemProductName: "MacBookPro6,2"\n', Fails("no BIOSVersion")),
            ('BIOSVersion: "1"\nBIOSVersion: "2"\nSystemProductName: "x"\n', Fails("appears twice")),
            ('BIOSVersion: {a: 1}\nSystemProductName: "x"\n', Fails("cannot read BIOSVersion")),
        ]
        for text, want in cases:
            with self.subTest(text=text):
                assert_outcome(self, quiet(rr.yaml_top_level, text, keys, "t.yaml")[0], want)


class SecurityData(unittest.TestCase):
    def test_sofa_files_must_agree(self):
        def v2(section, value):
            feed = copy.deepcopy(FEED)
            feed[section][next(k for k in feed[section] if k.startswith("com.apple"))] = value
            return feed

        def xprotect(path, value):
            record = copy.deepcopy(XPROTECT)
            if len(path) == 2:
                record[path[0]][path[1]] = value
            elif value is None:
                del record[path[0]]
            else:
                record[path[0]] = value
            return record

        no_mrt = xprotect(("mrt_version",), None)
        del no_mrt["xprotect_entries"]["com.apple.MRT"]
        cases = [
            # (what, v2 feed, xprotect record, versions or Fails(the error's words))
            ("agreeing", FEED, XPROTECT, {"XProtect15": "5356", "XPremed": "157", "MRT": "1.93"}),
            ("v2 XProtect ahead", v2("XProtectPlistConfigData", "5357"), XPROTECT,
             Fails("disagree on com.apple.XProtect:")),
            ("v2 Remediator behind", v2("XProtectPayloads", "156"), XPROTECT,
             Fails("disagree on com.apple.XProtectFramework.XProtect")),
            ("the record's own fields differ", FEED, xprotect(("xprotect_entries", "com.apple.MRT"), "1.94"),
             Fails("disagree on com.apple.MRT")),
            ("config_version differs", FEED, xprotect(("config_version",), "5355"),
             Fails("disagree on com.apple.XProtect:")),
            ("no MRT anywhere", FEED, no_mrt, Fails("no com.apple.MRT version")),
            ("no XProtect in the v2 feed", v2("XProtectPlistConfigData", ""), XPROTECT,
             Fails("no com.apple.XProtect version in sofa-v2")),
            ("not a version", FEED, xprotect(("mrt_version",), "n/a"), Fails("not a version")),
        ]
        for what, feed, record, want in cases:
            with self.subTest(what):
                assert_outcome(self, quiet(rr.security_versions, feed, record)[0], want)

    def test_catalog_cross_check(self):
        versions = {"XProtect15": "5356", "XPremed": "157", "MRT": "1.93"}
        cases = [
            # (what, change to the catalog folder: file, text, its replacement (None: file removed),
            #  None or Fails(the error's words), words in the notes)
            ("agreeing", None, None, "XProtect15 5356 matches"),
            ("the catalog is ahead", ("XProtectPlistConfigData_10_15.pkm", '"5356"', '"5357"'),
             Fails("Apple's software update catalog 5357"), ""),
            ("no MRT package", ("MRTConfigData_10_14.pkm", "com.apple.MRT", "com.apple.other"), None,
             "MRT not cross-checked"),
            ("a named metadata file missing", ("XProtectPayloads_10_15.pkm", None, None), Fails("cannot read"), ""),
            ("no catalog", ("index.sucatalog", None, None), None, "not cross-checked: no copy"),
        ]
        for what, change, error, notes_want in cases:
            with self.subTest(what), tempfile.TemporaryDirectory() as tmp:
                shutil.copytree(os.path.join(TESTDATA, rr.CATALOG), os.path.join(tmp, rr.CATALOG))
                if change:
                    path = os.path.join(tmp, rr.CATALOG, change[0])
                    if change[1] is None:
                        os.remove(path)
                    else:
                        with open(path, "r+", encoding="utf-8") as f:
                            text = f.read().replace(change[1], change[2])
                            f.seek(0)
                            f.truncate()
                            f.write(text)
                got, notes = quiet(rr.cross_check_catalog, rr.FolderSources(tmp), versions)
                assert_outcome(self, got, error)
                self.assertIn(notes_want, notes)


class Lists(unittest.TestCase):
    def test_published_on_every_list_and_row(self):
        for published, want in [(None, LAST_CHECK), (rr.parse_date("2026-09-01T08:00:00+02:00"),
                                                     datetime.datetime(2026, 9, 1, 6, 0, 0))]:
            with self.subTest(published=published):
                lists, _ = quiet(rr.build_lists, rr.FolderSources(TESTDATA), HANDKEPT, published)
                self.assertEqual(check_lists(lists), [])
                self.assertEqual(lists["sysupdates.plist"]["Published"], want)
                rows = [row for name in LIST_NAMES if name != "sysupdates.plist" for row in lists[name]]
                self.assertEqual({row["Published"] for row in rows}, {want})
                self.assertTrue(all("MacModel" in row for name, value in lists.items()
                                    if name != "brindledapps.plist" and isinstance(value, list) for row in value))

    def test_sysupdates_keys(self):
        lists, _ = quiet(rr.build_lists, rr.FolderSources(TESTDATA), HANDKEPT)
        got = {k: v for k, v in lists["sysupdates.plist"].items() if k != "Published"}
        self.assertEqual(got, dict({"XProtect15": "5356", "XPremed": "157", "MRT": "1.93", "StudioDisplay": "17.0",
                                    "macOS26": "26.6.2", "macOS15": "15.7.9", "macOS14": "14.8.9"},
                                   **{"%s%d" % (k, n): "" for k in ("TCC", "KEXT") for n in (15, 16, 17, 18)}))

    def test_handkept_values_need_sources_and_keep_off_the_feeds(self):
        good = json.loads(read(HERE, "handkept.json"))
        cases = []
        for what, edit, words in [
            ("no source", lambda d: d["sysupdates"]["TCC15"].pop("source"), "has no source note"),
            ("a feed's key", lambda d: d["sysupdates"].update(XProtect15={"value": "1", "source": "s"}),
             "not a hand-kept key"),
            ("a pin without its prefix", lambda d: d["applesilicon"]["pins"][0].update(firmware="18000.161.10"),
             "iBoot-/mBoot-"),
            ("an app row without its source", lambda d: d["brindledapps"][0].update(source=" "), "no source note"),
        ]:
            data = copy.deepcopy(good)
            edit(data)
            cases.append((what, data, words))
        for what, data, words in cases:
            with self.subTest(what):
                with self.assertRaisesRegex(rr.SourceError, words):
                    rr.load_handkept(json.dumps(data))


class PublishDecision(unittest.TestCase):
    def test_content_or_a_week_old_date(self):
        committed, _ = quiet(rr.build_lists, rr.FolderSources(TESTDATA), HANDKEPT)

        def refreshed(days_later=0, edit=None):
            new = copy.deepcopy(committed)
            for name, value in new.items():
                for entry in value if isinstance(value, list) else [value]:
                    entry["Published"] += datetime.timedelta(days=days_later)
            if edit:
                edit(new)
            return new

        def without(name, key):
            def edit(lists):
                del lists[name][key]
            return edit

        cases = [
            # (what, committed lists, refreshed lists, decision)
            ("the same", committed, refreshed(), "none"),
            ("only the date, three days on", committed, refreshed(3), "none"),
            ("only the date, eight days on", committed, refreshed(8), "date"),
            ("a row changed, same date", committed,
             refreshed(0, lambda lists: lists["MacPro.plist"][0].update(EFIversion="2094.100.1.0.0")), "content"),
            ("a macOS release added", committed, refreshed(0, lambda lists: lists["sysupdates.plist"].update(
                macOS27="27.0")), "content"),
            ("no list committed yet", {}, refreshed(), "content"),
            ("the committed lists without dates", refreshed(0, without("sysupdates.plist", "Published")),
             refreshed(), "date"),
        ]
        for what, old, new, want in cases:
            with self.subTest(what):
                self.assertEqual(publish_decision.decide(old, new, datetime.timedelta(days=7)), want)


class CommandLine(unittest.TestCase):
    def run_tool(self, *args):
        out, err = io.StringIO(), io.StringIO()
        with contextlib.redirect_stdout(out), contextlib.redirect_stderr(err):
            try:
                status = rr.main(list(args))
            except SystemExit as exit_:
                status = exit_.code
        return status, out.getvalue() + err.getvalue()

    def snapshot(self, folder):
        found = {}
        for name in sorted(os.listdir(folder)):
            with open(os.path.join(folder, name), "rb") as f:
                found[name] = f.read()
        return found

    def test_check_and_writing(self):
        with tempfile.TemporaryDirectory() as tmp:
            out = os.path.join(tmp, "out")
            status, said = self.run_tool("--from", TESTDATA, "--out", out)
            self.assertEqual(status, 0, said)
            self.assertEqual(sorted(os.listdir(out)), sorted(LIST_NAMES))  # no temporary file left
            written = self.snapshot(out)

            def edit_row(path):
                with open(path, "rb") as f:
                    rows = plistlib.load(f)
                rows[0]["EFIversion"] = "1.0"
                with open(path, "wb") as f:
                    plistlib.dump(rows, f)

            cases = [
                # (what, change to the output folder, --check status, the list it names)
                ("unchanged", lambda: None, 0, None),
                ("a row edited", lambda: edit_row(os.path.join(out, "MacPro.plist")), 1, "MacPro.plist"),
                ("a list missing", lambda: os.remove(os.path.join(out, "iMac.plist")), 1, "iMac.plist"),
            ]
            for what, change, want, named in cases:
                with self.subTest(what):
                    change()
                    before = self.snapshot(out)
                    status, said = self.run_tool("--from", TESTDATA, "--out", out, "--check")
                    self.assertEqual(status, want, said)
                    self.assertEqual(self.snapshot(out), before)  # --check writes nothing
                    if named:
                        self.assertIn(named + " would change", said)
                    self.assertEqual(self.run_tool("--from", TESTDATA, "--out", out)[0], 0)
                    self.assertEqual(self.snapshot(out), written)

    def test_a_source_problem_writes_nothing(self):
        with tempfile.TemporaryDirectory() as tmp:
            sources, out = os.path.join(tmp, "sources"), os.path.join(tmp, "out")
            shutil.copytree(TESTDATA, sources)
            os.makedirs(out)
            with open(os.path.join(out, "MacPro.plist"), "w") as f:
                f.write("old")
            with open(os.path.join(sources, rr.M1N1), "w") as f:
                f.write(TABLE_TEXT.replace("fw_versions", "fw_table"))
            status, said = self.run_tool("--from", sources, "--out", out)
            self.assertEqual(status, 3)
            self.assertIn("no fw_versions[] table", said)
            self.assertEqual(self.snapshot(out), {"MacPro.plist": b"old"})

    def test_options(self):
        cases = [
            (["--published", "2026-09-01"], 0),
            (["--published", "2026-09-01T10:11:12Z"], 0),
            (["--published", "yesterday"], 2),
            (["--save", "elsewhere"], 2),  # --save keeps what a live run read, not copies of copies
        ]
        for options, status in cases:
            with self.subTest(options), tempfile.TemporaryDirectory() as tmp:
                self.assertEqual(self.run_tool("--from", TESTDATA, "--out", tmp, *options)[0], status)

    def test_a_live_run_saves_the_copies_it_was_built_from(self):
        # GitHub and Apple as the live run sees them, answered from testdata; m1n1's live table has
        # the pinned row by now, and Apple's catalog is out of reach.
        commits = {("macadmins/sofa", "main"): "5" * 40, ("AsahiLinux/m1n1", "main"): "3" * 40,
                   ("acidanthera/OpenCorePkg", "master"): "1" * 40}
        answers = {}
        for (repository, branch), sha in commits.items():
            answers["https://api.github.com/repos/%s/branches/%s" % (repository, branch)] = json.dumps(
                {"commit": {"sha": sha, "commit": {"committer": {"date": "2026-08-30T10:00:00Z"}}}})
        raw = "https://raw.githubusercontent.com/"
        answers[raw + "macadmins/sofa/%s/v2/macos_data_feed.json" % ("5" * 40)] = read(TESTDATA, rr.SOFA_V2)
        answers[raw + "macadmins/sofa/%s/data/resources/xprotect.json" % ("5" * 40)] = read(TESTDATA, rr.SOFA_XPROTECT)
        answers[raw + "AsahiLinux/m1n1/%s/src/firmware.c" % ("3" * 40)] = AppleSiliconFirmware.WITH_2662
        tree = [{"path": "AppleModels/DataBase", "type": "tree"},
                {"path": "AppleModels/DataBase/README.md", "type": "blob"}]
        database = os.path.join(TESTDATA, rr.OPENCORE)
        for folder, _dirs, names in os.walk(database):
            for name in names:
                path = "AppleModels/DataBase/" + os.path.relpath(os.path.join(folder, name), database)
                tree.append({"path": path, "type": "blob"})
                answers[raw + "acidanthera/OpenCorePkg/%s/%s" % ("1" * 40, path)] = read(folder, name)
        answers["https://api.github.com/repos/acidanthera/OpenCorePkg/git/trees/%s?recursive=1" % ("1" * 40)] = \
            json.dumps({"tree": tree, "truncated": False})

        def fetch(url, cap, github_api=False):
            if url not in answers:
                raise rr.SourceError(url + ": out of reach")
            return answers[url].encode("utf-8")

        with tempfile.TemporaryDirectory() as tmp, mock.patch.object(rr, "fetch", fetch):
            saved, out = os.path.join(tmp, "saved"), os.path.join(tmp, "out")
            os.makedirs(os.path.join(saved, rr.OPENCORE, "MacPro"))
            shutil.copy(os.path.join(SOURCES, "README.md"), saved)
            with open(os.path.join(saved, rr.OPENCORE, "MacPro", "MP99.yaml"), "w") as f:
                f.write("a model the database no longer has")
            status, said = self.run_tool("--out", out, "--save", saved)
            self.assertEqual(status, 0, said)
            self.assertIn("not cross-checked", said)
            self.assertIn("the pin can go", said)
            self.assertFalse(os.path.exists(os.path.join(saved, rr.OPENCORE, "MacPro", "MP99.yaml")))
            self.assertIn("| github.com/AsahiLinux/m1n1 `src/firmware.c` | 33333333 | 2026-08-30 |",
                          read(saved, "README.md"))
            status, said = self.run_tool("--from", saved, "--out", out, "--check")
            self.assertEqual(status, 0, said)

    def test_committed_lists_are_what_the_saved_sources_give(self):
        status, said = self.run_tool("--from", SOURCES, "--out", REFERENCE, "--check")
        self.assertEqual(status, 0, said)
        self.assertIn("not cross-checked", said)


if __name__ == "__main__":
    unittest.main()
