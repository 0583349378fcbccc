// The launch tasks of the application delegate: the application's own version check and the start-up
// test of the unified log.
#include "app/AppDelegate.h"

#include "app/AppVersionCheck.h"
#include "app/StartupMaintenance.h"

#include "check/MenuBarModel.h"
#include "platform/SettingsKeys.h"
#include "platform/SettingsStore.h"
#include "platform/SystemInfo.h"
#include "securitydata/ReferenceList.h"
#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>

#include <QFile>
#include <QPointer>

namespace lq {

namespace {

const QString kHelpMenu = QStringLiteral("Help");
const QString kUpdateNotChecked = QStringLiteral("Update not checked");
const QString kCheckedForUpdate = QStringLiteral("Checked for update");

} // namespace

QByteArray AppDelegate::bundledInfoPlist() {
    QFile file(QStringLiteral(":/Info.plist"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void AppDelegate::checkAppUpdateIfDue() {
    SettingsStore& settings = services.settings;
    if (settings.boolValue(keys::noUpdateCheck))
        return;
    const double now = secondsSinceReferenceDate(services.system.now());
    if (!appUpdateCheckDue(settings.doubleValue(keys::dateLastUpdateCheck),
                           settings.doubleValue(keys::updateCheckInt), now))
        return;
    checkForAppUpdate();
    // The time a check started, whatever its fetch later brings: a failed one waits a whole interval.
    settings.setDouble(keys::dateLastUpdateCheck, now);
}

void AppDelegate::checkForAppUpdate() {
    const RunningVersion running = readRunningVersion(appInfoPlist ? appInfoPlist() : QByteArray());
    switch (running.kind) {
    case RunningVersion::Kind::NoDictionary:
        return;
    case RunningVersion::Kind::NoVersion:
        if (showErrorAlert)
            showErrorAlert(kNoAppVersionAlert);
        return;
    case RunningVersion::Kind::Found:
        break;
    }
    QPointer<AppDelegate> self(this);
    // Failures of this fetch are not worth a word: the next launch after the interval tries again.
    ReferenceFetch fetch{services.http, this, {}, {}, {}};
    fetch.beginWork = [self] {
        if (self)
            ++self->pendingWork_;
    };
    fetch.endWork = [self] {
        if (self)
            --self->pendingWork_;
    };
    fetchReferenceList(fetch, referenceBaseUrl + kAppListFileName,
                       [self, version = running.version](const QByteArray& body) {
                           if (self)
                               self->compareAppVersions(body, version);
                       });
}

void AppDelegate::compareAppVersions(const QByteArray& body, const QString& runningVersion) {
    const AlertFunction alert = [this](const QString& text) {
        if (showErrorAlert)
            showErrorAlert(text);
    };
    const std::optional<plist::Document> list = parseReferenceList(body, alert, ListShape::Array);
    if (!list || !checkHasEntries(list->root(), alert))
        return;
    const AppListReading reading = readAppList(list->root(), runningVersion);
    if (reading.listed) {
        if (MenuItem* item = menus.findItem(kHelpMenu, kUpdateNotChecked)) {
            item->on = true;
            item->title = kCheckedForUpdate;
            menus.notifyChanged();
        }
    }
    for (const AppUpdateOffer& offer : reading.offers) {
        const bool download = askToDownload && askToDownload(updateAlertMessage(offer.version),
                                                             updateAlertInformativeText(runningVersion));
        if (download)
            openWebPage(offer.url);
    }
}

void AppDelegate::runStartupMaintenance() {
    if (!beginStartupMaintenance(services))
        return;
    // The tests run tools (`id`, `log`): off the main thread, so the window keeps answering.
    launchWork_.start(QStringLiteral("startup maintenance"),
                      [self = QPointer<AppDelegate>(this), services = services] {
                          const bool works = unifiedLogWorks(services);
                          QMetaObject::invokeMethod(
                              qApp,
                              [self, services, works] {
                                  if (self)
                                      finishStartupMaintenance(services, works);
                              },
                              Qt::QueuedConnection);
                      });
}

} // namespace lq
