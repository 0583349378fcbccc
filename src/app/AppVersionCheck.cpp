// The application's own version check, the parts that need no network and no window.
#include "app/AppVersionCheck.h"

#include <QUrl>

namespace lq {

double secondsSinceReferenceDate(const QDateTime& time) {
    static const QDateTime referenceDate(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
    return static_cast<double>(referenceDate.msecsTo(time)) / 1000.0;
}

bool appUpdateCheckDue(double lastCheck, double storedInterval, double now) {
    const double interval = storedInterval < 1.0 ? kDefaultUpdateCheckInterval : storedInterval;
    return interval < now - lastCheck;
}

RunningVersion readRunningVersion(const QByteArray& infoPlist) {
    const plist::ParseResult parsed = plist::parse(infoPlist);
    if (!parsed.document)
        return {};
    const plist::Node root = parsed.document->root();
    if (!root.isDictionary() || root.size() == 0)
        return {};
    const std::optional<QString> version = root["CFBundleShortVersionString"].string();
    if (!version)
        return {RunningVersion::Kind::NoVersion, QString()};
    return {RunningVersion::Kind::Found, *version};
}

AppListReading readAppList(const plist::Node& entries, const QString& runningVersion) {
    AppListReading reading;
    entries.forEachElement([&](const plist::Node& entry) {
        if (entry["AppName"].string() != kAppListName)
            return;
        reading.listed = true;
        const std::optional<QString> version = entry["Version"].string();
        const std::optional<QString> url = entry["URL"].string();
        // An entry without both values as text cannot be offered; it is passed over like one for
        // another site.
        if (!version || !url)
            return;
        if (*version == runningVersion)
            return;
        if (!isDownloadSiteUrl(*url))
            return;
        reading.offers.push_back({*version, *url});
    });
    return reading;
}

bool isDownloadSiteUrl(const QString& url) {
    // The address is handed to the system's opener as its one argument, so it must begin with the
    // site itself: merely containing the site would let "-a Terminal https://…" or another host
    // through.
    return url.startsWith(kDownloadSitePrefix) && QUrl(url, QUrl::StrictMode).isValid();
}

QString updateAlertMessage(const QString& publishedVersion) {
    return QStringLiteral("An update to this app to version ") + publishedVersion +
           QStringLiteral(" is available.");
}

QString updateAlertInformativeText(const QString& runningVersion) {
    return QStringLiteral("You are currently running Lanternquill2 version ") + runningVersion +
           QStringLiteral(".\nPlease choose whether to download this update now in your default browser.");
}

} // namespace lq
