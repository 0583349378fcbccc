// The plain main window.
#include "check/PlainMainView.h"

namespace lq {

void PlainMainView::setReportText(const QString& text, double pointSize) {
    report = text;
    reportSizes.assign(1, pointSize);
}

void PlainMainView::appendReportText(const QString& text, double pointSize) {
    report += text;
    reportSizes.push_back(pointSize);
}

void PlainMainView::showErrorAlert(const QString& informativeText) {
    alerts.append(informativeText);
    if (onAlert)
        onAlert(informativeText);
}

void PlainMainView::chooseSaveLocation(const QString& proposedName, const QStringList& fileTypes,
                                       std::function<void(std::optional<QString>)> done) {
    lastProposedName = proposedName;
    lastFileTypes = fileTypes;
    done(saveAnswer);
}

} // namespace lq
