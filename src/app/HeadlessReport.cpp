// The headless report.
#include "app/HeadlessReport.h"

#include "app/MainMenu.h"
#include "check/MenuBarModel.h"
#include "check/ViewController.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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

HeadlessResult runHeadlessCheck(Services services, const QString& referenceBaseUrl,
                                const std::function<void(const QString&)>& onAlert) {
    PlainMainView view;
    view.onAlert = onAlert;
    MenuBarModel menus;
    ViewController controller(services, view, menus, referenceBaseUrl);
    buildMainMenu(menus, controller, nullptr);

    controller.viewDidLoad();
    controller.viewDidAppear();
    if (controller.pendingWork() > 0) {
        QEventLoop loop;
        QObject::connect(&controller, &ViewController::asyncIdle, &loop, &QEventLoop::quit);
        loop.exec();
    }

    HeadlessResult result;
    result.text = controller.exportedReport();
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
    result.json = QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Indented));
    return result;
}

} // namespace lq
