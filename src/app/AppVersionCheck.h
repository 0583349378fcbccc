// The application's own version check: when it is due, which running version the bundle declares, and
// which published entries are worth offering to the user. No I/O here.
#pragma once

#include "platform/PropertyList.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <vector>

namespace lq {

// The name this application goes by in the published list of applications.
inline const QString kAppListName = QStringLiteral("Lanternquill2");
// Where downloads of the application are published. Only addresses on this site are offered, so a
// damaged or tampered list cannot send the user anywhere else.
inline const QString kDownloadSitePrefix = QStringLiteral("https://lanternquill.example.org/");
// The published list of applications, under the reference repository's base address.
inline const QString kAppListFileName = QStringLiteral("brindledapps.plist");
// Used when no interval, or one below a second, is stored: twelve hours.
inline constexpr double kDefaultUpdateCheckInterval = 43200.0;

inline const QString kNoAppVersionAlert =
    QStringLiteral("Can't check for updates:\nNo app version string found.");

// Seconds since 1 January 2001 00:00:00 UTC, the epoch in which the time of the last check is stored.
double secondsSinceReferenceDate(const QDateTime& time);

// Whether a check is due: more than the interval has passed since the last one (strictly).
bool appUpdateCheckDue(double lastCheck, double storedInterval, double now);

// The running version as the application's Info.plist declares it.
struct RunningVersion {
    enum class Kind {
        NoDictionary, // no Info.plist, or an empty one: nothing to check against, silently
        NoVersion,    // a dictionary without a version string: the user is told
        Found,
    };
    Kind kind = Kind::NoDictionary;
    QString version;
};
RunningVersion readRunningVersion(const QByteArray& infoPlist);

// A published version the user may be offered, with its download page.
struct AppUpdateOffer {
    QString version;
    QString url;
    bool operator==(const AppUpdateOffer&) const = default;
};

// What the published list says about this application: whether it lists it at all, and the entries
// that differ from the running version (older or newer: any difference is offered), in list order.
struct AppListReading {
    bool listed = false;
    std::vector<AppUpdateOffer> offers;
};
AppListReading readAppList(const plist::Node& entries, const QString& runningVersion);

// Whether `url` is a well-formed address on the download site.
bool isDownloadSiteUrl(const QString& url);

QString updateAlertMessage(const QString& publishedVersion);
QString updateAlertInformativeText(const QString& runningVersion);

} // namespace lq
