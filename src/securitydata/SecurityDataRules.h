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

// The keys of the TCC data and the kernel extension exclude list for an OS version code, in the order
// they are looked up: a list may publish one value per macOS release ("TCC20"), and older lists
// publish one value for every release from macOS 13 on ("TCC18").
struct OsDependentKeys {
    QStringList tcc;
    QStringList kext;
};
OsDependentKeys securityDataKeysFor(int osVersionCode);

// One item's verdict: its status text and its report line.
struct ItemVerdict {
    QString statusText;
    QString reportLine;
};
// Nothing when the installed version is empty, or when nothing is installed and nothing published:
// the item then keeps its status text and has no line. With no published value an installed version
// is shown without a mark and without a line, since there is nothing to judge it by.
// Versions are equal only when the strings are identical; a newer installed version is not current.
std::optional<ItemVerdict> compareSecurityItem(const QString& label, const QString& installed,
                                               const QString& reference);

// The Studio Display firmware against the reference: current only when every display has it.
ItemVerdict compareDisplayFirmware(const QStringList& versions, const QString& build,
                                   const QString& reference);

// The report line that names the CoreServices copy of XProtect when it differs from the copy in use.
QString xprotectFallbackCopyLine(const QString& coreServicesVersion);

// " 👈" after a status text of data installed within the last day.
QString withRecentMark(const QString& statusText, bool recentlyUpdated);

// The version in a bundle's Info.plist bytes (nothing when the file could not be read).
QString versionFromInfoPlist(const std::optional<QByteArray>& infoPlist);
// The version that `defaults read` printed, from its exit status and standard output.
QString versionFromDefaultsOutput(int status, const QByteArray& output);

} // namespace lq
