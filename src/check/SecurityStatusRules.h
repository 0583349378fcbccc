// The texts of the security status verdicts: how the outputs of csrutil, spctl and fdesetup and the
// Apple-silicon boot policy are judged, and the status texts and report lines they give.
#pragma once

#include <QString>

#include <optional>

namespace lq {

// A status field's text and the part of the report block that goes with it.
struct SecurityVerdict {
    QString statusText;
    QString block;
};

// SIP is on when `csrutil status` reports the status as enabled ("…status: enabled"); a custom
// configuration ("status: unknown (Custom Configuration)") is not.
bool sipIsOn(const QString& csrutilStatus);
// The signed system volume is on when `csrutil authenticated-root status` reports it enabled.
bool ssvIsOn(const QString& authenticatedRootStatus);
// Whether the OS version code is of a system with a signed system volume (macOS 11 and later).
bool osHasSignedSystemVolume(int osVersionCode);

// SIP alone, for macOS 10.15 and earlier: the mark and the whole tool output.
SecurityVerdict sipVerdict(const QString& csrutilStatus);
// SIP and SSV together; when both are on the outputs are left out of the block.
SecurityVerdict sipAndSsvVerdict(const QString& csrutilStatus, const QString& authenticatedRootStatus);
SecurityVerdict xprotectVerdict(const QString& spctlStatus);
SecurityVerdict fileVaultVerdict(const QString& fdesetupStatus);

// How one line of an Apple-silicon chip report is shown in the report block.
enum class PolicyLine {
    Good,    // a protection that is as strict as it can be ("\t🍏 ")
    Warning, // a protection that has been relaxed ("\t⚠️ ")
    Plain,   // a line shown without a judgement ("\t")
    Skipped, // not a boot policy setting
};
// Judges a line of a chip report whose settings read "Enabled"/"Disabled".
PolicyLine classifyEvaluatedPolicyLine(const QString& line);
// Judges a line of a chip report that lists its settings as "On"/"Off" (older wording) by the same
// table, with "On" counting as enabled; the MDM lines stay plain.
PolicyLine classifyListedPolicyLine(const QString& line);
QString policyLinePrefix(PolicyLine kind);

// The Apple-silicon section of the block and the verdict for `sipStatusText`; no verdict when the
// report is too short to hold a boot policy, or when none of its lines could be judged. A listed
// report whose settings are all good points to its lines; one with a relaxed setting is partial.
struct PlatformSecurity {
    QString block;
    std::optional<QString> statusText;
    int judged = 0;      // settings that could be judged
    bool allFull = true; // whether every judged setting is as strict as it can be
};
// How the boot policy line that names `setting` ("System Integrity Protection", "Signed System
// Volume") was judged; Skipped when the report has no such line.
PolicyLine policySetting(const QString& chipReport, const QString& setting);
PlatformSecurity platformSecurity(const QString& chipReport);

} // namespace lq
