#!/usr/bin/env python3
"""Builds the reference lists (reference/*.plist) from public, neutral sources.

    tools/refresh/refresh_reference.py [--from DIR] [--out DIR] [--published DATE] [--check]
                                       [--handkept FILE] [--save DIR]

Sources, read from GitHub (each repository at its branch's newest commit), or with --from from saved
copies in DIR under the file names of tools/refresh/sources/ (whose README names each copy's origin
and revision); a live run with --save DIR keeps what it read there, to build the same lists again:

  sofa-v2-macos_data_feed.json     MacAdmins SOFA's v2 feed: XProtect and XProtect Remediator versions,
                                   the released macOS versions, and the refresh date (LastCheck)
  sofa-xprotect.json               SOFA's XProtect record: the MRT version, and a second word on
                                   XProtect and XProtect Remediator (the two must agree)
  m1n1-firmware.c                  AsahiLinux/m1n1's table of Apple-silicon system firmware per macOS
  opencore-AppleModels-DataBase/   OpenCore's per-model database: the Intel firmware versions
  apple-sucatalog/ (optional)      Apple's software update catalog and the package metadata it names,
                                   to cross-check the security data versions (a live run fetches them
                                   from Apple and does not save them); without them the versions are
                                   "not cross-checked"

and tools/refresh/handkept.json (or --handkept FILE): the values no public source carries, each
with a note of where it comes from.

Every list gets a Published date, the same for the whole refresh: SOFA's LastCheck to the second
(UTC), or --published. So building again from the same copies gives the same bytes.

The lists go to --out (default: the repository's reference/), each written to a temporary file and
renamed, and only once every list has been built and has passed tools/refresh/check_lists.py's
checks. --check writes nothing and tells whether --out holds the lists it would write.

Exit status: 0 done (with --check: nothing would change), 1 with --check: a list would change,
2 usage error, 3 a source could not be read or does not hold what the lists need.
"""

import argparse
import datetime
import gzip
import io
import json
import os
import plistlib
import re
import sys
import tempfile
import urllib.error
import urllib.parse
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, HERE)
from check_lists import FAMILIES, LIST_NAMES, check_lists  # noqa: E402

DEFAULT_OUT = os.path.join(REPO, "reference")
DEFAULT_HANDKEPT = os.path.join(HERE, "handkept.json")

SOFA_V2 = "sofa-v2-macos_data_feed.json"
SOFA_XPROTECT = "sofa-xprotect.json"
M1N1 = "m1n1-firmware.c"
OPENCORE = "opencore-AppleModels-DataBase"
CATALOG = "apple-sucatalog"

# The public sources, as (repository, branch, path) on GitHub. Each is read at its branch's newest
# commit, found first, so that every file of one repository comes from one revision: the two SOFA
# files then speak for the same moment, and a disagreement between them is SOFA's, not a race of two
# fetches. (The v2 feed in SOFA's repository is the one sofafeed.macadmins.io/v2/ serves; SOFA's
# XProtect record is only in the repository, and its v1 feed, which lacks MRT too, is deprecated.)
GITHUB = {
    SOFA_V2: ("macadmins/sofa", "main", "v2/macos_data_feed.json"),
    SOFA_XPROTECT: ("macadmins/sofa", "main", "data/resources/xprotect.json"),
    M1N1: ("AsahiLinux/m1n1", "main", "src/firmware.c"),
    OPENCORE: ("acidanthera/OpenCorePkg", "master", "AppleModels/DataBase"),
}
CATALOG_URL = ("https://swscan.apple.com/content/catalogs/others/index-26-15-14-13-12-10.16-10.15-10.14-10.13-"
               "10.12-10.11-10.10-10.9-mountainlion-lion-snowleopard-leopard.merged-1.sucatalog.gz")
TIMEOUT = 60  # seconds, for each request
MiB = 1024 * 1024
# The largest answer taken from each kind of source; anything bigger is refused, not cut.
CAPS = {SOFA_V2: 32 * MiB, SOFA_XPROTECT: 1 * MiB, M1N1: 4 * MiB, "api": 16 * MiB, OPENCORE: 1 * MiB,
        "catalog": 128 * MiB, "catalog-unpacked": 512 * MiB, "pkm": 1 * MiB}

# The security data: sysupdates key, the bundle it versions, the SOFA v2 section that carries it
# (MRT has none), SOFA's XProtect record's own field for it, and the catalog packages named after it.
SECURITY_DATA = [
    ("XProtect15", "com.apple.XProtect", "XProtectPlistConfigData", "config_version", "XProtectPlistConfigData"),
    ("XPremed", "com.apple.XProtectFramework.XProtect", "XProtectPayloads", "remediator_version",
     "XProtectPayloads"),
    ("MRT", "com.apple.MRT", None, "mrt_version", "MRTConfigData"),
]
# What the hand-kept file may set in sysupdates.plist: everything else there comes from the feeds.
HANDKEPT_SYSUPDATES = re.compile(r"^StudioDisplay$|^(TCC|KEXT)\d+$")

VERSION = re.compile(r"^\d+(\.\d+)*$")
FIRMWARE = re.compile(r"^(iBoot|mBoot)-(\d+(\.\d+)*)$")


class SourceError(Exception):
    """A source that could not be read or does not hold what the lists need."""


def note(text):
    print("refresh_reference: " + text, file=sys.stderr)


def version_key(text):
    """A version as a tuple of numbers without trailing zeros ("26.0" and "26" are one version)."""
    parts = [int(p) for p in text.split(".")]
    while len(parts) > 1 and parts[-1] == 0:
        parts.pop()
    return tuple(parts)


# ---------------------------------------------------------------------------------------- reading

class FolderSources:
    """Saved copies in a folder, under the names of tools/refresh/sources/."""

    live = False

    def __init__(self, folder):
        self.folder = folder

    def _read(self, *parts):
        path = os.path.join(self.folder, *parts)
        try:
            with open(path, "rb") as f:
                return f.read()
        except OSError as error:
            raise SourceError("cannot read %s: %s" % (path, error.strerror)) from None

    def text(self, name):
        return _decode(self._read(name), name)

    def opencore(self):
        """{family: [(file name, text)]} of the database's YAML files."""
        found = {}
        for family in FAMILIES:
            folder = os.path.join(self.folder, OPENCORE, family)
            if not os.path.isdir(folder):
                raise SourceError("no folder %s" % folder)
            found[family] = [(n, _decode(self._read(OPENCORE, family, n), n))
                             for n in sorted(os.listdir(folder)) if n.endswith(".yaml")]
        return found

    def catalog(self):
        """(catalog bytes, function from package metadata address to its bytes), or None."""
        folder = os.path.join(self.folder, CATALOG)
        for name in ("index.sucatalog", "index.sucatalog.gz"):
            if os.path.exists(os.path.join(folder, name)):
                data = self._read(CATALOG, name)
                return data, lambda url: self._read(CATALOG, os.path.basename(urllib.parse.urlsplit(url).path))
        return None

    def describe(self):
        return self.folder


class LiveSources:
    """The public sources, read with urllib. Keeps what it read, and at which revision, for --save."""

    live = True

    def __init__(self):
        self.read = {}       # path under a --from folder: bytes
        self.revisions = {}  # source name: (repository, path, commit, commit date)
        self._commits = {}

    def _commit(self, repository, branch):
        if (repository, branch) not in self._commits:
            record = _json(fetch("https://api.github.com/repos/%s/branches/%s" % (repository, branch), CAPS["api"],
                                 github_api=True), "the %s branch record" % repository)
            try:
                commit = record["commit"]["sha"]
                date = record["commit"]["commit"]["committer"]["date"][:10]
            except (KeyError, TypeError):
                raise SourceError("%s: no commit in the %s branch record" % (repository, branch)) from None
            self._commits[(repository, branch)] = (commit, date)
        return self._commits[(repository, branch)]

    def _raw(self, repository, commit, path, cap, saved_as):
        url = "https://raw.githubusercontent.com/%s/%s/%s" % (repository, commit, urllib.parse.quote(path))
        self.read[saved_as] = fetch(url, cap)
        return _decode(self.read[saved_as], path)

    def text(self, name):
        repository, branch, path = GITHUB[name]
        commit, date = self._commit(repository, branch)
        self.revisions[name] = (repository, path, commit, date)
        return self._raw(repository, commit, path, CAPS[name], name)

    def opencore(self):
        repository, branch, folder = GITHUB[OPENCORE]
        commit, date = self._commit(repository, branch)
        tree = _json(fetch("https://api.github.com/repos/%s/git/trees/%s?recursive=1" % (repository, commit),
                           CAPS["api"], github_api=True), "the %s file tree" % repository)
        if not isinstance(tree, dict) or not isinstance(tree.get("tree"), list):
            raise SourceError("%s: no file tree for %s" % (repository, commit))
        if tree.get("truncated"):
            raise SourceError("%s: the file tree came back truncated" % repository)
        self.revisions[OPENCORE] = (repository, folder + "/", commit, date)
        found = {family: [] for family in FAMILIES}
        for entry in tree["tree"]:
            parts = entry.get("path", "").split("/")
            if (entry.get("type") == "blob" and len(parts) == 4 and "/".join(parts[:2]) == folder
                    and parts[2] in found and parts[3].endswith(".yaml")):
                saved_as = "/".join([OPENCORE, parts[2], parts[3]])
                found[parts[2]].append((parts[3], self._raw(repository, commit, entry["path"], CAPS[OPENCORE],
                                                            saved_as)))
        return found

    def catalog(self):
        return fetch(CATALOG_URL, CAPS["catalog"]), lambda url: fetch(url, CAPS["pkm"])

    def describe(self):
        return ", ".join("%s@%s" % (GITHUB[name][0], self.revisions[name][2][:8])
                         for name in (SOFA_V2, M1N1, OPENCORE) if name in self.revisions)


def fetch(url, cap, github_api=False):
    """The body at url, at most cap bytes, or SourceError."""
    headers = {"User-Agent": "lanternquill-refresh-reference"}
    if github_api:
        headers["Accept"] = "application/vnd.github+json"
        # A token, when the workflow gives one, lifts the low limit on anonymous API calls.
        if os.environ.get("GITHUB_TOKEN"):
            headers["Authorization"] = "Bearer " + os.environ["GITHUB_TOKEN"]
    try:
        with urllib.request.urlopen(urllib.request.Request(url, headers=headers), timeout=TIMEOUT) as answer:
            body = answer.read(cap + 1)
    except urllib.error.HTTPError as error:
        raise SourceError("%s: HTTP %d %s" % (url, error.code, error.reason)) from None
    except (urllib.error.URLError, OSError) as error:
        raise SourceError("%s: %s" % (url, getattr(error, "reason", error))) from None
    if len(body) > cap:
        raise SourceError("%s: more than %d bytes" % (url, cap))
    return body


def _decode(data, name):
    try:
        return data.decode("utf-8")
    except UnicodeDecodeError:
        raise SourceError("%s is not UTF-8 text" % name) from None


def _json(text, name):
    try:
        return json.loads(text)
    except ValueError as error:
        raise SourceError("%s is not JSON: %s" % (name, error)) from None


# --------------------------------------------------------------------------------------- the feeds

def parse_date(text):
    """An ISO 8601 date or date and time as a UTC datetime to the second (plistlib's form: naive)."""
    m = re.match(r"^(\d{4}-\d\d-\d\d)(?:[T ](\d\d:\d\d(?::\d\d)?)(?:\.\d+)?(Z|[+-]\d\d:?\d\d)?)?$", text.strip())
    if not m:
        raise ValueError("not an ISO 8601 date: %r" % text)
    day, clock, zone = m.groups()
    when = datetime.datetime.fromisoformat(day + "T" + (clock or "00:00"))
    if zone and zone != "Z":
        sign = 1 if zone[0] == "+" else -1
        hours, minutes = int(zone[1:3]), int(zone[-2:])
        when -= sign * datetime.timedelta(hours=hours, minutes=minutes)
    return when


def is_beta(release):
    """True for a SOFA release record that is not a public release: a beta or candidate by name or
    type, a version that is not plain numbers, or a seed build number (digits, a letter, four digits
    and a trailing letter: 25A5279m; released builds have no trailing letter, and the rapid security
    responses' builds are longer)."""
    words = " ".join(str(release.get(k, "")) for k in ("UpdateName", "ProductVersion", "ReleaseType"))
    if re.search(r"\b(beta|rc|release candidate|seed)\b", words, re.IGNORECASE):
        return True
    if not VERSION.match(str(release.get("ProductVersion", ""))):
        return True
    return bool(re.match(r"^\d+[A-Z]\d{4}[a-z]$", str(release.get("Build", ""))))


def released_versions(feed):
    """The released macOS versions the v2 feed names (each OS's Latest and its security releases)."""
    os_versions = feed.get("OSVersions")
    if not isinstance(os_versions, list) or not os_versions:
        raise SourceError("%s: no OSVersions" % SOFA_V2)
    found = set()
    for entry in os_versions:
        releases = [entry.get("Latest")] + list(entry.get("SecurityReleases") or [])
        for release in releases:
            if isinstance(release, dict) and not is_beta(release):
                found.add(release["ProductVersion"])
    if not found:
        raise SourceError("%s: no released macOS version" % SOFA_V2)
    return found


def newest_per_major(feed):
    """{major: newest released version}: {26: "26.6.2", 15: "15.7.9", …}."""
    newest = {}
    for version in released_versions(feed):
        major = version_key(version)[0]
        if major not in newest or version_key(version) > version_key(newest[major]):
            newest[major] = version
    return newest


def newest_release(feed):
    return max(newest_per_major(feed).values(), key=version_key)


def security_versions(v2, xprotect):
    """{sysupdates key: version} from the two SOFA files, which must agree wherever both speak."""
    versions = {}
    entries = xprotect.get("xprotect_entries") or {}
    for key, bundle, v2_section, field, _package in SECURITY_DATA:
        said = []  # (where, value)
        if v2_section:
            said.append(("%s %s[%s]" % (SOFA_V2, v2_section, bundle), (v2.get(v2_section) or {}).get(bundle)))
        said.append(("%s %s" % (SOFA_XPROTECT, field), xprotect.get(field)))
        said.append(("%s xprotect_entries[%s]" % (SOFA_XPROTECT, bundle), entries.get(bundle)))
        present = [(where, str(value).strip()) for where, value in said if value not in (None, "")]
        if not present or (v2_section and present[0][0] != said[0][0]):
            # The v2 feed is the source of what it carries; the XProtect record only seconds it.
            raise SourceError("no %s version in %s" % (bundle, said[0][0] if v2_section else "the SOFA files"))
        for where, value in present:
            if not VERSION.match(value):
                raise SourceError("%s is %r, not a version" % (where, value))
        if len({version_key(v) for _w, v in present}) > 1:
            raise SourceError("the SOFA files disagree on %s: %s" % (
                bundle, "; ".join("%s = %s" % p for p in present)))
        versions[key] = present[0][1]
    return versions


# ------------------------------------------------------------------------------------------ m1n1

M1N1_ROW = re.compile(r'^\s*(?://\s*)?(?:\[\w+\]\s*=\s*)?\{\s*\w+\s*,\s*"([^"]*)"\s*,\s*\{[^}]*\}\s*,\s*\d+\s*,'
                      r'\s*"([^"]*)"\s*\}')


def m1n1_table(text):
    """{version key: (macOS version, firmware string)} of the released versions in fw_versions[].

    Rows left as comments count: m1n1 writes a release whose firmware equals an earlier row's that way
    ("Same as 12.5"), and it is a release all the same. Betas, candidates and "unknown" are left out."""
    m = re.search(r"fw_versions\s*\[[^\]]*\]\s*=\s*\{(.*?)\n\};", text, re.DOTALL)
    if not m:
        raise SourceError("%s: no fw_versions[] table" % M1N1)
    table = {}
    for line in m.group(1).splitlines():
        row = M1N1_ROW.match(line)
        if not row:
            continue
        name, firmware = row.group(1).strip(), row.group(2)
        if not VERSION.match(name):
            continue
        if not FIRMWARE.match(firmware):
            raise SourceError("%s: macOS %s has firmware %r" % (M1N1, name, firmware))
        key = version_key(name)
        if key in table and table[key][1] != firmware:
            raise SourceError("%s: macOS %s appears twice, as %s and %s" % (M1N1, name, table[key][1], firmware))
        table[key] = (name, firmware)
    if not table:
        raise SourceError("%s: no released macOS in fw_versions[]" % M1N1)
    return table


def apple_silicon_firmware(table, pins, version):
    """The system firmware (without its iBoot-/mBoot- prefix) of macOS version, and where it came from.

    The m1n1 table wins when it has the row. A pin fills in a version a saved copy of the table does
    not reach yet; a pin the table contradicts, or a version neither has, is an error: an older row
    would mark every up-to-date Mac as behind."""
    for pin in pins:
        row = table.get(version_key(pin["macOS"]))
        if row and row[1] != pin["firmware"]:
            raise SourceError("the hand-kept firmware of macOS %s is %s, the m1n1 table says %s" % (
                pin["macOS"], pin["firmware"], row[1]))
    row = table.get(version_key(version))
    if row:
        firmware, origin = row[1], "m1n1 table"
        if any(version_key(p["macOS"]) == version_key(version) for p in pins):
            note("the hand-kept firmware of macOS %s is now in the m1n1 table; the pin can go" % version)
    else:
        pin = next((p for p in pins if version_key(p["macOS"]) == version_key(version)), None)
        if not pin:
            raise SourceError("macOS %s is the newest release, and neither the m1n1 table (newest row %s) nor "
                              "the hand-kept pins give its firmware" % (version, table[max(table)][0]))
        firmware, origin = pin["firmware"], "hand-kept pin (%s)" % pin["source"]
    return FIRMWARE.match(firmware).group(2), origin


# -------------------------------------------------------------------------------------- OpenCore

def yaml_top_level(text, keys, name):
    """The top-level scalars keys of a YAML file, as strings.

    The database's files write them as plain or double-quoted scalars on a line of their own; that is
    all this reads, and any other form of these keys is an error rather than a guess."""
    found = {}
    for line in text.splitlines():
        m = re.match(r"^([A-Za-z0-9_]+):(.*)$", line)
        if not m or m.group(1) not in keys:
            continue
        raw = m.group(2).split(" #")[0].strip()
        quoted = re.match(r'^"([^"\\]*)"$', raw) or re.match(r"^'([^']*)'$", raw)
        if quoted:
            value = quoted.group(1)
        elif re.match(r"^[A-Za-z0-9][A-Za-z0-9.,_-]*$", raw):
            value = raw
        else:
            raise SourceError("%s: cannot read %s: %s" % (name, m.group(1), raw))
        if m.group(1) in found:
            raise SourceError("%s: %s appears twice" % (name, m.group(1)))
        found[m.group(1)] = value
    missing = [k for k in keys if k not in found]
    if missing:
        raise SourceError("%s: no %s" % (name, ", ".join(missing)))
    return found


def intel_families(files):
    """{family: rows} from {family folder: [(file name, YAML text)]}.

    One row per model whose BIOSVersion is numeric (the number system_profiler prints); the old
    letter-style versions (MBP11.88Z.0055.B08…) cannot be compared as numbers and are left out.
    Newest model first: MacBookPro6,2 is a substring of MacBookPro16,2, so a reader that takes the
    first substring match still finds the right row."""
    models = {}
    for folder, entries in sorted(files.items()):
        for file_name, text in entries:
            where = "%s/%s" % (folder, file_name)
            fields = yaml_top_level(text, ("SystemProductName", "BIOSVersion"), where)
            product, bios = fields["SystemProductName"], fields["BIOSVersion"]
            m = re.match(r"^([A-Za-z]+)(\d+),(\d+)$", product)
            if not m:
                raise SourceError("%s: SystemProductName %r is not a model identifier" % (where, product))
            if m.group(1) not in FAMILIES or not re.match(r"^\d+(\.\d+)+$", bios):
                continue
            if product in models and models[product][3] != bios:
                raise SourceError("%s: %s appears twice, with %s and %s" % (where, product, models[product][3], bios))
            models[product] = (m.group(1), int(m.group(2)), int(m.group(3)), bios)
    families = {}
    for family in FAMILIES:
        rows = sorted(((-major, -minor, product, bios) for product, (fam, major, minor, bios) in models.items()
                       if fam == family))
        families[family] = [{"MacModel": product, "EFIversion": bios} for _a, _b, product, bios in rows]
    return families


# ----------------------------------------------------------------------------------------- catalog

def catalog_versions(data, read_metadata):
    """{bundle id: newest version} of the security data packages in Apple's software update catalog.

    The catalog names each package's metadata file (.pkm); the versions are in its <bundle> elements."""
    if data[:2] == b"\x1f\x8b":
        try:
            with gzip.GzipFile(fileobj=io.BytesIO(data)) as unpacked:
                data = unpacked.read(CAPS["catalog-unpacked"] + 1)
        except (OSError, EOFError) as error:
            raise SourceError("the software update catalog does not unpack: %s" % error) from None
        if len(data) > CAPS["catalog-unpacked"]:
            raise SourceError("the software update catalog unpacks to more than %d bytes" % CAPS["catalog-unpacked"])
    text = data.decode("utf-8", "replace")
    found = {}
    for _key, bundle, _section, _field, package in SECURITY_DATA:
        urls = sorted(set(re.findall(r"https?://[^\s<>\"']+/%s[^/\s<>\"']*\.pkm" % package, text)))
        for url in urls[:8]:
            metadata = read_metadata(url).decode("utf-8", "replace")
            for element in re.findall(r"<bundle\b[^>]*>", metadata):
                attributes = dict(re.findall(r'([A-Za-z]+)="([^"]*)"', element))
                version = attributes.get("CFBundleShortVersionString", "")
                if attributes.get("id") == bundle and VERSION.match(version):
                    if bundle not in found or version_key(version) > version_key(found[bundle]):
                        found[bundle] = version
    return found


def cross_check_catalog(sources, versions):
    """Compares the security data versions with Apple's catalog, when a copy of it is at hand."""
    try:
        catalog = sources.catalog()
        listed = catalog_versions(*catalog) if catalog else None
    except SourceError as error:
        # The catalog is a second opinion: out of reach on a live run, it does not stop the refresh.
        # A saved copy that cannot be read is a fault of the copy.
        if not sources.live:
            raise
        note("security data versions not cross-checked: %s" % error)
        return
    if listed is None:
        note("security data versions not cross-checked: no copy of Apple's software update catalog")
        return
    for key, bundle, _section, _field, _package in SECURITY_DATA:
        if bundle not in listed:
            note("%s not cross-checked: the catalog has no %s package" % (key, bundle))
        elif version_key(listed[bundle]) != version_key(versions[key]):
            raise SourceError("SOFA says %s %s, Apple's software update catalog %s" % (
                bundle, versions[key], listed[bundle]))
        else:
            note("%s %s matches Apple's software update catalog" % (key, versions[key]))


# ------------------------------------------------------------------------------------- hand-kept

def load_handkept(text, name="handkept.json"):
    """The hand-kept values, checked: every value has a source note, and none takes a feed's place."""
    data = _json(text, name)

    def fail(what):
        raise SourceError("%s: %s" % (name, what))

    def source(entry, where):
        if not isinstance(entry.get("source"), str) or not entry["source"].strip():
            fail("%s has no source note" % where)
        return entry["source"]

    if not isinstance(data, dict) or set(data) != {"sysupdates", "applesilicon", "brindledapps"}:
        fail("the top level must hold sysupdates, applesilicon and brindledapps")
    sysupdates = {}
    for key, entry in data["sysupdates"].items():
        if not HANDKEPT_SYSUPDATES.match(key):
            fail("sysupdates %s is not a hand-kept key (the feeds give XProtect15, XPremed, MRT, macOS<n>)" % key)
        if not isinstance(entry, dict) or not isinstance(entry.get("value"), str):
            fail("sysupdates %s needs a string value" % key)
        source(entry, "sysupdates " + key)
        sysupdates[key] = entry["value"]
    pins = []
    for i, pin in enumerate(data["applesilicon"].get("pins", [])):
        if not isinstance(pin, dict) or not VERSION.match(str(pin.get("macOS", ""))) \
                or not FIRMWARE.match(str(pin.get("firmware", ""))):
            fail("applesilicon pin %d needs a macOS version and an iBoot-/mBoot- firmware string" % i)
        source(pin, "applesilicon pin %d" % i)
        pins.append(pin)
    apps = []
    for i, app in enumerate(data["brindledapps"]):
        if not isinstance(app, dict) or not all(isinstance(app.get(k), str) and app[k]
                                                for k in ("AppName", "Version", "URL")):
            fail("brindledapps row %d needs AppName, Version and URL" % i)
        source(app, "brindledapps row %d" % i)
        apps.append({k: app[k] for k in ("AppName", "Version", "URL")})
    return {"sysupdates": sysupdates, "pins": pins, "brindledapps": apps}


# ------------------------------------------------------------------------------------------ build

def build_lists(sources, handkept, published=None):
    """{file name: list} of every reference list, or SourceError. Nothing is written here."""
    v2 = _json(sources.text(SOFA_V2), SOFA_V2)
    xprotect = _json(sources.text(SOFA_XPROTECT), SOFA_XPROTECT)
    if not isinstance(v2, dict) or not isinstance(xprotect, dict):
        raise SourceError("the SOFA files are not JSON objects")
    if published is None:
        try:
            published = parse_date(str(v2.get("LastCheck", "")))
        except ValueError as error:
            raise SourceError("%s LastCheck: %s" % (SOFA_V2, error)) from None

    versions = security_versions(v2, xprotect)
    cross_check_catalog(sources, versions)
    newest = newest_per_major(v2)
    release = newest_release(v2)
    firmware, origin = apple_silicon_firmware(m1n1_table(sources.text(M1N1)), handkept["pins"], release)
    note("newest macOS release %s: system firmware %s, from the %s" % (release, firmware, origin))

    sysupdates = dict(handkept["sysupdates"])
    sysupdates.update(versions)
    sysupdates.update({"macOS%d" % major: version for major, version in newest.items()})
    sysupdates["Published"] = published
    lists = {
        "sysupdates.plist": sysupdates,
        "applesilicon.plist": [{"MacModel": "other", "iBootversion": firmware}],
        "brindledapps.plist": [dict(app) for app in handkept["brindledapps"]],
    }
    for family, rows in intel_families(sources.opencore()).items():
        if not rows:
            raise SourceError("%s: no %s model with a numeric BIOSVersion" % (OPENCORE, family))
        lists[family + ".plist"] = rows
    for name, value in lists.items():
        if isinstance(value, list):
            for row in value:
                row["Published"] = published
    faults = check_lists(lists)
    if faults:
        raise SourceError("the lists built are not well formed: " + "; ".join(faults))
    return lists


def render(lists):
    return {name: plistlib.dumps(lists[name], fmt=plistlib.FMT_XML, sort_keys=True) for name in LIST_NAMES}


def changed_files(out, files):
    changed = []
    for name, data in files.items():
        try:
            with open(os.path.join(out, name), "rb") as f:
                same = f.read() == data
        except FileNotFoundError:
            same = False
        if not same:
            changed.append(name)
    return changed


def write_all(out, files):
    """Writes every file ({path under out: bytes}) beside its target first, then renames them all into
    place."""
    temporary = {}
    try:
        for name, data in files.items():
            folder = os.path.dirname(os.path.join(out, name))
            os.makedirs(folder, exist_ok=True)
            fd, path = tempfile.mkstemp(prefix="." + os.path.basename(name) + ".", dir=folder)
            temporary[name] = path
            with os.fdopen(fd, "wb") as f:
                f.write(data)
                f.flush()
                os.fsync(f.fileno())
            os.chmod(path, 0o644)
        for name, path in temporary.items():
            os.replace(path, os.path.join(out, name))
    finally:
        for path in temporary.values():
            if os.path.exists(path):
                os.remove(path)


REVISIONS_START = "<!-- revisions: written by refresh_reference.py --save -->"
REVISIONS_END = "<!-- end of revisions -->"
ORIGIN_NOTES = {
    SOFA_V2: " (served at https://sofafeed.macadmins.io/v2/macos_data_feed.json)",
    OPENCORE: " (the seven Mac families the lists cover; `Xserve/` left out)",
}


def revision_table(revisions):
    rows = ["| file | public origin | revision | date |", "|---|---|---|---|"]
    for name in (SOFA_V2, SOFA_XPROTECT, M1N1, OPENCORE):
        repository, path, commit, date = revisions[name]
        rows.append("| `%s` | github.com/%s `%s`%s | %s | %s |" % (
            name + "/" if name == OPENCORE else name, repository, path, ORIGIN_NOTES.get(name, ""), commit[:8], date))
    return "\n".join(rows)


def save_sources(folder, sources):
    """Replaces the saved copies in folder with what a live run read, so that --from folder builds the
    same lists again, and rewrites the revision table of its README.md. Licences and notes stay."""
    files = dict(sources.read)
    readme = os.path.join(folder, "README.md")
    text = ""
    if os.path.exists(readme):
        with open(readme, encoding="utf-8") as f:
            text = f.read()
    if REVISIONS_START in text and REVISIONS_END in text:
        head, rest = text.split(REVISIONS_START, 1)
        tail = rest.split(REVISIONS_END, 1)[1]
        files["README.md"] = (head + REVISIONS_START + "\n" + revision_table(sources.revisions) + "\n"
                              + REVISIONS_END + tail).encode("utf-8")
    else:
        note("%s has no revision table to rewrite" % readme)
    stale = []
    for family in FAMILIES:
        family_folder = os.path.join(folder, OPENCORE, family)
        if os.path.isdir(family_folder):
            stale += [os.path.join(family_folder, n) for n in os.listdir(family_folder)
                      if n.endswith(".yaml") and "/".join([OPENCORE, family, n]) not in files]
    write_all(folder, files)
    for path in stale:
        os.remove(path)


def main(argv=None):
    parser = argparse.ArgumentParser(description="Builds the reference lists from public sources.")
    parser.add_argument("--from", dest="source", metavar="DIR",
                        help="read saved copies from DIR instead of the public addresses")
    parser.add_argument("--out", default=DEFAULT_OUT, metavar="DIR", help="where the lists go (reference/)")
    parser.add_argument("--published", metavar="DATE", help="the Published date, ISO 8601 (default: SOFA's LastCheck)")
    parser.add_argument("--check", action="store_true", help="write nothing; exit 1 when a list in --out would change")
    parser.add_argument("--handkept", default=DEFAULT_HANDKEPT, metavar="FILE", help="the hand-kept values")
    parser.add_argument("--save", metavar="DIR",
                        help="without --from: also keep what was read in DIR (tools/refresh/sources), as copies "
                             "from which --from DIR builds the same lists")
    args = parser.parse_args(argv)
    if args.save and (args.source or args.published or args.check):
        parser.error("--save goes with a live run that writes: not with --from, --published or --check")
    published = None
    if args.published:
        try:
            published = parse_date(args.published)
        except ValueError as error:
            parser.error("--published: %s" % error)

    sources = FolderSources(args.source) if args.source else LiveSources()
    try:
        try:
            with open(args.handkept, "rb") as f:
                handkept = load_handkept(_decode(f.read(), args.handkept), args.handkept)
        except OSError as error:
            raise SourceError("cannot read %s: %s" % (args.handkept, error.strerror)) from None
        files = render(build_lists(sources, handkept, published))
    except SourceError as error:
        note("error: %s" % error)
        note("nothing written")
        return 3

    changed = changed_files(args.out, files)
    if args.check:
        for name in changed:
            note("%s would change" % name)
        print("%s: %s" % (args.out, "%d of %d lists would change" % (len(changed), len(files)) if changed
                          else "up to date"))
        return 1 if changed else 0
    try:
        if args.save:
            save_sources(args.save, sources)
        write_all(args.out, files)
    except OSError as error:
        note("error: cannot write: %s" % error)
        return 3
    print("%s: %d lists from %s, %d changed" % (args.out, len(files), sources.describe(), len(changed)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
