// Pure rules of the firmware checks: version comparisons, model matching, and the texts of a
// comparison with the published list.
#pragma once

#include "platform/PropertyList.h"

#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

namespace lq {

// Whether the installed boot ROM (EFI) version is older than the expected one. The first three
// dot-separated parts count and, when they tie, the fourth; a version of fewer than three parts, or a
// tie where either has no fourth part, counts as needing an update.
bool efiNeedsUpdate(const QString& installed, const QString& expected);

// Whether the installed system firmware (iBoot) version is older than the expected one. Three parts
// count; a tie on them is up to date; fewer than three parts counts as needing an update.
bool iBootNeedsUpdate(const QString& installed, const QString& expected);

// -1, 0 or 1 as the number at the start of `a` is less than, equal to or greater than the one at the
// start of `b`, each read as a text-to-integer conversion reads it (leading white space, a sign, digits
// up to the first other character, 0 without digits), compared exactly however many digits there are.
int compareLeadingNumbers(QStringView a, QStringView b);

// Whether the listed model identifier names this Mac. The listed identifier must occur in the Mac's,
// and not as part of a longer name or number: "MacBookPro6,1" names neither "MacBookPro16,1" nor
// "MacBookPro6,10". The Mac's identifier may carry a trailing NUL from the I/O Registry.
bool modelMatches(const QString& listed, const QString& macModel);

// The value shown for an old-style boot ROM version (one whose first word starts with a letter): its
// parts from the third on, or "(none found)" with fewer than four parts.
QString oldStyleEfiValue(const QString& bootRomVersion);

// One entry of an Intel family list, with the keys this check reads (absent keys are nothing).
struct EfiListEntry {
    QString macModel;
    std::optional<QString> efiVersion15;
    std::optional<QString> iBridge15;
    std::optional<QString> efiVersion;
    std::optional<QString> iBridge;
};

// What comparing a Mac with an Intel family list gives: the report lines and the status text.
struct FirmwareComparison {
    QString lines;
    QString status;
    QString expected = {}; // the listed version the installed one was judged against, when one was
};

FirmwareComparison compareEfiEntries(const std::vector<EfiListEntry>& entries, const QString& modelIdentifier,
                                     const QString& bootRomVersion, const QString& family);

// One entry of the Apple-silicon list.
struct IBootListEntry {
    QString macModel;
    std::optional<QString> iBootVersion;
};

FirmwareComparison compareIBootEntries(const std::vector<IBootListEntry>& entries,
                                       const QString& modelIdentifier, const QString& installedVersion);

// The entries of a decoded Intel family list and of the Apple-silicon list. Entries that are no
// dictionary, or have no model identifier as text, cannot name any Mac and are skipped.
std::vector<EfiListEntry> readEfiEntries(const plist::Node& root);
std::vector<IBootListEntry> readIBootEntries(const plist::Node& root);

} // namespace lq
