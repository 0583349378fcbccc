// Installed security data versions (XProtect, XProtect Remediator, MRT, TCC data, the kernel extension
// exclude list, a Studio Display's firmware) against the published ones.
#pragma once

#include "platform/Background.h"
#include "securitydata/ReferenceList.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <optional>

namespace lq {

// Where the security data lives, and how a bundle's version is asked for.
inline const QString theXProtCatPath =
    QStringLiteral("/Library/Apple/System/Library/CoreServices/XProtect.bundle");
// Where XProtect reads its rules from on macOS 15 and later.
inline const QString theXProtProtectedPath =
    QStringLiteral("/private/var/protected/xprotect/XProtect.bundle");
inline const QString theXPremCatPath =
    QStringLiteral("/Library/Apple/System/Library/CoreServices/XProtect.app");
inline const QString theKextCatPath =
    QStringLiteral("/Library/Apple/System/Library/Extensions/AppleKextExcludeList.kext");
inline const QString theMRTCatPath = QStringLiteral("/Library/Apple/System/Library/CoreServices/MRT.app");
inline const QString theTCCCatPath =
    QStringLiteral("/Library/Apple/Library/Bundles/TCC_Compatibility.bundle");
inline const QString theDefaultCmdPath = QStringLiteral("/usr/bin/defaults");
inline const QStringList theDefaultsCmd = {QStringLiteral("read")};
inline const QString theDefaultsCmdTail = QStringLiteral("CFBundleShortVersionString");
inline const QString theDefaultsPathTail = QStringLiteral("/Contents/Info.plist");

struct SecurityDataInputs {
    int osVersion = 15; // the version code
    // The first run of a window reads the bundles' Info.plist files; later runs ask `defaults`, so
    // that bundles updated since launch are seen as they are now.
    bool readBundlesDirectly = true;
    QString referenceBaseUrl;
};

// The field texts of a comparison, before the recently-updated marks.
struct SecurityDataFields {
    QString xprotect = QStringLiteral("❌ No XProtect version found.");
    QString xpr = QStringLiteral("❌ No XPR version found.");
    QString mrt = QStringLiteral("❌ No MRT version found.");
    QString tcc = QStringLiteral("❌ No TCC version found.");
    QString kext = QStringLiteral("❌ No KEXT version found.");
    QString display = QStringLiteral("❌ No display fw found.");
};

// The report lines (or the fetch's failure line), the fields when the list was received, and the
// alerts that reading the list raised. A Studio Display's firmware is judged when the result is
// applied, against the list's value: the displays may not have been identified when the step started.
struct SecurityDataResult {
    QString lines;
    std::optional<SecurityDataFields> fields;
    std::optional<QString> publishedDisplayFirmware; // set when the list could be read
    QStringList alerts;
    // Per item, by check id (xprotect, xprotectRemediator, mrt, tcc, kextExcludeList): the installed
    // version and the published one ("" when the list publishes none); set when the list could be read.
    std::map<QString, std::pair<QString, QString>> versions;
    ListRecord list; // what became of the list
    bool empty() const { return lines.isEmpty() && !fields && alerts.isEmpty(); }
};

// Reads the installed versions off the main thread while the list is fetched, and hands back the
// comparison once, on the main thread. A list served as another media type hands back an empty result.
class SecurityDataCheck {
public:
    static void start(const StepServices& step, const SecurityDataInputs& inputs,
                      std::function<void(const SecurityDataResult&)> done);
};

// A bundle's version ("Not found" when it has none); runs a tool unless `readDirectly`, so never on
// the main thread.
QString installedBundleVersion(const Services& services, const QString& bundlePath, bool readDirectly);

} // namespace lq
