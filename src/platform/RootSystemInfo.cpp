// System facts from the root.
#include "platform/RootSystemInfo.h"

#include "platform/PropertyList.h"
#include "platform/RegularFile.h"

#include <QStringList>

#include <algorithm>

#include <pwd.h>
#include <unistd.h>

namespace lq {

OsVersion makeOsVersion(const QString& productVersion, const QString& buildVersion) {
    OsVersion version;
    const QStringList parts = productVersion.split(QLatin1Char('.'));
    version.major = std::max(parts.value(0).toInt(), 0);
    version.minor = version.major > 0 ? parts.value(1).toInt() : 0;
    // A version without a major number to read is no version: say so rather than show what it held.
    const QString shown = version.known() ? productVersion : QStringLiteral("unknown");
    version.text = buildVersion.isEmpty() ? QStringLiteral("Version %1").arg(shown)
                                          : QStringLiteral("Version %1 (Build %2)").arg(shown, buildVersion);
    return version;
}

OsVersion RootSystemInfo::osVersion() const {
    // A real one is well under a kilobyte.
    constexpr qint64 kMaxBytes = 1 << 20;
    const FileRead read =
        readRegularFile(root_.map(QStringLiteral("/System/Library/CoreServices/SystemVersion.plist")),
                        QStringLiteral("SystemVersion.plist"), kMaxBytes);
    QString product;
    QString build;
    if (read.bytes) {
        const plist::ParseResult parsed = plist::parse(*read.bytes);
        if (parsed.document) {
            const plist::Node root = parsed.document->root();
            product = root["ProductVersion"].string().value_or(QString());
            build = root["ProductBuildVersion"].string().value_or(QString());
        }
    }
    return makeOsVersion(product, build);
}

QString RootSystemInfo::userName() const {
    if (const passwd* entry = getpwuid(geteuid()); entry && entry->pw_name)
        return QString::fromLocal8Bit(entry->pw_name);
    return qEnvironmentVariable("USER");
}

QDateTime RootSystemInfo::now() const {
    return QDateTime::currentDateTimeUtc();
}

} // namespace lq
