// The named update window's controller.
#include "updates/NamedViewController.h"

#include "platform/AppleScript.h"
#include "platform/SettingsKeys.h"
#include "platform/SettingsStore.h"
#include "platform/ToolRunner.h"
#include "updates/RunToolBothStreams.h"
#include "updates/UpdateScripts.h"

#include <QMetaObject>

#include <algorithm>

namespace lq {

NamedUpdateArguments namedUpdateArguments(const QString& typedName, bool downloadOnly) {
    const QString name = typedName.trimmed();
    if (name.isEmpty())
        return {};
    // Update labels never begin with "-"; such a name would reach the tool as one of its options.
    if (name.startsWith(QLatin1Char('-')))
        return {std::nullopt,
                QStringLiteral("⚠️ “%1” is not an update label: labels never begin with “-”.\n")
                    .arg(name)};
    return {QStringList{downloadOnly ? QStringLiteral("-d") : QStringLiteral("-i"),
                        QStringLiteral("--include-config-data"), name},
            QString()};
}

NamedViewController::NamedViewController(Services services, NamedView& view)
    : services_(services), view_(view) {
    processingQueue.setMaxThreadCount(4);
}

NamedViewController::~NamedViewController() {
    processingQueue.waitForDone();
}

void NamedViewController::viewDidLoad() {
    theFontSize = fontSizeFromSetting(services_.settings.doubleValue(keys::fontSize));
    noInstallSWU = services_.settings.boolValue(keys::noInstallSWU);
}

void NamedViewController::viewDidAppear() {
    if (noInstallSWU) {
        view_.setWindowTitle(QStringLiteral("⚠️ Lanternquill Updater"));
        view_.setInstallButtonTitle(QStringLiteral("Download Named Update"));
    } else {
        view_.setWindowTitle(QStringLiteral("Lanternquill Updater"));
    }
    view_.setSpinnerHidden(true);
}

void NamedViewController::installNamedUpdate() {
    const NamedUpdateArguments arguments = namedUpdateArguments(view_.updateName(), noInstallSWU);
    if (!arguments.refusal.isEmpty()) {
        appendNamedOutput(arguments.refusal);
        return;
    }
    if (!arguments.args)
        return;
    view_.setSpinnerHidden(false);
    view_.setSpinnerAnimating(true);
    ++runsUnderWay_;
    ToolRunner& tools = services_.tools;
    const QString path = theCSUPath;
    const QStringList args = *arguments.args;
    processingQueue.start([this, &tools, path, args] {
        const OutputPair result = runToolBothStreams(tools, path, args);
        QMetaObject::invokeMethod(
            this,
            [this, result] {
                appendNamedOutput(result.failed() ? QStringLiteral("❌ ") + result.failureText()
                                                  : result.combined());
                view_.setSpinnerAnimating(false);
                view_.setSpinnerHidden(true);
                // There is nothing to show in the Finder when the download failed.
                if (noInstallSWU && !result.failed())
                    runAppleScript(services_.tools, revealUpdatesScript());
                --runsUnderWay_;
            },
            Qt::QueuedConnection);
    });
}

void NamedViewController::incFontSize() {
    theFontSize = std::min(theFontSize + 1.0, 60.0);
    services_.settings.setDouble(keys::fontSize, theFontSize);
    restyleNamedOutput();
}

void NamedViewController::decFontSize() {
    theFontSize = std::max(theFontSize - 1.0, 4.0);
    services_.settings.setDouble(keys::fontSize, theFontSize);
    restyleNamedOutput();
}

} // namespace lq
