// The settings' names for a bundle identifier.
#include "platform/SettingsDomain.h"

#include <QStringList>

#include <algorithm>

namespace lq {

SettingsDomain preferencesDomainOf(const QString& bundleIdentifier) {
    QStringList parts = bundleIdentifier.split(QLatin1Char('.'));
    if (parts.size() < 3 || parts.contains(QString()))
        return {};
    const QString application = parts.takeLast();
    std::reverse(parts.begin(), parts.end());
    return {parts.join(QLatin1Char('.')), application};
}

} // namespace lq
