// The pure rules of the security data comparison.
#include "securitydata/SecurityDataRules.h"

#include "platform/PropertyList.h"

#include <QStringDecoder>

#include <algorithm>

namespace lq {

OsDependentKeys securityDataKeysFor(int osVersionCode) {
    // Every release from macOS 13 on shares one pair of keys. Nothing older than 10.15 runs the
    // application, so a lower code can only be a misreading and gets the oldest keys.
    if (osVersionCode <= 15)
        return {"TCC15", "KEXT15"};
    if (osVersionCode == 16)
        return {"TCC16", "KEXT16"};
    if (osVersionCode == 17)
        return {"TCC17", "KEXT17"};
    return {"TCC18", "KEXT18"};
}

std::optional<ItemVerdict> compareSecurityItem(const QString& label, const QString& installed,
                                               const QString& reference) {
    if (installed.isEmpty() || reference.isEmpty())
        return std::nullopt;
    const QString mark = installed == reference ? QStringLiteral("✅ ") : QStringLiteral("❌ ");
    ItemVerdict verdict;
    verdict.statusText = mark + label + QLatin1Char(' ') + installed;
    verdict.reportLine = verdict.statusText + QStringLiteral(" should be ") + reference + QLatin1Char('\n');
    return verdict;
}

ItemVerdict compareDisplayFirmware(const QStringList& versions, const QString& build,
                                   const QString& reference) {
    const bool current = std::all_of(versions.begin(), versions.end(),
                                     [&](const QString& version) { return version == reference; });
    const QString joined = versions.join(QLatin1Char(','));
    const QString mark = current ? QStringLiteral("✅ ") : QStringLiteral("❌ ");
    ItemVerdict verdict;
    verdict.statusText = mark + joined;
    // The build word keeps the bracket that closes " (build"; it is written straight behind it.
    verdict.reportLine = mark + QStringLiteral("Studio Display firmware ") + joined +
                         QStringLiteral(" (build") + build + QStringLiteral(" should be ") + reference +
                         QLatin1Char('\n');
    return verdict;
}

QString withRecentMark(const QString& statusText, bool recentlyUpdated) {
    return recentlyUpdated ? statusText + kRecentlyUpdatedMark : statusText;
}

QString versionFromInfoPlist(const std::optional<QByteArray>& infoPlist) {
    if (!infoPlist)
        return kVersionNotFound;
    const plist::ParseResult parsed = plist::parse(*infoPlist);
    if (!parsed.document)
        return kVersionNotFound;
    // Not trimmed: the version is compared exactly as the bundle states it.
    return parsed.document->root()["CFBundleShortVersionString"].string().value_or(kVersionNotFound);
}

QString versionFromDefaultsOutput(int status, const QByteArray& output) {
    if (status != 0)
        return kVersionNotFound;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(output);
    // Garbled output would otherwise be shown with replacement characters as if it were a version.
    if (decoder.hasError())
        return kVersionNotFound;
    return text.trimmed();
}

} // namespace lq
