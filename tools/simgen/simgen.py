#!/usr/bin/env python3
"""Builds the bundled simulated Macs under sim/.

Run from anywhere:  python3 tools/simgen/simgen.py [--out DIR]
(DIR defaults to the repository's sim/ and must hold _common/lib.sh.)
The output is deterministic: every random choice comes from a generator seeded with a fixed
string, so running the script twice gives byte-identical trees.

Each root is rebuilt from scratch; a root's .sim/override/ folder and .sim/calls.log (test and
demo material, git-ignored) are kept.

The texts below follow the captured outputs in the project's sample collection (see
sim/README.md for which sample each one is modelled on).
"""

import datetime as dt
import os
import plistlib
import random
import shutil
import sys
import tempfile
import uuid

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SIM = os.path.join(REPO, "sim")

# "Now" on every simulated Mac: a Monday, two days after the version data in reference/.
NOW_UTC = dt.datetime(2026, 8, 24, 8, 5, 0)
TZ_OFFSET = dt.timedelta(hours=2)  # the simulated Macs live in UTC+02:00
TZ_TEXT = "+0200"

ROOTS = ["intel-t2", "apple-silicon", "intel-catalina", "intel-ssv-off", "apple-silicon-listed"]
BASE_ROOTS = ["intel-t2", "apple-silicon"]  # variants may symlink to identical files in these

# (macOS path, tool name) of every stub.
TOOLS = [
    ("/usr/bin/csrutil", "csrutil"),
    ("/usr/sbin/spctl", "spctl"),
    ("/usr/bin/fdesetup", "fdesetup"),
    ("/usr/sbin/system_profiler", "system_profiler"),
    ("/usr/sbin/softwareupdate", "softwareupdate"),
    ("/usr/bin/AssetCacheManagerUtil", "AssetCacheManagerUtil"),
    ("/usr/bin/defaults", "defaults"),
    ("/usr/bin/log", "log"),
    ("/usr/bin/id", "id"),
    ("/usr/bin/osascript", "osascript"),
    ("/usr/bin/open", "open"),
]

STUB = """#!/bin/sh
# Simulated {path} of a Mac; the shared logic is in the root's .sim/lib.sh.
SIM_ROOT=$(CDPATH='' cd "$(dirname "$0")/../.." && pwd) || exit 70
if [ ! -r "$SIM_ROOT/.sim/lib.sh" ]; then
    echo "sim: $SIM_ROOT/.sim/lib.sh is missing (copy a simulated Mac with cp -RL)" >&2
    exit 70
fi
# shellcheck source=SCRIPTDIR/../../.sim/lib.sh
. "$SIM_ROOT/.sim/lib.sh"
sim_main {tool} "$@"
"""

XPR_PREDICATE = 'subsystem == "com.apple.XProtectFramework.PluginAPI" AND category == "XPEvent.structured"'

BUNDLES = {
    # key: (macOS path of the bundle, CFBundleIdentifier, CFBundleName)
    "xprotect": ("/Library/Apple/System/Library/CoreServices/XProtect.bundle", "com.apple.XProtect", "XProtect"),
    # Where XProtect reads its rules from on macOS 15 and later; the CoreServices copy is its fallback.
    "xprotect-protected": ("/private/var/protected/xprotect/XProtect.bundle", "com.apple.XProtect", "XProtect"),
    "xpr": ("/Library/Apple/System/Library/CoreServices/XProtect.app", "com.apple.XProtectFramework.XProtect", "XProtect"),
    "mrt": ("/Library/Apple/System/Library/CoreServices/MRT.app", "com.apple.MRT", "MRT"),
    "tcc": ("/Library/Apple/Library/Bundles/TCC_Compatibility.bundle", "com.apple.TCC_Compatibility", "TCC_Compatibility"),
    "kext": ("/Library/Apple/System/Library/Extensions/AppleKextExcludeList.kext", "com.apple.driver.KextExcludeList", "AppleKextExcludeList"),
}


def stable_uuid(*parts):
    """A UUID that depends only on its parts, upper case as macOS prints them."""
    return str(uuid.uuid5(uuid.NAMESPACE_URL, "lanternquill-sim/" + "/".join(parts))).upper()


# --------------------------------------------------------------------------------------------
# Writing files


class Root:
    def __init__(self, name):
        self.name = name
        self.path = os.path.join(SIM, name)  # SIM as set by main()

    def _abs(self, mac_path):
        assert mac_path.startswith("/"), mac_path
        full = self.path + mac_path
        os.makedirs(os.path.dirname(full), exist_ok=True)
        return full

    def text(self, mac_path, content):
        with open(self._abs(mac_path), "w", encoding="utf-8", newline="") as f:
            f.write(content)

    def data(self, key, out=None, err=None, status=None):
        """The recorded answer for one key; None leaves the file out."""
        if out is not None:
            self.text("/.sim/data/%s.out" % key, out)
        if err is not None:
            self.text("/.sim/data/%s.err" % key, err)
        if status is not None:
            self.text("/.sim/data/%s.status" % key, "%d\n" % status)

    def plist(self, mac_path, value, binary=False):
        fmt = plistlib.FMT_BINARY if binary else plistlib.FMT_XML
        with open(self._abs(mac_path), "wb") as f:
            plistlib.dump(value, f, fmt=fmt, sort_keys=True)

    def stubs(self):
        for mac_path, tool in TOOLS:
            full = self._abs(mac_path)
            with open(full, "w", encoding="utf-8") as f:
                f.write(STUB.format(path=mac_path, tool=tool))
            os.chmod(full, 0o755)
        link = self._abs("/.sim/lib.sh")
        os.symlink(os.path.join("..", "..", "_common", "lib.sh"), link)


# --------------------------------------------------------------------------------------------
# Common texts


def sp_report(text):
    """system_profiler ends its report with an empty line."""
    return text + "\n"


CSRUTIL_ENABLED = "System Integrity Protection status: enabled.\n"
AUTH_ROOT_ENABLED = "Authenticated Root status: enabled\n"
AUTH_ROOT_DISABLED = "Authenticated Root status: disabled\n"
SPCTL_ENABLED = "assessments enabled\n"
FILEVAULT_ON = "FileVault is On.\n"
FILEVAULT_OFF = "FileVault is Off.\n"
ID_G_ADMIN = "20 12 61 79 80 81 98 701 33 100 204 250 395 398 399 400\n"

# Content caching: the human-readable answer is an NSLog line on standard error.
ACM_NOT_ACTIVATED = "2026-08-24 10:02:11.402 AssetCacheManagerUtil[812:19331] Content caching is not activated.\n"
ACM_ACTIVATED = "2026-08-24 09:41:07.118 AssetCacheManagerUtil[1203:20417] Content caching is activated.\n"

LOG_SHOW_LAST = (
    "Skipping info and debug messages, pass --info and/or --debug to include.\n"
    "Timestamp                       Thread     Type        Activity             PID    TTL  \n"
    "2026-08-24 10:05:00.412907+0200 0x1b2e4    Default     0x0                  391    0    "
    "WindowServer: (SkyLight) [com.apple.SkyLight:default] CGXDisplayDidWakeNotification [1]: posting kCGSDisplayDidWake\n"
    "2026-08-24 10:05:00.617340+0200 0x1b31a    Default     0x0                  0      0    "
    "kernel: (AppleSMC) Previous shutdown cause: 5\n"
)

SU_HEADER = "Software Update Tool\n\nFinding available software\n"
SU_NONE_ERR = "No new software available.\n"


def t2_hardware(model_name, model_id, cpu, speed, cores, l2, l3, memory, firmware, loader, serial, hw_uuid):
    lines = [
        "Hardware:",
        "",
        "    Hardware Overview:",
        "",
        "      Model Name: %s" % model_name,
        "      Model Identifier: %s" % model_id,
        "      Processor Name: %s" % cpu,
        "      Processor Speed: %s" % speed,
        "      Number of Processors: 1",
        "      Total Number of Cores: %d" % cores,
        "      L2 Cache (per Core): %s" % l2,
        "      L3 Cache: %s" % l3,
        "      Hyper-Threading Technology: Enabled",
        "      Memory: %s" % memory,
        "      System Firmware Version: %s" % firmware,
    ]
    if loader:
        lines.append("      OS Loader Version: %s" % loader)
    lines += [
        "      Serial Number (system): %s" % serial,
        "      Hardware UUID: %s" % hw_uuid,
        "      Provisioning UDID: %s" % hw_uuid,
        "      Activation Lock Status: Disabled",
    ]
    return sp_report("\n".join(lines) + "\n")


def t2_bridge(build, boot_uuid):
    return sp_report(
        "Controller:\n"
        "\n"
        "    Controller Information:\n"
        "\n"
        "      Model Name: Apple T2 Security Chip\n"
        "      Firmware Version: %s\n"
        "      Boot UUID: %s\n" % (build, boot_uuid)
    )


def apple_silicon_bridge(model_id, iboot, boot_uuid, listed):
    on = "On" if listed else "Enabled"
    return sp_report(
        "Controller:\n"
        "      Model Identifier: %s\n"
        "      Firmware Version: %s\n"
        "      Boot UUID: %s\n"
        "      Boot Policy:\n"
        "        Secure Boot: Full Security\n"
        "        System Integrity Protection: %s\n"
        "        Signed System Volume: %s\n"
        "        Kernel CTRR: %s\n"
        "        Boot Arguments Filtering: %s\n"
        "        Allow All Kernel Extensions: No\n"
        "        User Approved Privileged MDM Operations: No\n"
        "        DEP Approved Privileged MDM Operations: No\n" % (model_id, iboot, boot_uuid, on, on, on, on)
    )


def su_modern_list(items):
    """softwareupdate -l of macOS 11 and later; items: (label, title, version, size KiB, restart)."""
    out = SU_HEADER + "Software Update found the following new or updated software:\n"
    for label, title, version, size, restart in items:
        out += "* Label: %s\n" % label
        out += "\tTitle: %s, Version: %s, Size: %dKiB, Recommended: YES, %s\n" % (
            title, version, size, "Action: restart, " if restart else "")
    return out


def su_progress(titles, install, restart):
    """What softwareupdate prints while it downloads (and installs) the given updates."""
    out = SU_HEADER + "\n"
    for title in titles:
        out += "Downloading %s\n" % title
        out += "Downloaded %s\n" % title
        if install:
            out += "Installing %s\n" % title
            out += "Done with %s\n" % title
    if install and restart:
        out += "Restart is required to complete installation of one or more updates.\n"
    else:
        out += "Done.\n"
    return out


def system_version(version, build, name="macOS", year=2026, with_build_id=True):
    d = {
        "ProductBuildVersion": build,
        "ProductCopyright": "1983-%d Apple Inc." % year,
        "ProductName": name,
        "ProductUserVisibleVersion": version,
        "ProductVersion": version,
    }
    if with_build_id:
        d["BuildID"] = stable_uuid("build", build)
    return d


def io_registry(model, serial, hw_uuid, rom_version, board_id=None, rom_date=None):
    # Text properties end in a NUL byte, as the registry stores C strings.
    expert = {
        "model": model.encode("ascii") + b"\0",
        "manufacturer": b"Apple Inc.",
        "IOPlatformSerialNumber": serial,
        "IOPlatformUUID": hw_uuid,
    }
    if board_id:
        expert["board-id"] = board_id.encode("ascii")
    rom = {"version": rom_version.encode("ascii") + b"\0", "vendor": b"Apple"}
    if rom_date:
        rom["release-date"] = rom_date.encode("ascii")
    return {"IOPlatformExpertDevice": expert, "IODeviceTree:/rom": rom}


def bundle_info(key, short_version, build_version=None):
    _path, ident, name = BUNDLES[key]
    d = {
        "CFBundleDevelopmentRegion": "en",
        "CFBundleIdentifier": ident,
        "CFBundleInfoDictionaryVersion": "6.0",
        "CFBundleName": name,
        "CFBundlePackageType": "APPL" if BUNDLES[key][0].endswith(".app") else (
            "KEXT" if key == "kext" else "BNDL"),
        "CFBundleShortVersionString": short_version,
        "CFBundleVersion": build_version or short_version,
    }
    return d


def write_bundles(root, versions):
    for key, ver in versions.items():
        path = BUNDLES[key][0] + "/Contents/Info.plist"
        root.plist(path, bundle_info(key, ver))


def write_diagnostics(root):
    # Only the names matter: they stand for folders that need Full Disk Access on a real Mac.
    root.text("/var/db/diagnostics/Persist/0000000000000001.tracev3", "simulated unified log store\n")
    root.text("/var/db/diagnostics/timesync/0000000000000001.timesync", "simulated time-sync data\n")


# --------------------------------------------------------------------------------------------
# XProtect Remediator scan events (log show --style json)

XPR_PLUGINS = [
    "Adload", "BadGacha", "BlueTop", "CardboardCutout", "ColdSnap", "Crapyrator", "Dolittle",
    "DubRobber", "Eicar", "FloppyFlipper", "Genieo", "GreenAcre", "KeySteal", "MRTv3", "Pirrit",
    "RankStank", "RedPine", "RoachFlight", "SheepSwap", "SnowBeagle", "SnowDrift", "ToyDrop",
    "Trovi", "WaterNet",
]


def json_str(s):
    out = ""
    for ch in s:
        if ch == '"':
            out += '\\"'
        elif ch == "\\":
            out += "\\\\"
        elif ch == "/":
            out += "\\/"
        elif ch == "\n":
            out += "\\n"
        elif ch == "\t":
            out += "\\t"
        elif ord(ch) < 0x20:
            out += "\\u%04x" % ord(ch)
        else:
            out += ch
    return '"' + out + '"'


def fmt_duration(x):
    return ("%.5f" % x).rstrip("0").rstrip(".")


def xpr_event_text(ev):
    """One event laid out like `log show --style json` does (keys in its order)."""
    msg = ev["message"]
    lines = [
        '  "timezoneName" : "",',
        '  "messageType" : "Default",',
        '  "eventType" : "logEvent",',
        '  "source" : null,',
        '  "formatString" : "%{public}s",',
        '  "userID" : 0,',
        '  "activityIdentifier" : 0,',
        '  "subsystem" : "com.apple.XProtectFramework.PluginAPI",',
        '  "category" : "XPEvent.structured",',
        '  "threadID" : %d,' % ev["thread"],
        '  "senderImageUUID" : "%s",' % ev["image_uuid"],
        '  "backtrace" : {',
        '    "frames" : [',
        '      {',
        '        "imageOffset" : %d,' % ev["offset"],
        '        "imageUUID" : "%s"' % ev["image_uuid"],
        '      }',
        '    ]',
        '  },',
        '  "bootUUID" : "%s",' % ev["boot_uuid"],
        '  "processImagePath" : %s,' % json_str(ev["path"]),
        '  "senderImagePath" : %s,' % json_str(ev["path"]),
        '  "timestamp" : "%s",' % ev["timestamp"],
        '  "machTimestamp" : %d,' % ev["mach"],
        '  "eventMessage" : %s,' % json_str(msg),
        '  "processImageUUID" : "%s",' % ev["image_uuid"],
        '  "traceID" : %d,' % ev["trace"],
        '  "processID" : %d,' % ev["pid"],
        '  "senderProgramCounter" : %d,' % ev["offset"],
        '  "parentActivityIdentifier" : 0',
    ]
    return "{\n" + "\n".join(lines) + "\n}"


def xpr_log(seed, scan_starts, boot_utc, apple_silicon, special=None):
    """A day of XProtect Remediator scans. special maps (scan index, plug-in) to
    (status_message, status_code, extra JSON members)."""
    rng = random.Random("xpr-" + seed)
    special = special or {}
    boot_uuid = stable_uuid(seed, "boot")
    events = []
    pid = 2211
    for run, start in enumerate(scan_starts):
        t = start
        for plugin in XPR_PLUGINS:
            pid += rng.randint(3, 40)
            duration = rng.uniform(0.0002, 0.9) if rng.random() < 0.8 else rng.uniform(0.9, 4.5)
            status, code, extra = special.get((run, plugin), ("NoThreatDetected", 20, ""))
            message = '{"execution_duration":%s,"status_message":"%s","status_code":%d,"caused_by":[]%s}' % (
                fmt_duration(duration), status, code, extra)
            t += dt.timedelta(seconds=duration + rng.uniform(0.05, 0.6))
            local = t + TZ_OFFSET
            since_boot = (t - boot_utc).total_seconds()
            ticks = since_boot * (24_000_000 if apple_silicon else 1_000_000_000)
            events.append({
                "thread": rng.randint(150000, 900000),
                "image_uuid": stable_uuid("xpr-plugin", plugin),
                "offset": rng.randint(100000, 900000),
                "boot_uuid": boot_uuid,
                "path": "/Library/Apple/System/Library/CoreServices/XProtect.app/Contents/MacOS/XProtectRemediator" + plugin,
                "timestamp": local.strftime("%Y-%m-%d %H:%M:%S.") + "%06d" % local.microsecond + TZ_TEXT,
                "mach": int(ticks),
                "message": message,
                "trace": rng.randint(10 ** 15, 9 * 10 ** 15),
                "pid": pid,
            })
    if not events:
        return "[]\n"
    return "[" + ",".join(xpr_event_text(e) for e in events) + "]\n"


# --------------------------------------------------------------------------------------------
# /Library/Receipts/InstallHistory.plist


def d(s):
    return dt.datetime.strptime(s, "%Y-%m-%d")


# Released macOS versions with their (approximate) release dates.
MACOS_RELEASES = [
    ("10.13.3", "2018-01-23"), ("10.13.6", "2018-07-09"), ("10.14.1", "2018-10-30"), ("10.14.2", "2018-12-05"),
    ("10.14.3", "2019-01-22"), ("10.14.4", "2019-03-25"), ("10.14.5", "2019-05-13"),
    ("10.14.6", "2019-07-22"), ("10.15.1", "2019-10-29"), ("10.15.2", "2019-12-10"),
    ("10.15.3", "2020-01-28"), ("10.15.4", "2020-03-24"), ("10.15.5", "2020-05-26"),
    ("10.15.6", "2020-07-15"), ("10.15.7", "2020-09-24"),
    ("11.0.1", "2020-11-12"), ("11.1", "2020-12-14"), ("11.2", "2021-02-01"), ("11.2.1", "2021-02-09"),
    ("11.2.2", "2021-02-25"), ("11.2.3", "2021-03-08"), ("11.3", "2021-04-26"), ("11.3.1", "2021-05-03"),
    ("11.4", "2021-05-24"), ("11.5", "2021-07-21"), ("11.5.1", "2021-07-26"), ("11.5.2", "2021-08-11"),
    ("11.6", "2021-09-13"), ("11.6.1", "2021-10-25"), ("11.6.2", "2021-12-13"), ("11.6.3", "2022-01-26"),
    ("11.6.4", "2022-02-14"), ("11.6.5", "2022-03-14"), ("11.6.6", "2022-05-16"), ("11.6.7", "2022-06-06"),
    ("11.6.8", "2022-07-20"), ("11.7", "2022-09-12"), ("11.7.1", "2022-10-24"), ("11.7.2", "2022-12-13"),
    ("11.7.3", "2023-01-23"), ("11.7.4", "2023-02-15"), ("11.7.5", "2023-03-27"), ("11.7.6", "2023-04-10"),
    ("11.7.7", "2023-05-18"), ("11.7.8", "2023-06-21"), ("11.7.9", "2023-07-24"), ("11.7.10", "2023-09-11"),
    ("12.0.1", "2021-10-25"), ("12.1", "2021-12-13"), ("12.2", "2022-01-26"), ("12.2.1", "2022-02-10"),
    ("12.3", "2022-03-14"), ("12.3.1", "2022-03-31"), ("12.4", "2022-05-16"), ("12.5", "2022-07-20"),
    ("12.5.1", "2022-08-17"), ("12.6", "2022-09-12"), ("12.6.1", "2022-10-24"), ("12.6.2", "2022-12-13"),
    ("12.6.3", "2023-01-23"), ("12.6.4", "2023-03-27"), ("12.6.5", "2023-04-10"), ("12.6.6", "2023-05-18"),
    ("12.6.7", "2023-06-21"), ("12.6.8", "2023-07-24"), ("12.6.9", "2023-09-11"), ("12.7", "2023-09-26"),
    ("12.7.1", "2023-10-25"), ("12.7.2", "2023-12-11"), ("12.7.3", "2024-01-22"), ("12.7.4", "2024-03-07"),
    ("12.7.5", "2024-05-13"), ("12.7.6", "2024-07-29"),
    ("13.0", "2022-10-24"), ("13.0.1", "2022-11-09"), ("13.1", "2022-12-13"), ("13.2", "2023-01-23"),
    ("13.2.1", "2023-02-13"), ("13.3", "2023-03-27"), ("13.3.1", "2023-04-07"), ("13.4", "2023-05-18"),
    ("13.4.1", "2023-06-21"), ("13.5", "2023-07-24"), ("13.5.1", "2023-08-17"), ("13.5.2", "2023-09-07"),
    ("13.6", "2023-09-21"),
    ("14.1", "2023-10-25"), ("14.1.1", "2023-11-07"), ("14.1.2", "2023-11-30"), ("14.2", "2023-12-11"),
    ("14.2.1", "2023-12-19"), ("14.3", "2024-01-22"), ("14.3.1", "2024-02-08"), ("14.4", "2024-03-07"),
    ("14.4.1", "2024-03-25"), ("14.5", "2024-05-13"), ("14.6", "2024-07-29"), ("14.6.1", "2024-08-07"),
    ("14.7", "2024-09-16"), ("14.7.1", "2024-10-28"), ("14.7.2", "2024-12-11"), ("14.7.3", "2025-01-27"),
    ("14.7.4", "2025-02-10"), ("14.7.5", "2025-03-31"), ("14.7.6", "2025-05-12"), ("14.7.7", "2025-07-29"),
    ("14.8", "2025-09-15"), ("14.8.1", "2025-09-29"), ("14.8.2", "2025-11-03"), ("14.8.3", "2025-12-12"),
    ("14.8.4", "2026-01-26"), ("14.8.5", "2026-03-24"), ("14.8.6", "2026-05-11"), ("14.8.7", "2026-05-27"),
    ("14.8.8", "2026-07-13"), ("14.8.9", "2026-08-06"),
    ("15.0.1", "2024-10-03"), ("15.1", "2024-10-28"), ("15.1.1", "2024-11-19"), ("15.2", "2024-12-11"),
    ("15.3", "2025-01-27"), ("15.3.1", "2025-02-10"), ("15.3.2", "2025-03-11"), ("15.4", "2025-03-31"),
    ("15.4.1", "2025-04-16"), ("15.5", "2025-05-12"), ("15.6", "2025-07-29"), ("15.6.1", "2025-08-20"),
    ("15.7", "2025-09-15"), ("15.7.1", "2025-09-29"), ("15.7.2", "2025-11-03"), ("15.7.3", "2025-12-12"),
    ("15.7.4", "2026-01-26"), ("15.7.5", "2026-03-24"), ("15.7.6", "2026-05-11"), ("15.7.7", "2026-05-27"),
    ("15.7.8", "2026-07-13"), ("15.7.9", "2026-08-06"),
]

MACOS_NAMES = {"10.13": "macOS High Sierra", "10.14": "macOS Mojave", "10.15": "macOS Catalina",
               "11": "macOS Big Sur", "12": "macOS Monterey", "13": "macOS Ventura",
               "14": "macOS Sonoma", "15": "macOS Sequoia"}


def macos_major(version):
    parts = version.split(".")
    return ".".join(parts[:2]) if parts[0] == "10" else parts[0]


def kext_major(version):
    """Version family of the kext exclude list: 15 on 10.15, 16 on 11, ... 19 on 14."""
    major = macos_major(version)
    return 15 + (["10.15", "11", "12", "13", "14", "15"].index(major)) if major in (
        "10.15", "11", "12", "13", "14", "15") else None


# XProtect data versions as published (history sampled from the SOFA feed, 2024-03 .. 2026-08).
XPROTECT_PUBLISHED = [
    ("2024-03-26", 2191), ("2024-04-23", 2192), ("2024-04-30", 2193), ("2024-05-07", 2194),
    ("2024-05-28", 2195), ("2024-06-18", 5268), ("2024-07-09", 5269), ("2024-07-23", 5270),
    ("2024-08-06", 5271), ("2024-08-28", 5272), ("2024-09-12", 5273), ("2024-10-08", 5277),
    ("2024-10-15", 5278), ("2024-11-05", 5279), ("2024-11-12", 5282), ("2024-11-19", 5283),
    ("2024-12-17", 5284), ("2025-01-14", 5285), ("2025-01-29", 5286), ("2025-02-05", 5287),
    ("2025-02-26", 5288), ("2025-03-04", 5289), ("2025-03-11", 5290), ("2025-03-25", 5291),
    ("2025-04-01", 5292), ("2025-04-08", 5293), ("2025-04-15", 5295), ("2025-04-22", 5296),
    ("2025-05-13", 5297), ("2025-05-20", 5298), ("2025-06-04", 5299), ("2025-06-10", 5300),
    ("2025-06-17", 5301), ("2025-06-24", 5302), ("2025-07-01", 5303), ("2025-07-08", 5304),
    ("2025-07-15", 5305), ("2025-07-22", 5308), ("2025-08-05", 5309), ("2025-08-12", 5310),
    ("2025-08-19", 5311), ("2025-08-26", 5312), ("2025-09-03", 5313), ("2025-09-10", 5314),
    ("2025-09-16", 5315), ("2025-09-23", 5316), ("2025-09-30", 5317), ("2025-10-08", 5318),
    ("2025-10-15", 5319), ("2025-10-21", 5320), ("2025-10-23", 5321), ("2025-11-04", 5322),
    ("2025-11-11", 5323), ("2025-12-10", 5324), ("2025-12-16", 5325), ("2026-01-22", 5326),
    ("2026-02-03", 5327), ("2026-02-10", 5329), ("2026-02-17", 5330), ("2026-02-24", 5331),
    ("2026-03-04", 5332), ("2026-03-10", 5333), ("2026-03-17", 5334), ("2026-03-25", 5335),
    ("2026-04-03", 5337), ("2026-04-09", 5338), ("2026-04-28", 5341), ("2026-05-05", 5342),
    ("2026-05-12", 5344), ("2026-05-19", 5345), ("2026-05-27", 5346), ("2026-06-02", 5347),
    ("2026-07-15", 5351), ("2026-07-24", 5352), ("2026-07-28", 5353), ("2026-08-05", 5354),
    ("2026-08-11", 5355), ("2026-08-18", 5356),
]

# XProtect Remediator (XProtectPayloads) versions as published (SOFA history, 2024-04 .. 2026-02).
XPR_PUBLISHED = [
    ("2024-04-02", 130), ("2024-04-23", 131), ("2024-04-30", 132), ("2024-05-02", 133),
    ("2024-05-28", 135), ("2024-06-18", 137), ("2024-07-09", 139), ("2024-07-23", 140),
    ("2024-08-06", 141), ("2024-08-20", 142), ("2024-09-03", 145), ("2024-10-16", 147),
    ("2024-12-17", 149), ("2025-03-04", 151), ("2025-07-08", 152), ("2025-08-05", 153),
    ("2025-11-04", 156), ("2026-02-17", 157),
]


def interpolated_releases(rng, anchors, min_gap, max_gap):
    """Release dates every min_gap..max_gap days between anchor points (date, version), with
    versions interpolated between the anchors and strictly increasing."""
    out = []
    for (d0, v0), (d1, v1) in zip(anchors, anchors[1:]):
        t = d(d0)
        end = d(d1)
        while t < end:
            frac = (t - d(d0)) / (end - d(d0))
            v = v0 + (v1 - v0) * frac
            out.append((t, v))
            t += dt.timedelta(days=rng.randint(min_gap, max_gap))
    return out


class History:
    def __init__(self, seed):
        self.rng = random.Random("installhistory-" + seed)
        self.entries = []
        self.pkg_counter = 4040

    def when(self, release):
        """Installed some hours after release, never after the simulated now."""
        t = release + dt.timedelta(hours=self.rng.randint(9, 60), minutes=self.rng.randint(0, 59),
                                   seconds=self.rng.randint(0, 59))
        return min(t, NOW_UTC - dt.timedelta(hours=2))

    def add(self, date, name, version, pkgs, process, config=False):
        e = {"date": date, "displayName": name, "displayVersion": version,
             "packageIdentifiers": list(pkgs), "processName": process}
        if config:
            e["contentType"] = "config-data"
        self.entries.append(e)

    def config(self, release, name, version, pkg_base, suffix):
        # The build number of the package is filled in by sorted(), in date order.
        pkg = "com.apple.pkg.%s%s.16U%%d" % (pkg_base, suffix)
        self.add(self.when(release), name, version, [pkg], "softwareupdated", config=True)

    def sorted(self):
        entries = sorted(self.entries, key=lambda e: (e["date"], e["displayName"]))
        for e in entries:
            if e.get("contentType") == "config-data":
                self.pkg_counter += self.rng.randint(1, 4)
                e["packageIdentifiers"] = [p % self.pkg_counter for p in e["packageIdentifiers"]]
        return entries


def build_history(seed, start, os_versions, until_os, first_install, safari, apps, xprotect_last,
                  catalina_from, xpr_from):
    """InstallHistory entries of one Mac.

    start           first day of the Mac's life
    os_versions     macOS versions installed over time (the first one came with the Mac)
    until_os        no macOS updates after this date (the owner stopped updating)
    safari          (date, version, package label) of separately installed Safari updates
    apps            (date, name, version, package ids, process) of other installs
    xprotect_last   the newest XProtect data version this Mac received
    catalina_from   date from which config data carries the _10_15 package suffix
    xpr_from        date of the first XProtect Remediator payload
    """
    h = History(seed)
    rng = h.rng
    releases = dict(MACOS_RELEASES)

    # macOS itself.
    first = os_versions[0]
    h.add(start + dt.timedelta(hours=1), MACOS_NAMES[macos_major(first)], first_install, [],
          "macOS Installer")
    previous_major = macos_major(first)
    last_kext = None
    for v in os_versions[1:]:
        rel = d(releases[v])
        if rel > until_os:
            break
        # Updates already out when the Mac was set up are installed on its first day.
        rel = max(rel, start)
        major = macos_major(v)
        if major != previous_major:
            h.add(h.when(rel), MACOS_NAMES[major], v, [], "softwareupdated")
        elif major.startswith("10."):
            h.add(h.when(rel), "macOS %s Update" % v, v, [], "softwareupdated")
        else:
            h.add(h.when(rel), "%s %s" % (MACOS_NAMES[major], v), v, [], "softwareupdated")
        previous_major = major
        # The kext exclude list moves on with the system: 19.4.0 arrived with 14.4.
        km = kext_major(v)
        if km is not None:
            parts = v.split(".") + ["0"]
            minor = int(parts[2] if parts[0] == "10" else parts[1])
            kext = "%d.%d.0" % (km, minor)
            if kext != last_kext:
                last_kext = kext
                h.config(rel, "Incompatible Kernel Extension Configuration Data", kext,
                         "IncompatibleKextConfigData", "_10_15" if rel >= catalina_from else "")

    def suffix(t):
        return "_10_15" if t >= catalina_from else ""

    # XProtect data: invented rhythm before 2024-03, then the published history.
    early = interpolated_releases(rng, [("2018-06-01", 2098), ("2019-07-15", 2102), ("2020-06-01", 2125),
                                        ("2024-03-19", 2190)], 12, 30)
    xprotect = [(t, int(v)) for t, v in early] + [(d(s), v) for s, v in XPROTECT_PUBLISHED]
    last = 0
    for t, v in xprotect:
        if t < start or v <= last or v > xprotect_last:
            continue
        last = v
        # Older systems recorded every XProtect data update as version 1.0.
        shown = "1.0" if t < d("2019-01-01") else str(v)
        h.config(t, "XProtectPlistConfigData", shown, "XProtectPlistConfigData", suffix(t))

    # XProtect Remediator payloads: invented rhythm from its introduction, then published.
    early = interpolated_releases(rng, [("2022-03-14", 62), ("2024-03-26", 129)], 18, 40)
    xpr = [(t, int(v)) for t, v in early] + [(d(s), v) for s, v in XPR_PUBLISHED]
    last = 0
    for t, v in xpr:
        if t < max(start, xpr_from) or v <= last:
            continue
        last = v
        h.config(t, "XProtectPayloads", str(v), "XProtectPayloads", suffix(t))

    # Malware Removal Tool data, frozen at 1.93 since early 2023.
    mrt = interpolated_releases(rng, [("2018-06-01", 136), ("2020-06-01", 160), ("2023-02-01", 193)], 35, 75)
    mrt.append((d("2023-02-01"), 193))
    last = 0
    for t, v in mrt:
        v = int(v)
        if t < start or v <= last:
            continue
        last = v
        h.config(t, "MRTConfigData", "%d.%02d" % (v // 100, v % 100), "MRTConfigData", suffix(t))

    # TCC compatibility data: a few releases a year, numbered like the kext list.
    t = max(start, catalina_from) + dt.timedelta(days=rng.randint(20, 60))
    counter = {}
    while t < NOW_UTC - dt.timedelta(days=5):
        current = [v for v in os_versions if d(releases[v]) <= t and d(releases[v]) <= until_os]
        km = kext_major(current[-1]) if current else None
        if km is not None:
            counter[km] = counter.get(km, 0) + 1
            h.config(t, "TCC Configuration Data", "%d.%d" % (km, counter[km]), "TCCConfigData", suffix(t))
        t += dt.timedelta(days=rng.randint(70, 150))

    for rel, version, label in safari:
        h.add(h.when(d(rel)), "Safari", version, ["com.apple.pkg.%s" % label], "softwareupdated")
    for rel, name, version, pkgs, process in apps:
        h.add(h.when(d(rel)), name, version, pkgs, process)

    entries = h.sorted()
    last_values = {}
    for e in entries:
        last_values[e["displayName"]] = e["displayVersion"]
    return entries, last_values


def os_range(first, last):
    """The releases from first to last in date order, within one family (10.x, 11, 12, ...);
    the families overlap in time, so the others are left out."""
    def family(v):
        return "10" if v.startswith("10.") else macos_major(v)
    assert family(first) == family(last), (first, last)
    versions = [v for v, _ in sorted(MACOS_RELEASES, key=lambda r: r[1]) if family(v) == family(first)]
    return versions[versions.index(first):versions.index(last) + 1]


def apps_common(start):
    """Apple apps from the App Store and a few installer packages, after the Mac's start."""
    items = [
        ("2020-07-15", "Keynote", "10.1", ["com.apple.pkg.Keynote"], "appstoreagent"),
        ("2020-11-17", "Keynote", "11.0", ["com.apple.pkg.Keynote"], "appstoreagent"),
        ("2021-10-19", "Pages", "11.2", ["com.apple.pkg.Pages"], "appstoreagent"),
        ("2022-03-08", "Numbers", "12.0", ["com.apple.pkg.Numbers"], "appstoreagent"),
        ("2022-09-13", "Xcode", "14.0", ["com.apple.pkg.Xcode"], "appstoreagent"),
        ("2023-03-28", "Keynote", "13.0", ["com.apple.pkg.Keynote"], "appstoreagent"),
        ("2023-09-18", "Xcode", "15.0", ["com.apple.pkg.Xcode"], "appstoreagent"),
        ("2024-04-02", "Zoom", "6.0.2", ["us.zoom.pkg.videomeeting"], "Installer"),
        ("2024-06-11", "Python", "3.12.4", ["org.python.Python.PythonFramework-3.12",
                                            "org.python.Python.PythonApplications-3.12",
                                            "org.python.Python.PythonUnixTools-3.12"], "Installer"),
        ("2024-09-17", "Pages", "14.2", ["com.apple.pkg.Pages"], "appstoreagent"),
        ("2025-01-21", "Keynote", "14.3", ["com.apple.pkg.Keynote"], "appstoreagent"),
        ("2025-05-06", "Zoom", "6.4.10", ["us.zoom.pkg.videomeeting"], "Installer"),
        ("2025-09-16", "Numbers", "14.4", ["com.apple.pkg.Numbers"], "appstoreagent"),
        ("2026-02-10", "Python", "3.14.3", ["org.python.Python.PythonFramework-3.14",
                                            "org.python.Python.PythonApplications-3.14",
                                            "org.python.Python.PythonUnixTools-3.14"], "Installer"),
        ("2026-06-02", "Keynote", "15.1", ["com.apple.pkg.Keynote"], "appstoreagent"),
    ]
    return [a for a in items if d(a[0]) >= start]


# --------------------------------------------------------------------------------------------
# The roots


def build_intel_t2():
    r = Root("intel-t2")
    serial = "C02DK3ZHML85"
    hw = stable_uuid("intel-t2", "hardware")
    firmware = "2094.80.5.0.0 (iBridge: 23.16.13061.0.0,0)"
    r.plist("/System/Library/CoreServices/SystemVersion.plist", system_version("14.8.8", "23J610"))
    r.plist("/IORegistry.plist", io_registry("MacBookPro16,2", serial, hw, firmware,
                                             "Mac-5F9802EFE386AA28", "01/21/2026"))
    r.data("csrutil-status", CSRUTIL_ENABLED)
    r.data("csrutil-authenticated-root", AUTH_ROOT_ENABLED)
    r.data("spctl-status", SPCTL_ENABLED)
    r.data("fdesetup-status", FILEVAULT_ON)
    r.data("system_profiler-SPiBridgeDataType", t2_bridge("23P13061", stable_uuid("intel-t2", "boot")))
    r.data("system_profiler-SPHardwareDataType", t2_hardware(
        "MacBook Pro", "MacBookPro16,2", "Quad-Core Intel Core i7", "2.3 GHz", 4, "512 KB", "8 MB", "16 GB",
        firmware, "582~1046", serial, hw))
    r.data("system_profiler-SPDisplaysDataType", sp_report(
        "Graphics/Displays:\n"
        "\n"
        "    Intel Iris Plus Graphics:\n"
        "\n"
        "      Chipset Model: Intel Iris Plus Graphics\n"
        "      Type: GPU\n"
        "      Bus: Built-In\n"
        "      VRAM (Dynamic, Max): 1536 MB\n"
        "      Vendor: Intel\n"
        "      Device ID: 0x8a52\n"
        "      Revision ID: 0x0007\n"
        "      Metal Support: Metal 3\n"
        "      Displays:\n"
        "        Color LCD:\n"
        "          Display Type: Built-In Retina LCD\n"
        "          Resolution: 2560 x 1600 Retina\n"
        "          Framebuffer Depth: 30-Bit Color (ARGB2101010)\n"
        "          Main Display: Yes\n"
        "          Mirror: Off\n"
        "          Online: Yes\n"
        "          Automatically Adjust Brightness: Yes\n"
        "          Connection Type: Internal\n"))
    updates = [
        ("Safari26.6SonomaAuto-26.6", "Safari", "26.6", 176102, False),
        ("macOS Sonoma 14.8.9-23J631", "macOS Sonoma 14.8.9", "14.8.9", 1642283, True),
    ]
    r.data("softwareupdate-list", su_modern_list(updates))
    r.data("softwareupdate-install-all", su_progress(["Safari", "macOS Sonoma 14.8.9"], True, True))
    r.data("softwareupdate-download-all", su_progress(["Safari", "macOS Sonoma 14.8.9"], False, False))
    r.data("softwareupdate-install-named", su_progress(["Safari"], True, False))
    r.data("softwareupdate-download-named", su_progress(["Safari"], False, False))
    r.data("AssetCacheManagerUtil-isActivated", err=ACM_NOT_ACTIVATED, status=1)
    r.data("log-show-xpr", xpr_log(
        "intel-t2",
        [dt.datetime(2026, 8, 23, 11, 41, 3, 220000), dt.datetime(2026, 8, 24, 0, 17, 45, 810000)],
        dt.datetime(2026, 8, 19, 6, 12, 40), False,
        special={
            (0, "MRTv3"): ("Success", 0, ""),
            (1, "MRTv3"): ("Success", 0, ""),
            (1, "SheepSwap"): ("Success", 31, ""),
            (1, "KeySteal"): ("ErrorScanFailed", 12, ',"action":"scan"'),
        }))
    r.data("log-show-last", LOG_SHOW_LAST)
    r.data("id-G", ID_G_ADMIN)
    write_diagnostics(r)

    safari = [("2024-09-16", "18.0", "Safari18.0SonomaAuto"), ("2024-10-28", "18.1", "Safari18.1SonomaAuto"),
              ("2024-12-11", "18.2", "Safari18.2SonomaAuto"), ("2025-01-27", "18.3", "Safari18.3SonomaAuto"),
              ("2025-03-31", "18.4", "Safari18.4SonomaAuto"), ("2025-05-12", "18.5", "Safari18.5SonomaAuto"),
              ("2025-07-29", "18.6", "Safari18.6SonomaAuto"), ("2025-09-15", "26.0", "Safari26.0SonomaAuto"),
              ("2025-11-03", "26.1", "Safari26.1SonomaAuto"), ("2025-12-12", "26.2", "Safari26.2SonomaAuto"),
              ("2026-01-26", "26.3", "Safari26.3SonomaAuto"), ("2026-03-24", "26.4", "Safari26.4SonomaAuto"),
              ("2026-05-11", "26.5", "Safari26.5SonomaAuto")]
    start = d("2020-06-12")
    apps = apps_common(start) + [
        ("2023-10-03", "Command Line Tools for Xcode", "15.0", ["com.apple.pkg.CLTools_Executables",
                                                             "com.apple.pkg.CLTools_SDK_macOS14"], "softwareupdated"),
        ("2024-06-20", "Command Line Tools for Xcode", "15.3", ["com.apple.pkg.CLTools_Executables",
                                                             "com.apple.pkg.CLTools_SDK_macOS14"], "softwareupdated"),
    ]
    entries, last = build_history(
        "intel-t2", start, os_range("10.15.5", "10.15.7") + os_range("11.1", "11.6") + os_range("12.0.1", "12.6")
        + os_range("13.0", "13.6") + [v for v in os_range("14.1", "14.8.8")],
        d("2026-07-31"), "10.15.5", safari, apps, 5355, start, d("2022-03-01"))
    r.plist("/Library/Receipts/InstallHistory.plist", entries)
    write_bundles(r, {
        "xprotect": last["XProtectPlistConfigData"],  # 5355: one behind the published 5356
        "xpr": last["XProtectPayloads"],
        "mrt": last["MRTConfigData"],
        "tcc": last["TCC Configuration Data"],
        "kext": last["Incompatible Kernel Extension Configuration Data"],
    })
    r.stubs()
    return r, len(entries)


def build_apple_silicon():
    r = Root("apple-silicon")
    serial = "KX7Q2M4HPD"
    hw = stable_uuid("apple-silicon", "hardware")
    r.plist("/System/Library/CoreServices/SystemVersion.plist", system_version("15.7.9", "24G830"))
    # A patched Sequoia Mac carries the system firmware of the concurrent macOS 26 release (as the
    # captured 15.7.x hardware reports do); only its OS loader stays on the 15.x line.
    r.plist("/IORegistry.plist", io_registry("Mac15,6", serial, hw, "mBoot-18000.161.10"))
    r.data("csrutil-status", CSRUTIL_ENABLED)
    r.data("csrutil-authenticated-root", AUTH_ROOT_ENABLED)
    r.data("spctl-status", SPCTL_ENABLED)
    r.data("fdesetup-status", FILEVAULT_ON)
    r.data("system_profiler-SPiBridgeDataType", apple_silicon_bridge(
        "Mac15,6", "mBoot-18000.161.10", stable_uuid("apple-silicon", "boot"), listed=False))
    r.data("system_profiler-SPHardwareDataType", sp_report(
        "Hardware:\n"
        "\n"
        "    Hardware Overview:\n"
        "\n"
        "      Model Name: MacBook Pro\n"
        "      Model Identifier: Mac15,6\n"
        "      Model Number: Z1AF000LLLL/A\n"
        "      Chip: Apple M3 Pro\n"
        "      Total Number of Cores: 11 (5 performance and 6 efficiency)\n"
        "      Memory: 18 GB\n"
        "      System Firmware Version: 18000.161.10\n"
        "      OS Loader Version: 11881.140.96\n"
        "      Serial Number (system): %s\n"
        "      Hardware UUID: %s\n"
        "      Provisioning UDID: 00006030-001C2D3A0E42801E\n"
        "      Activation Lock Status: Enabled\n" % (serial, hw)))
    # The captured M3 Pro + Studio Display report, unchanged.
    r.data("system_profiler-SPDisplaysDataType",
           "Graphics/Displays:\n"
           "\n"
           "    Apple M3 Pro:\n"
           "\n"
           "      Chipset Model: Apple M3 Pro\n"
           "      Type: GPU\n"
           "      Bus: Built-In\n"
           "      Total Number of Cores: 14\n"
           "      Vendor: Apple (0x106b)\n"
           "      Metal Support: Metal 4\n"
           "      Displays:\n"
           "        Studio Display:\n"
           "          Display Type: Retina LCD\n"
           "          Resolution: 5120 x 2880 Retina\n"
           "          Display Serial Number: redacted\n"
           "          Display Firmware Version: Version 17.0 (Build 21A329)\n"
           "          Main Display: Yes\n"
           "          Mirror: Off\n"
           "          Online: Yes\n"
           "          Automatically Adjust Brightness: Yes\n"
           "\n")
    r.data("softwareupdate-list", SU_HEADER, err=SU_NONE_ERR)
    r.data("softwareupdate-install-all", SU_HEADER, err="No updates are available.\n")
    r.data("softwareupdate-download-all", SU_HEADER, err="No updates are available.\n")
    r.data("softwareupdate-install-named", SU_HEADER, err="No such update\nNo updates are available.\n")
    r.data("softwareupdate-download-named", SU_HEADER, err="No such update\nNo updates are available.\n")
    r.data("AssetCacheManagerUtil-isActivated", err=ACM_ACTIVATED)
    r.data("log-show-xpr", xpr_log(
        "apple-silicon",
        [dt.datetime(2026, 8, 23, 13, 2, 51, 74000), dt.datetime(2026, 8, 24, 1, 48, 12, 530000)],
        dt.datetime(2026, 8, 11, 7, 30, 2), True))
    r.data("log-show-last", LOG_SHOW_LAST)
    r.data("id-G", ID_G_ADMIN)
    write_diagnostics(r)

    safari = [("2024-09-16", "18.0", "Safari18.0SonomaAuto"), ("2025-09-15", "26.0", "Safari26.0SequoiaAuto"),
              ("2025-11-03", "26.1", "Safari26.1SequoiaAuto"), ("2025-12-12", "26.2", "Safari26.2SequoiaAuto"),
              ("2026-01-26", "26.3", "Safari26.3SequoiaAuto"), ("2026-03-24", "26.4", "Safari26.4SequoiaAuto"),
              ("2026-05-11", "26.5", "Safari26.5SequoiaAuto"), ("2026-07-13", "26.6", "Safari26.6SequoiaAuto")]
    start = d("2023-11-20")
    entries, last = build_history(
        "apple-silicon", start, os_range("14.1", "14.6.1") + os_range("15.0.1", "15.7.9"), NOW_UTC, "14.1",
        safari, apps_common(start), 5356, start, start)
    r.plist("/Library/Receipts/InstallHistory.plist", entries, binary=True)
    # XProtect reads the protected copy, which is current; the CoreServices fallback copy lags one
    # version behind it.
    write_bundles(r, {
        "xprotect-protected": last["XProtectPlistConfigData"],
        "xprotect": str(int(last["XProtectPlistConfigData"]) - 1),
        "xpr": last["XProtectPayloads"],
        "mrt": "1.93",
        "tcc": last["TCC Configuration Data"],
        "kext": last["Incompatible Kernel Extension Configuration Data"],
    })
    r.stubs()
    return r, len(entries)


def build_intel_catalina():
    r = Root("intel-catalina")
    serial = "C1MR961KH3QF"
    hw = stable_uuid("intel-catalina", "hardware")
    rom = "MBA71.88Z.0178.B00.1904120823"
    # Catalina still called itself "Mac OS X" in SystemVersion.plist; "macOS" came with Big Sur.
    r.plist("/System/Library/CoreServices/SystemVersion.plist",
            system_version("10.15.7", "19H1030", name="Mac OS X", year=2021, with_build_id=False))
    r.plist("/IORegistry.plist", io_registry("MacBookAir7,2", serial, hw, rom, "Mac-937CB26E2E02BB01", "04/12/2019"))
    r.data("csrutil-status", CSRUTIL_ENABLED)
    # Catalina's csrutil has no authenticated-root command (the sealed system volume came with
    # Big Sur), so it answers with its usage text.
    r.data("csrutil-authenticated-root", err=(
        "usage: csrutil <command>\n"
        "Modify the System Integrity Protection configuration. All configuration changes apply to the entire machine.\n"
        "Available commands:\n"
        "\n"
        "    clear\n"
        "        Clear the existing configuration. Only available in Recovery OS.\n"
        "    disable\n"
        "        Disable the protection on the machine. Only available in Recovery OS.\n"
        "    enable\n"
        "        Enable the protection on the machine. Only available in Recovery OS.\n"
        "    status\n"
        "        Display the current configuration.\n"
        "\n"
        "    netboot\n"
        "        add <address>\n"
        "            Insert a new IPv4 address in the list of allowed NetBoot sources.\n"
        "        list\n"
        "            Print the list of allowed NetBoot sources.\n"
        "        remove <address>\n"
        "            Remove an IPv4 address from the list of allowed NetBoot sources.\n"), status=64)
    r.data("spctl-status", SPCTL_ENABLED)
    r.data("fdesetup-status", FILEVAULT_OFF)
    # No bridge chip: system_profiler has nothing to say.
    r.data("system_profiler-SPiBridgeDataType", "")
    r.data("system_profiler-SPHardwareDataType", sp_report(
        "Hardware:\n"
        "\n"
        "    Hardware Overview:\n"
        "\n"
        "      Model Name: MacBook Air\n"
        "      Model Identifier: MacBookAir7,2\n"
        "      Processor Name: Dual-Core Intel Core i5\n"
        "      Processor Speed: 1.6 GHz\n"
        "      Number of Processors: 1\n"
        "      Total Number of Cores: 2\n"
        "      L2 Cache (per Core): 256 KB\n"
        "      L3 Cache: 3 MB\n"
        "      Hyper-Threading Technology: Enabled\n"
        "      Memory: 8 GB\n"
        "      Boot ROM Version: MBA71.0178.B00\n"
        "      SMC Version (system): 2.27f2\n"
        "      Serial Number (system): %s\n"
        "      Hardware UUID: %s\n" % (serial, hw)))
    r.data("system_profiler-SPDisplaysDataType", sp_report(
        "Graphics/Displays:\n"
        "\n"
        "    Intel HD Graphics 6000:\n"
        "\n"
        "      Chipset Model: Intel HD Graphics 6000\n"
        "      Type: GPU\n"
        "      Bus: Built-In\n"
        "      VRAM (Dynamic, Max): 1536 MB\n"
        "      Vendor: Intel\n"
        "      Device ID: 0x1626\n"
        "      Revision ID: 0x0009\n"
        "      Metal: Supported, feature set macOS GPUFamily1 v4\n"
        "      Displays:\n"
        "        Color LCD:\n"
        "          Display Type: Built-In Display\n"
        "          Resolution: 1440 x 900 (Widescreen eXtended Graphics Array Plus)\n"
        "          Framebuffer Depth: 24-Bit Color (ARGB8888)\n"
        "          Main Display: Yes\n"
        "          Mirror: Off\n"
        "          Online: Yes\n"
        "          Automatically Adjust Brightness: Yes\n"
        "          Connection Type: Internal\n"))
    # The older listing format: "   * <label>", then tab + "<title> (<version>), <size>K [recommended]".
    r.data("softwareupdate-list",
           SU_HEADER +
           "Software Update found the following new or updated software:\n"
           "   * Safari15.6.1CatalinaAuto-15.6.1\n"
           "\tSafari (15.6.1), 98735K [recommended]\n"
           "   * Security Update 2022-005 Catalina-10.15.7\n"
           "\tSecurity Update 2022-005 Catalina (10.15.7), 1817230K [recommended] [restart]\n")
    older_restart = ("\nYou have installed one or more updates that requires that you restart your\n"
                     "computer.  Please restart immediately.\n")
    r.data("softwareupdate-install-all",
           su_progress(["Safari", "Security Update 2022-005 Catalina"], True, False) + older_restart)
    r.data("softwareupdate-download-all", su_progress(["Safari", "Security Update 2022-005 Catalina"], False, False))
    r.data("softwareupdate-install-named", su_progress(["Safari"], True, False))
    r.data("softwareupdate-download-named", su_progress(["Safari"], False, False))
    r.data("AssetCacheManagerUtil-isActivated", err=ACM_NOT_ACTIVATED, status=1)
    r.data("log-show-xpr", "[]\n")
    r.data("log-show-last", LOG_SHOW_LAST)
    r.data("id-G", ID_G_ADMIN)
    write_diagnostics(r)

    safari = [("2018-09-17", "12.0", "Safari12.0HighSierraAuto"), ("2019-09-19", "13.0", "Safari13.0.1MojaveAuto"),
              ("2020-09-16", "14.0", "Safari14.0CatalinaAuto"), ("2020-12-14", "14.0.2", "Safari14.0.2CatalinaAuto"),
              ("2021-04-26", "14.1", "Safari14.1CatalinaAuto")]
    start = d("2018-03-02")
    catalina_start = d("2019-11-01")
    apps = [a for a in apps_common(start) if a[1] not in ("Xcode",) and d(a[0]) <= d("2021-06-01")]
    apps += [
        ("2021-04-26", "Security Update 2021-002 Catalina", "10.15.7", [], "softwareupdated"),
        ("2020-11-12", "Security Update 2020-001 Catalina", "10.15.7", [], "softwareupdated"),
    ]
    entries, last = build_history(
        "intel-catalina", start, ["10.13.3"] + os_range("10.13.6", "10.15.7"), d("2021-05-01"), "10.13.3",
        safari, apps, 5356, catalina_start, d("2022-03-01"))
    r.plist("/Library/Receipts/InstallHistory.plist", entries)
    write_bundles(r, {
        "xprotect": last["XProtectPlistConfigData"],
        "xpr": last["XProtectPayloads"],
        "mrt": last["MRTConfigData"],
        "tcc": last["TCC Configuration Data"],
        "kext": last["Incompatible Kernel Extension Configuration Data"],
    })
    r.stubs()
    return r, len(entries)


def build_intel_ssv_off():
    r = Root("intel-ssv-off")
    serial = "C02XW1RKJG5J"
    hw = stable_uuid("intel-ssv-off", "hardware")
    firmware = "2094.80.5.0.0 (iBridge: 23.16.13061.0.0,0)"
    r.plist("/System/Library/CoreServices/SystemVersion.plist", system_version("12.7.6", "21H1320", year=2024))
    r.plist("/IORegistry.plist", io_registry("MacBookPro15,1", serial, hw, firmware, "Mac-937A206F2EE63C01",
                                             "01/21/2026"))
    r.data("csrutil-status", CSRUTIL_ENABLED)
    r.data("csrutil-authenticated-root", AUTH_ROOT_DISABLED)
    r.data("spctl-status", SPCTL_ENABLED)
    r.data("fdesetup-status", FILEVAULT_ON)
    r.data("system_profiler-SPiBridgeDataType", t2_bridge("23P13061", stable_uuid("intel-t2", "boot")))
    r.data("system_profiler-SPHardwareDataType", t2_hardware(
        "MacBook Pro", "MacBookPro15,1", "6-Core Intel Core i7", "2.6 GHz", 6, "256 KB", "9 MB", "16 GB",
        firmware, "540.120.3~22", serial, hw))
    r.data("system_profiler-SPDisplaysDataType", sp_report(
        "Graphics/Displays:\n"
        "\n"
        "    Intel UHD Graphics 630:\n"
        "\n"
        "      Chipset Model: Intel UHD Graphics 630\n"
        "      Type: GPU\n"
        "      Bus: Built-In\n"
        "      VRAM (Dynamic, Max): 1536 MB\n"
        "      Vendor: Intel\n"
        "      Device ID: 0x3e9b\n"
        "      Revision ID: 0x0000\n"
        "      Automatic Graphics Switching: Supported\n"
        "      gMux Version: 5.0.0\n"
        "      Metal Family: Supported, Metal GPUFamily macOS 2\n"
        "      Displays:\n"
        "        Color LCD:\n"
        "          Display Type: Built-In Retina LCD\n"
        "          Resolution: 2880 x 1800 Retina\n"
        "          Framebuffer Depth: 24-Bit Color (ARGB8888)\n"
        "          Main Display: Yes\n"
        "          Mirror: Off\n"
        "          Online: Yes\n"
        "          Automatically Adjust Brightness: Yes\n"
        "          Connection Type: Internal\n"
        "\n"
        "    Radeon Pro 555X:\n"
        "\n"
        "      Chipset Model: Radeon Pro 555X\n"
        "      Type: GPU\n"
        "      Bus: PCIe\n"
        "      PCIe Lane Width: x8\n"
        "      VRAM (Total): 4 GB\n"
        "      Vendor: AMD (0x1002)\n"
        "      Device ID: 0x67ef\n"
        "      Revision ID: 0x00c2\n"
        "      ROM Revision: 113-C980AJ-927\n"
        "      VBIOS Version: 113-C9801AU-A02\n"
        "      EFI Driver Version: 01.A1.927\n"
        "      Automatic Graphics Switching: Supported\n"
        "      gMux Version: 5.0.0\n"
        "      Metal Family: Supported, Metal GPUFamily macOS 2\n"))
    # Monterey is at its last release; nothing pending (same answers as apple-silicon).
    r.data("softwareupdate-list", SU_HEADER, err=SU_NONE_ERR)
    r.data("softwareupdate-install-all", SU_HEADER, err="No updates are available.\n")
    r.data("softwareupdate-download-all", SU_HEADER, err="No updates are available.\n")
    r.data("softwareupdate-install-named", SU_HEADER, err="No such update\nNo updates are available.\n")
    r.data("softwareupdate-download-named", SU_HEADER, err="No such update\nNo updates are available.\n")
    r.data("AssetCacheManagerUtil-isActivated", err=ACM_NOT_ACTIVATED, status=1)
    r.data("log-show-xpr", xpr_log(
        "intel-ssv-off",
        [dt.datetime(2026, 8, 23, 15, 20, 9, 402000), dt.datetime(2026, 8, 24, 4, 3, 37, 118000)],
        dt.datetime(2026, 8, 20, 18, 45, 11), False))
    r.data("log-show-last", LOG_SHOW_LAST)
    r.data("id-G", ID_G_ADMIN)
    write_diagnostics(r)

    safari = [("2018-09-17", "12.0", "Safari12.0HighSierraAuto"), ("2022-09-12", "16.0", "Safari16.0MontereyAuto"),
              ("2023-09-21", "17.0", "Safari17.0MontereyAuto"), ("2024-03-07", "17.4", "Safari17.4MontereyAuto"),
              ("2024-07-29", "17.6", "Safari17.6MontereyAuto")]
    start = d("2018-08-06")
    entries, last = build_history(
        "intel-ssv-off", start, os_range("10.13.6", "10.15.7") + os_range("11.2", "11.6") + os_range("12.1", "12.7.6"),
        NOW_UTC, "10.13.6", safari, apps_common(start), 5356, d("2019-12-12"), d("2022-03-01"))
    r.plist("/Library/Receipts/InstallHistory.plist", entries)
    write_bundles(r, {
        "xprotect": last["XProtectPlistConfigData"],
        "xpr": last["XProtectPayloads"],
        "mrt": last["MRTConfigData"],
        "tcc": last["TCC Configuration Data"],
        "kext": last["Incompatible Kernel Extension Configuration Data"],
    })
    r.stubs()
    return r, len(entries)


def build_apple_silicon_listed():
    r = Root("apple-silicon-listed")
    serial = "FVFDN4Q2Q6L4"
    hw = stable_uuid("apple-silicon-listed", "hardware")
    r.plist("/System/Library/CoreServices/SystemVersion.plist", system_version("11.7.10", "20G1427", year=2023))
    r.plist("/IORegistry.plist", io_registry("MacBookAir10,1", serial, hw, "iBoot-6723.140.2"))
    r.data("csrutil-status", CSRUTIL_ENABLED)
    r.data("csrutil-authenticated-root", AUTH_ROOT_ENABLED)
    r.data("spctl-status", SPCTL_ENABLED)
    r.data("fdesetup-status", FILEVAULT_ON)
    # Made-up "listed" form of the chip report: the boot policy without Enabled/Disabled.
    r.data("system_profiler-SPiBridgeDataType", apple_silicon_bridge(
        "MacBookAir10,1", "iBoot-6723.140.2", stable_uuid("apple-silicon-listed", "boot"), listed=True))
    # Big Sur prints no "OS Loader Version" line yet.
    r.data("system_profiler-SPHardwareDataType", sp_report(
        "Hardware:\n"
        "\n"
        "    Hardware Overview:\n"
        "\n"
        "      Model Name: MacBook Air\n"
        "      Model Identifier: MacBookAir10,1\n"
        "      Chip: Apple M1\n"
        "      Total Number of Cores: 8 (4 performance and 4 efficiency)\n"
        "      Memory: 8 GB\n"
        "      System Firmware Version: 6723.140.2\n"
        "      Serial Number (system): %s\n"
        "      Hardware UUID: %s\n"
        "      Provisioning UDID: 00008103-000A35E21E41001E\n"
        "      Activation Lock Status: Disabled\n" % (serial, hw)))
    r.data("system_profiler-SPDisplaysDataType", sp_report(
        "Graphics/Displays:\n"
        "\n"
        "    Apple M1:\n"
        "\n"
        "      Chipset Model: Apple M1\n"
        "      Type: GPU\n"
        "      Bus: Built-In\n"
        "      Total Number of Cores: 7\n"
        "      Vendor: Apple (0x106b)\n"
        "      Metal Family: Supported, Metal GPUFamily Apple 7\n"
        "      Displays:\n"
        "        Color LCD:\n"
        "          Display Type: Built-In Retina LCD\n"
        "          Resolution: 2560 x 1600 Retina\n"
        "          Main Display: Yes\n"
        "          Mirror: Off\n"
        "          Online: Yes\n"
        "          Automatically Adjust Brightness: Yes\n"
        "          Connection Type: Internal\n"))
    r.data("softwareupdate-list", SU_HEADER, err=SU_NONE_ERR)
    r.data("softwareupdate-install-all", SU_HEADER, err="No updates are available.\n")
    r.data("softwareupdate-download-all", SU_HEADER, err="No updates are available.\n")
    r.data("softwareupdate-install-named", SU_HEADER, err="No such update\nNo updates are available.\n")
    r.data("softwareupdate-download-named", SU_HEADER, err="No such update\nNo updates are available.\n")
    r.data("AssetCacheManagerUtil-isActivated", err=ACM_NOT_ACTIVATED, status=1)
    r.data("log-show-xpr", xpr_log(
        "apple-silicon-listed",
        [dt.datetime(2026, 8, 23, 9, 58, 30, 5000), dt.datetime(2026, 8, 23, 22, 31, 19, 660000)],
        dt.datetime(2026, 8, 17, 5, 2, 48), True))
    r.data("log-show-last", LOG_SHOW_LAST)
    r.data("id-G", ID_G_ADMIN)
    write_diagnostics(r)

    safari = [("2021-09-20", "15.0", "Safari15.0BigSurAuto"), ("2022-09-12", "16.0", "Safari16.0BigSurAuto"),
              ("2023-07-24", "16.6", "Safari16.6BigSurAuto")]
    start = d("2020-11-20")
    entries, last = build_history(
        "apple-silicon-listed", start, os_range("11.0.1", "11.7.10"), NOW_UTC, "11.0.1", safari,
        apps_common(start), 5356, start, d("2022-03-01"))
    r.plist("/Library/Receipts/InstallHistory.plist", entries, binary=True)
    write_bundles(r, {
        "xprotect": last["XProtectPlistConfigData"],
        "xpr": last["XProtectPayloads"],
        "mrt": last["MRTConfigData"],
        "tcc": last["TCC Configuration Data"],
        "kext": last["Incompatible Kernel Extension Configuration Data"],
    })
    r.stubs()
    return r, len(entries)


# --------------------------------------------------------------------------------------------
# Sharing identical files


def share_identical(root):
    """Replaces a variant root's regular files by relative symlinks to the same file of a base
    root when the bytes are identical. Stubs stay real files so every root runs its own tools."""
    stub_paths = {p for p, _ in TOOLS}
    shared = 0
    for dirpath, _dirs, files in os.walk(root.path):
        for name in files:
            full = os.path.join(dirpath, name)
            if os.path.islink(full):
                continue
            rel = os.path.relpath(full, root.path)
            # The diagnostics folders stay real: tests take their permissions away to play a
            # Mac without Full Disk Access, which must not touch another root.
            if ("/" + rel in stub_paths or rel.startswith(".sim/override") or rel == ".sim/calls.log"
                    or rel.startswith("var/")):
                continue
            with open(full, "rb") as f:
                mine = f.read()
            for base in BASE_ROOTS:
                other = os.path.join(SIM, base, rel)
                if os.path.isfile(other) and not os.path.islink(other):
                    with open(other, "rb") as f:
                        if f.read() == mine:
                            os.remove(full)
                            os.symlink(os.path.relpath(other, dirpath), full)
                            shared += 1
                            break
    return shared


# --------------------------------------------------------------------------------------------


def rebuild(name, builder):
    path = os.path.join(SIM, name)
    keep = tempfile.mkdtemp(prefix="simgen-keep-")
    kept = []
    for rel in (".sim/override", ".sim/calls.log"):
        src = os.path.join(path, rel)
        if os.path.lexists(src):
            shutil.move(src, os.path.join(keep, os.path.basename(rel)))
            kept.append(rel)
    if os.path.lexists(path):
        shutil.rmtree(path)
    root, count = builder()
    for rel in kept:
        shutil.move(os.path.join(keep, os.path.basename(rel)), os.path.join(path, rel))
    shutil.rmtree(keep)
    return root, count


def main():
    global SIM
    args = sys.argv[1:]
    if args[:1] == ["--out"] and len(args) == 2:
        SIM = os.path.abspath(args[1])
    elif args:
        sys.exit("usage: simgen.py [--out DIR]")
    if not os.path.isfile(os.path.join(SIM, "_common", "lib.sh")):
        sys.exit("simgen: %s/_common/lib.sh is missing" % SIM)
    builders = {
        "intel-t2": build_intel_t2,
        "apple-silicon": build_apple_silicon,
        "intel-catalina": build_intel_catalina,
        "intel-ssv-off": build_intel_ssv_off,
        "apple-silicon-listed": build_apple_silicon_listed,
    }
    roots = {}
    for name in ROOTS:
        roots[name], count = rebuild(name, builders[name])
        print("%-22s %3d InstallHistory entries" % (name, count))
    for name in ROOTS:
        if name not in BASE_ROOTS:
            print("%-22s %3d files shared with a base root" % (name, share_identical(roots[name])))


if __name__ == "__main__":
    main()
