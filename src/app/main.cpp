// Lanternquill: the window, or the headless report with --report.
#include "app/AppOptions.h"
#include "app/HeadlessReport.h"
#include "app/ReferenceBase.h"
#include "app/SystemServices.h"
#include "platform/SettingsKeys.h"
#include "ui/EventLoopProbe.h"
#include "ui/GuiApplication.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <memory>

namespace {

void print(FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

int main(int argc, char* argv[]) {
    lq::endToolsOnTerminatingSignals();
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const lq::AppOptions options = lq::parseOptions(arguments);
    if (!options.error.isEmpty()) {
        print(stderr, QStringLiteral("lanternquill: %1\n\n%2").arg(options.error, lq::usageText()));
        return 2;
    }
    if (options.help) {
        print(stdout, lq::usageText());
        return 0;
    }
    if (options.version) {
        print(stdout, QStringLiteral("Lanternquill %1\n").arg(QStringLiteral(LQ_VERSION)));
        return 0;
    }

    const QString root =
        options.systemRoot.isEmpty() ? QStringLiteral(LQ_DEFAULT_SYSTEM_ROOT) : options.systemRoot;
    if (!QFileInfo(root).isDir()) {
        print(stderr, QStringLiteral("lanternquill: no such folder: %1\n\n%2").arg(root, lq::usageText()));
        return 2;
    }
    // The command line's address, else the setting's (read once the settings are open), else the built-in.
    const auto referenceBase = [&options](const lq::SystemServices& system) {
        return lq::chooseReferenceBase(options.referenceUrl,
                                       system.settings.stringValue(lq::keys::referenceBaseURL),
                                       QStringLiteral(LQ_REFERENCE_BASE_URL), QDir::currentPath());
    };

    if (options.report) {
        QCoreApplication app(argc, argv);
        QCoreApplication::setOrganizationName(QStringLiteral("lanternquill"));
        QCoreApplication::setApplicationName(QStringLiteral("Lanternquill"));
        lq::SystemServices system(root);
        const lq::ReferenceBase reference = referenceBase(system);
        if (!reference.settingProblem.isEmpty())
            print(stderr, QStringLiteral("lanternquill: %1\n").arg(reference.settingProblem));
        const lq::HeadlessResult result = lq::runHeadlessCheck(
            system.services(), reference.url,
            [](const QString& alert) { print(stderr, QStringLiteral("An error occurred: %1\n").arg(alert)); },
            static_cast<int>(options.timeoutSeconds * 1000), reference.source);
        print(stdout, options.json ? result.json : result.text);
        for (const QString& problem : result.problems)
            print(stderr, QStringLiteral("lanternquill: %1\n").arg(problem));
        return result.exitStatus;
    }

    QApplication app(argc, argv);
    // Only with LQ_EVENT_LOOP_PROBE=1 (bench/run.py): counts from here, the first moment it can.
    const std::unique_ptr<lq::EventLoopProbe> probe = lq::EventLoopProbe::fromEnvironment();
    QCoreApplication::setOrganizationName(QStringLiteral("lanternquill"));
    QCoreApplication::setApplicationName(QStringLiteral("Lanternquill"));
    lq::SystemServices system(root);
    const lq::ReferenceBase reference = referenceBase(system);
    lq::GuiApplication gui(system.services(), reference.url);
    if (probe)
        probe->watch(gui.mainWindow());
    gui.start(reference.settingProblem);
    return QApplication::exec();
}
