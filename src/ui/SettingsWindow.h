// The settings window: what the scan summary, the application's own version check and the software
// update check should do, in three labelled groups with OK and Cancel.
#pragma once

#include "app/Interface.h"
#include "app/SettingsView.h"
#include "app/SettingsViewController.h"

#include <QWidget>

#include <array>
#include <memory>

class QAbstractButton;
class QButtonGroup;
class QPushButton;

namespace lq {

class SettingsStore;

class SettingsWindow : public QWidget, public SettingsView, public WindowController {
    Q_OBJECT

public:
    explicit SettingsWindow(SettingsStore& settings);
    ~SettingsWindow() override;

    void showWindow() override;
    SettingsViewController& controller() { return *controller_; }
    QAbstractButton* button(SettingsButton which) const;
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }

    bool isButtonOn(SettingsButton button) const override;
    void setButtonOn(SettingsButton button, bool on) override;
    void giveFocus(SettingsButton button) override;
    void closeWindow() override { close(); }

private:
    std::array<QAbstractButton*, 6> buttons_{};
    QButtonGroup* updateChoice_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    std::unique_ptr<SettingsViewController> controller_;
};

} // namespace lq
