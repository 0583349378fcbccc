// The pure rules of the security data comparison: which reference keys apply, how one item and the
// Studio Display firmware are judged, and how an installed bundle's version is read from what the
// system gave back.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace lq {

inline const QString kVersionNotFound = QStringLiteral("Not found");
inline const QString kRecentlyUpdatedMark = QStringLiteral(" 👈");

// The keys of the TCC data and the kernel extension exclude list for an OS version code.
struct OsDependentKeys {
    const char* tcc;
    const char* kext;
};
OsDependentKeys securityDataKeysFor(int osVersionCode);

// One item's verdict: its status text and its report line.
struct ItemVerdict {
    QString statusText;
    QString reportLine;
};
// Nothing when either version is empty: the item then keeps its status text and has no line.
// Versions are equal only when the strings are identical; a newer installed version is not current.
std::optional<ItemVerdict> compareSecurityItem(const QString& label, const QString& installed,
                                               const QString& reference);

// The Studio Display firmware against the reference: current only when every display has it.
ItemVerdict compareDisplayFirmware(const QStringList& versions, const QString& build,
                                   const QString& reference);

// " 👈" after a status text of data installed within the last day.
QString withRecentMark(const QString& statusText, bool recentlyUpdated);

// The version in a bundle's Info.plist bytes (nothing when the file could not be read).
QString versionFromInfoPlist(const std::optional<QByteArray>& infoPlist);
// The version that `defaults read` printed, from its exit status and standard output.
QString versionFromDefaultsOutput(int status, const QByteArray& output);

} // namespace lq
