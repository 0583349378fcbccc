// The pure rules of the security data comparison.
#include "securitydata/SecurityDataRules.h"

#include "platform/PropertyList.h"

#include <QStringDecoder>

#include <algorithm>

namespace lq {

OsDependentKeys securityDataKeysFor(int osVersionCode) {
    // Nothing older than 10.15 runs the application, so a lower code can only be a misreading and
    // gets the oldest keys.
    if (osVersionCode <= 15)
        return {{QStringLiteral("TCC15")}, {QStringLiteral("KEXT15")}};
    if (osVersionCode < 18) {
        const QString code = QString::number(osVersionCode);
        return {{QStringLiteral("TCC") + code}, {QStringLiteral("KEXT") + code}};
    }
    // From macOS 13 on a list may publish a value per release, and falls back to the shared one.
    const QString code = QString::number(osVersionCode);
    OsDependentKeys keys{{QStringLiteral("TCC") + code}, {QStringLiteral("KEXT") + code}};
    if (osVersionCode != 18) {
        keys.tcc << QStringLiteral("TCC18");
        keys.kext << QStringLiteral("KEXT18");
    }
    return keys;
}

std::optional<ItemVerdict> compareSecurityItem(const QString& label, const QString& installed,
                                               const QString& reference) {
    if (installed.isEmpty())
        return std::nullopt;
    if (reference.isEmpty()) {
        if (installed == kVersionNotFound)
            return std::nullopt;
        return ItemVerdict{label + QLatin1Char(' ') + installed, QString()};
    }
    const QString mark = installed == reference ? QStringLiteral("✅ ") : QStringLiteral("❌ ");
    ItemVerdict verdict;
    verdict.statusText = mark + label + QLatin1Char(' ') + installed;
    verdict.reportLine = verdict.statusText + QStringLiteral(" should be ") + reference + QLatin1Char('\n');
    return verdict;
}

QString xprotectFallbackCopyLine(const QString& coreServicesVersion) {
    return QStringLiteral("👉 XProtect fallback copy in CoreServices: ") + coreServicesVersion +
           QLatin1Char('\n');
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
