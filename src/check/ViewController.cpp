// The main window controller's shared operations: tools, the report, the font size and the export.
#include "check/ViewController.h"

#include "check/ReportText.h"
#include "check/SettingsKeys.h"
#include "platform/AppleScript.h"
#include "platform/FileSystem.h"
#include "platform/SettingsStore.h"
#include "platform/ToolRunner.h"

#include <QMetaObject>

#include <algorithm>

namespace lq {

ViewController::ViewController(Services services_, MainView& view_, MenuBarModel& menus_,
                               QString referenceBaseUrl_, WorkQueue* queue)
    : services(services_), view(view_), menus(menus_), referenceBaseUrl(std::move(referenceBaseUrl_)) {
    if (!queue) {
        ownQueue_ = std::make_unique<ThreadPoolQueue>(8);
        queue = ownQueue_.get();
    }
    queue_ = queue;
}

ViewController::~ViewController() {
    // Operations still running hold copies of what they need; their results are posted to this object
    // and dropped with it.
    queue_->waitForDone();
}

QString ViewController::runTool(const QString& path, const QStringList& args) {
    return runTool(services.tools, path, args);
}

QString ViewController::runTool(ToolRunner& tools, const QString& path, const QStringList& args) {
    const ToolRun run = tools.run(path, args, ErrorStream::Inherit);
    // The runner's own reason, when it ended the tool, ends the text as a line of its own in the report.
    if (run.status != 0 && !run.failure.isEmpty())
        return QStringLiteral(" error %1: %2\n").arg(run.status).arg(run.failure);
    if (run.status != 0)
        return QStringLiteral(" error %1").arg(run.status);
    return QString::fromUtf8(run.out);
}

QString ViewController::runAppleScript(const QString& source) {
    return lq::runAppleScript(services.tools, source);
}

void ViewController::showErrorAlert(const QString& text) {
    view.showErrorAlert(text);
}

void ViewController::setReport(const QString& text) {
    view.setReportText(text, theFontSize);
}

void ViewController::appendReport(const QString& text) {
    view.appendReportText(text, theFontSize);
}

void ViewController::restyleReport() {
    view.setReportText(view.reportText(), theFontSize);
}

void ViewController::incFontSize() {
    theFontSize = std::min(theFontSize + 1.0, 60.0);
    services.settings.setDouble(keys::fontSize, theFontSize);
    restyleReport();
}

void ViewController::decFontSize() {
    theFontSize = std::max(theFontSize - 1.0, 4.0);
    services.settings.setDouble(keys::fontSize, theFontSize);
    restyleReport();
}

QString ViewController::exportedReport() const {
    QString text = view.reportText();
    if (runDate)
        text += exportFooter(*runDate);
    return text;
}

void ViewController::exportText() {
    // The text is taken now: the report may grow while the panel is open, but the file holds what the
    // user asked to export.
    const QByteArray bytes = exportedReport().toUtf8();
    view.chooseSaveLocation(exportFileName(runDate), {QStringLiteral("text"), QStringLiteral("txt")},
                            [this, bytes](std::optional<QString> path) {
                                if (!path || path->isEmpty())
                                    return;
                                const QString error = services.files.writeUserFile(*path, bytes);
                                if (!error.isEmpty())
                                    showErrorAlert(error);
                            });
}

void ViewController::beginAsync() {
    ++pendingWork_;
}

void ViewController::endAsync() {
    if (pendingWork_ > 0 && --pendingWork_ == 0) {
        setRunInProgress(false);
        Q_EMIT asyncIdle();
    }
}

void ViewController::setRunInProgress(bool inProgress) {
    if (runInProgress_ == inProgress)
        return;
    runInProgress_ = inProgress;
    view.setCheckEnabled(!inProgress);
}

void ViewController::postToMain(std::function<void()> work) {
    QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

} // namespace lq
