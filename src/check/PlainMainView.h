// A main window without widgets: it keeps what the controller shows in plain fields. The headless
// report prints from it, and the tests look at it.
#pragma once

#include "check/MainView.h"

#include <array>
#include <vector>

namespace lq {

class PlainMainView : public MainView {
public:
    void setFieldText(Field field, const QString& text) override { fields[index(field)].text = text; }
    QString fieldText(Field field) const override { return fields[index(field)].text; }
    void setFieldHidden(Field field, bool hidden) override { fields[index(field)].hidden = hidden; }
    void setReportText(const QString& text, double pointSize) override;
    void appendReportText(const QString& text, double pointSize) override;
    QString reportText() const override { return report; }
    void setLastCheckTime(const QDateTime& time) override { lastCheckTime = time; }
    void setReferenceAge(const ReferenceAge& age) override { referenceAge = age; }
    void setSpinnerHidden(bool hidden) override { spinnerHidden = hidden; }
    void setSpinnerAnimating(bool animating) override { spinnerAnimating = animating; }
    void setUpdateButtonTitle(const QString& title) override { updateButtonTitle = title; }
    void setUpdateButtonHidden(bool hidden) override { updateButtonHidden = hidden; }
    void setUpdateButtonEnabled(bool enabled) override { updateButtonEnabled = enabled; }
    void setCheckEnabled(bool enabled) override { checkEnabled = enabled; }
    void setWindowTitle(const QString& title) override { title_ = title; }
    QString windowTitle() const override { return title_; }
    void showErrorAlert(const QString& informativeText) override;
    void chooseSaveLocation(const QString& proposedName, const QStringList& fileTypes,
                            std::function<void(std::optional<QString>)> done) override;
    void requestQuit() override { ++quitRequests; }

    bool fieldHidden(Field field) const { return fields[index(field)].hidden; }

    struct FieldState {
        QString text;
        bool hidden = false;
    };
    std::array<FieldState, kFieldCount> fields;
    QString report;
    std::optional<QDateTime> lastCheckTime;
    ReferenceAge referenceAge;
    // Every font size the report was drawn in since the last full redraw, for the restyle checks.
    std::vector<double> reportSizes;
    bool spinnerHidden = false;
    bool spinnerAnimating = false;
    QString updateButtonTitle = QStringLiteral("Install all updates");
    bool updateButtonHidden = false;
    bool updateButtonEnabled = true;
    bool checkEnabled = true;
    QStringList alerts;
    int quitRequests = 0;
    // Called for each alert (the headless report writes it to standard error).
    std::function<void(const QString&)> onAlert;
    // What the next save panel answers; nothing means the user cancels.
    std::optional<QString> saveAnswer;
    QString lastProposedName;
    QStringList lastFileTypes;

private:
    static std::size_t index(Field field) { return static_cast<std::size_t>(field); }
    QString title_;
};

} // namespace lq
