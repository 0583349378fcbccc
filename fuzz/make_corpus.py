#!/usr/bin/env python3
"""Writes the seed corpora under corpus/<target>/ from the samples, the bundled simulated Macs and a
few made-up lists. Run it again to refresh them; it replaces only the files it writes."""
import glob
import os
import plistlib
import shutil

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(HERE)
SAMPLES = os.environ.get("LQ_SAMPLES", "/work/shared/samples")


def target(name):
    path = os.path.join(HERE, "corpus", name)
    os.makedirs(path, exist_ok=True)
    return path


def write(name, file, data):
    with open(os.path.join(target(name), file), "wb") as f:
        f.write(data)


def both_formats(name, stem, value):
    write(name, stem + ".plist", plistlib.dumps(value, fmt=plistlib.FMT_XML))
    write(name, stem + ".bplist", plistlib.dumps(value, fmt=plistlib.FMT_BINARY))


def copy(name, pattern, limit=65536):
    for path in sorted(glob.glob(pattern)):
        # Only tool output itself: the samples' notes and third-party documents stay out.
        if "NOTES" in path or "THIRDPARTY" in path:
            continue
        if os.path.getsize(path) <= limit:
            shutil.copy(path, os.path.join(target(name), os.path.basename(path)))


def main():
    # Security data list and bundle Info.plists.
    both_formats("plist_security_data", "list", {
        "XProtect15": "5321", "XPremed": "145", "MRT": "1.93", "TCC15": "15.0", "TCC18": "18.0",
        "KEXT15": "15.5", "KEXT18": "18.5", "StudioDisplay": "17.0", "Unrelated": 9})
    both_formats("plist_security_data", "info", {"CFBundleShortVersionString": "5321", "CFBundleVersion": "1"})
    copy("plist_security_data", os.path.join(TOP, "sim/intel-t2/Library/Apple/System/Library/CoreServices/*/Contents/Info.plist"))
    for i, path in enumerate(sorted(glob.glob(os.path.join(TOP, "sim/*/Library/Apple/Library/Bundles/*/Contents/Info.plist")))[:2]):
        shutil.copy(path, os.path.join(target("plist_security_data"), "tcc-info-%d.plist" % i))

    # Firmware lists of both kinds.
    both_formats("plist_firmware", "efi", [
        {"MacModel": "MacBookPro16,2", "EFIversion": "2069.40.2.0.0", "iBridge": "22.16.10353.0.0,0",
         "EFIversion15": "2075.100.3.0.0", "iBridge15": "22.16.13051.0.0,0"},
        {"MacModel": "MacBookPro6,1", "EFIversion": "MBP61.88Z.0057.B0F.1112091028"},
        {"MacModel": 7}, "not an entry"])
    both_formats("plist_firmware", "iboot", [
        {"MacModel": "Mac16,13", "iBootversion": "11881.61.3"},
        {"MacModel": "other", "iBootversion": "11881.41.5"}])

    # Install history.
    history = os.path.join(TOP, "tests/fixtures/updates/InstallHistory-osx10.9.plist")
    shutil.copy(history, os.path.join(target("plist_receipts"), "InstallHistory.plist"))
    with open(history, "rb") as f:
        write("plist_receipts", "InstallHistory.bplist", plistlib.dumps(plistlib.load(f), fmt=plistlib.FMT_BINARY))

    # Tool outputs.
    copy("xpr_json", os.path.join(SAMPLES, "log-show-style-json*"))
    copy("xpr_json", os.path.join(SAMPLES, "xprotect-remediator-*"))
    write("xpr_json", "header-then-events.json",
          b'Filtering the log data using "subsystem == \\"com.apple.XProtectFramework\\""\n'
          b'[{"eventMessage":"{\\"status_message\\":\\"NoThreatsDetected\\",\\"status_code\\":0,'
          b'\\"action\\":\\"none\\",\\"execution_duration\\":1.5}"},{"eventMessage":"not json"}]\n')
    # What Qt's JSON reader took beyond strict JSON, which the summary still takes (src/securitydata/
    # LenientJson.h), and events whose text looks like the end of an event, where runs are cut.
    write("xpr_json", "lenient-json.json",
          b'\xef\xbb\xbf \n[{"eventMessage":"{\\"status_code\\":23.}","x":"\x01\\a\\ud800"},'
          b'{"eventMessage":"{\\"status_message\\":\\"Success\\",\\"status_code\\":.0e1}"},'
          b'{"eventMessage":"{\\"status_code\\":5,\\"action\\":\\"\\\\u0072eport\\"}","n":-.5},'
          b'{"eventMessage":"{\\"status_code\\":20,\\"status_code\\":1e-400}"},'
          b'{"eventMessage":"{\\"status_code\\":20}","eventMessage":7,"big":123456789012345678901234}]\n')
    write("xpr_json", "cut-lookalikes.json",
          b'[{"note":"},{","frames":[{"a":1},{"b":2}],"eventMessage":"{\\"status_code\\":20}"},'
          b'{"note":"\\"},{\\\\","eventMessage":"{\\"status_code\\":23}"} , {"eventMessage":"x"}]')
    for pattern in ("sphardware-*", "spdisplays-*", "spibridge-*"):
        copy("hardware_output", os.path.join(SAMPLES, pattern))
    copy("hardware_output", os.path.join(TOP, "tests/fixtures/hardware/sp*.txt"))
    for pattern in ("csrutil-*", "spctl-*", "fdesetup-*", "spibridge-*"):
        copy("security_status", os.path.join(SAMPLES, pattern))
    for pattern in ("softwareupdate-*", "assetcache*"):
        copy("update_listing", os.path.join(SAMPLES, pattern))


if __name__ == "__main__":
    main()
