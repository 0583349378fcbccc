// The main window controller's shared operations: tools, the report, the font size and the export.
#include "check/ViewController.h"

#include "check/ReportText.h"
#include "platform/FileSystem.h"
#include "platform/SettingsKeys.h"
#include "platform/SettingsStore.h"

#include <algorithm>

namespace lq {

ViewController::ViewController(Services services_, MainView& view_, MenuBarModel& menus_,
                               QString referenceBaseUrl_, WorkQueue* queue)
    : services(services_), view(view_), menus(menus_), referenceBaseUrl(std::move(referenceBaseUrl_)),
      ownQueue_(queue ? nullptr : std::make_unique<ThreadPoolQueue>(8)),
      queue_(queue ? queue : ownQueue_.get()),
      background_(
          *queue_, *this, [this] { beginAsync(); }, [this] { endAsync(); }) {}

ViewController::~ViewController() {
    // Operations still running hold copies of what they need; their results are posted to this object
    // and dropped with it.
    queue_->waitForDone();
}

void ViewController::showErrorAlert(const QString& text) {
    view.showErrorAlert(text);
}

void ViewController::setReport(const QString& text) {
    view.setReportText(text, state.theFontSize);
}

void ViewController::appendReport(const QString& text) {
    view.appendReportText(text, state.theFontSize);
}

void ViewController::restyleReport() {
    view.setReportText(view.reportText(), state.theFontSize);
}

void ViewController::incFontSize() {
    state.theFontSize = std::min(state.theFontSize + 1.0, 60.0);
    services.settings.setDouble(keys::fontSize, state.theFontSize);
    restyleReport();
}

void ViewController::decFontSize() {
    state.theFontSize = std::max(state.theFontSize - 1.0, 4.0);
    services.settings.setDouble(keys::fontSize, state.theFontSize);
    restyleReport();
}

QString ViewController::exportedReport() const {
    QString text = view.reportText();
    if (state.runDate)
        text += exportFooter(*state.runDate);
    return text;
}

void ViewController::exportText() {
    // The text is taken now: the report may grow while the panel is open, but the file holds what the
    // user asked to export.
    const QByteArray bytes = exportedReport().toUtf8();
    view.chooseSaveLocation(exportFileName(state.runDate), {QStringLiteral("text"), QStringLiteral("txt")},
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

} // namespace lq
