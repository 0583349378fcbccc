// The named update window: a field for the update's label, a button, a spinner and the tool's output.
#pragma once

#include "app/Interface.h"
#include "platform/Services.h"
#include "updates/NamedView.h"
#include "updates/NamedViewController.h"

#include <QWidget>

#include <memory>

class QLineEdit;
class QProgressBar;
class QPushButton;
class QTextEdit;

namespace lq {

class NamedUpdateWindow : public QWidget, public NamedView, public WindowController {
    Q_OBJECT

public:
    explicit NamedUpdateWindow(Services services);
    ~NamedUpdateWindow() override;

    void showWindow() override;
    NamedViewController& controller() { return *controller_; }

    QString updateName() const override;
    void setWindowTitle(const QString& title) override { QWidget::setWindowTitle(title); }
    void setInstallButtonTitle(const QString& title) override;
    void setSpinnerHidden(bool hidden) override;
    void setSpinnerAnimating(bool animating) override;
    void appendOutput(const QString& text) override;
    QString outputText() const override;
    void restyleOutput(double pointSize) override;

private:
    QLineEdit* name_ = nullptr;
    QPushButton* install_ = nullptr;
    QProgressBar* spinner_ = nullptr;
    QTextEdit* output_ = nullptr;
    std::unique_ptr<NamedViewController> controller_;
};

} // namespace lq
