// The headless report.
#include "app/HeadlessReport.h"

#include "app/MainMenu.h"
#include "check/MenuBarModel.h"
#include "check/ViewController.h"

#include "firmware/HardwareIdentification.h"
#include "platform/SystemInfo.h"
#include "platform/ToolRunner.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTimer>

namespace lq {

QString jsonKeyOf(Field field) {
    switch (field) {
    case Field::macTypeText:
        return QStringLiteral("model");
    case Field::efiVersionText:
        return QStringLiteral("firmware");
    case Field::xprotVersionText:
        return QStringLiteral("xprotect");
    case Field::mrtVersionText:
        return QStringLiteral("xprotectRemediator");
    case Field::kextVersionText:
        return QStringLiteral("tcc");
    case Field::gatekeepVersionText:
        return QStringLiteral("kextExcludeList");
    case Field::tccVersionText:
        return QStringLiteral("xprScans");
    case Field::sipStatusText:
        return QStringLiteral("sip");
    case Field::xprotStatusText:
        return QStringLiteral("gatekeeper");
    case Field::filevStatusText:
        return QStringLiteral("fileVault");
    case Field::updateStatusText:
        return QStringLiteral("updates");
    case Field::displayStatusText:
        return QStringLiteral("display");
    case Field::dfirmwareStatusText:
        return QStringLiteral("displayFirmware");
    }
    return QString();
}

MacosRelease macosRelease(const QString& osVersionText) {
    static const QRegularExpression pattern(QStringLiteral("^Version (\\S+) \\(Build (\\S+)\\)$"));
    const QRegularExpressionMatch match = pattern.match(osVersionText);
    if (!match.hasMatch())
        return {};
    return {match.captured(1), match.captured(2)};
}

namespace {

QJsonObject checkObject(const QString& id, const CheckRecord& record) {
    QJsonObject object;
    object.insert(QStringLiteral("id"), id);
    object.insert(QStringLiteral("state"), checkStateName(record.state));
    object.insert(QStringLiteral("text"), record.text);
    if (!record.installed.isEmpty())
        object.insert(QStringLiteral("installed"), record.installed);
    if (!record.expected.isEmpty())
        object.insert(QStringLiteral("expected"), record.expected);
    if (record.state == CheckState::Unknown || record.state == CheckState::NotApplicable)
        object.insert(QStringLiteral("reason"), record.reason);
    return object;
}

QJsonObject referenceObject(const QString& baseUrl, ReferenceSource source,
                            const std::vector<ListRecord>& lists, const std::optional<QDateTime>& runDate) {
    QJsonArray entries;
    for (const ListRecord& list : lists) {
        QJsonObject entry;
        entry.insert(QStringLiteral("name"), list.name);
        entry.insert(QStringLiteral("url"), list.url);
        entry.insert(QStringLiteral("outcome"), listOutcomeName(list.outcome));
        if (list.outcome == ListOutcome::HttpError)
            entry.insert(QStringLiteral("httpStatus"), list.httpStatus);
        if (!list.published.isEmpty())
            entry.insert(QStringLiteral("published"), list.published);
        if (list.fetchedAt.isValid())
            entry.insert(QStringLiteral("fetchedAt"), list.fetchedAt.toUTC().toString(Qt::ISODate));
        entries.append(entry);
    }
    QJsonObject reference;
    reference.insert(QStringLiteral("baseUrl"), baseUrl);
    reference.insert(QStringLiteral("source"), referenceSourceName(source));
    reference.insert(QStringLiteral("lists"), entries);
    const ReferenceAge age = runDate ? referenceAgeOf(lists, *runDate) : ReferenceAge();
    reference.insert(QStringLiteral("stale"), age.stale);
    reference.insert(QStringLiteral("staleAfterDays"), kStaleListDays);
    if (age.securityDataDays)
        reference.insert(QStringLiteral("securityDataAgeDays"), *age.securityDataDays);
    return reference;
}

} // namespace

HeadlessResult runHeadlessCheck(Services services, const QString& referenceBaseUrl,
                                const std::function<void(const QString&)>& onAlert, int timeoutMs,
                                ReferenceSource source) {
    PlainMainView view;
    view.onAlert = onAlert;
    MenuBarModel menus;
    ViewController controller(services, view, menus, referenceBaseUrl);
    buildMainMenu(menus, controller, nullptr);

    controller.viewDidLoad();
    controller.viewDidAppear();
    bool timedOut = false;
    if (controller.pendingWork() > 0) {
        QEventLoop loop;
        QObject::connect(&controller, &ViewController::asyncIdle, &loop, &QEventLoop::quit);
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, &loop, [&] {
            timedOut = true;
            loop.quit();
        });
        limit.start(timeoutMs);
        loop.exec();
    }
    if (timedOut) {
        // Whatever still runs is ended now, so that nothing outlives the report; the results it would
        // have given are not waited for.
        services.tools.endAll();
        for (const QString& id : checkIds()) {
            if (!controller.records.checks.count(id))
                controller.records.record(
                    id,
                    CheckRecord::unknown(QStringLiteral("timed out"),
                                         fieldOfCheck(id) ? view.fieldText(*fieldOfCheck(id)) : QString()));
        }
    }

    HeadlessResult result;
    result.text = controller.exportedReport();
    result.exitStatus = exitStatusOf(controller.records);
    if (timedOut)
        result.problems << QStringLiteral("the time limit of %1 s passed before every check had its result")
                               .arg(timeoutMs / 1000.0);
    for (const ListRecord& list : controller.records.lists) {
        if (list.outcome == ListOutcome::Ok)
            continue;
        QString outcome = listOutcomeName(list.outcome);
        if (list.outcome == ListOutcome::HttpError)
            outcome += QStringLiteral(" %1").arg(list.httpStatus);
        result.problems << QStringLiteral("reference list %1: %2").arg(list.url, outcome);
    }
    QJsonObject status;
    for (int i = 0; i < kFieldCount; ++i) {
        const auto field = static_cast<Field>(i);
        status.insert(jsonKeyOf(field), view.fieldText(field));
    }
    QJsonObject object;
    object.insert(QStringLiteral("report"), view.reportText());
    object.insert(QStringLiteral("windowTitle"), view.windowTitle());
    object.insert(QStringLiteral("alerts"), QJsonArray::fromStringList(view.alerts));
    object.insert(QStringLiteral("status"), status);
    object.insert(QStringLiteral("schemaVersion"), 1);
    object.insert(QStringLiteral("checkedAt"), controller.state.runDate
                                                   ? controller.state.runDate->toUTC().toString(Qt::ISODate)
                                                   : QString());
    object.insert(QStringLiteral("appVersion"), QStringLiteral(LQ_VERSION));
    const MacosRelease release = macosRelease(services.system.osVersion().text);
    QJsonObject mac;
    mac.insert(QStringLiteral("model"), readModelIdentifier(services.ioRegistry));
    mac.insert(QStringLiteral("macOSVersion"), release.version);
    mac.insert(QStringLiteral("macOSBuild"), release.build);
    mac.insert(QStringLiteral("appleSilicon"), controller.hardware.hasARM);
    object.insert(QStringLiteral("mac"), mac);
    object.insert(
        QStringLiteral("reference"),
        referenceObject(referenceBaseUrl, source, controller.records.lists, controller.state.runDate));
    QJsonArray checks;
    for (const QString& id : checkIds()) {
        const auto found = controller.records.checks.find(id);
        checks.append(checkObject(id, found != controller.records.checks.end()
                                          ? found->second
                                          : CheckRecord::unknown(QStringLiteral("not judged"))));
    }
    object.insert(QStringLiteral("checks"), checks);
    result.json = QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Indented));
    return result;
}

} // namespace lq
