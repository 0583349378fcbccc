// The main window's widgets: thirteen status fields, the report, the Check and update buttons and the
// spinner. It shows what ViewController says and passes the user's actions to it.
#pragma once

#include "check/MainView.h"
#include "check/MenuBarModel.h"
#include "platform/Services.h"

#include <QMainWindow>

#include <array>
#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;
class QTextEdit;

namespace lq {

class ViewController;

class MainWindow : public QMainWindow, public MainView {
    Q_OBJECT

public:
    MainWindow(Services services, const QString& referenceBaseUrl, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Loads the controller's view and shows the window; the first check run follows once it is painted.
    void start();
    ViewController& controller() { return *controller_; }
    MenuBarModel& menuModel() { return menus_; }

    void setFieldText(Field field, const QString& text) override;
    QString fieldText(Field field) const override;
    void setFieldHidden(Field field, bool hidden) override;
    void setReportText(const QString& text, double pointSize) override;
    void appendReportText(const QString& text, double pointSize) override;
    QString reportText() const override;
    void setSpinnerHidden(bool hidden) override;
    void setSpinnerAnimating(bool animating) override;
    void setUpdateButtonTitle(const QString& title) override;
    void setUpdateButtonHidden(bool hidden) override;
    void setUpdateButtonEnabled(bool enabled) override;
    void setCheckEnabled(bool enabled) override;
    void setWindowTitle(const QString& title) override;
    QString windowTitle() const override;
    void showErrorAlert(const QString& informativeText) override;
    void chooseSaveLocation(const QString& proposedName, const QStringList& fileTypes,
                            std::function<void(std::optional<QString>)> done) override;
    void requestQuit() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildWidgets();
    void rebuildMenuBar();

    MenuBarModel menus_;
    std::unique_ptr<ViewController> controller_;
    struct FieldWidgets {
        QLabel* caption = nullptr;
        QLabel* value = nullptr;
    };
    std::array<FieldWidgets, kFieldCount> fields_{};
    QTextEdit* report_ = nullptr;
    QProgressBar* spinner_ = nullptr;
    QPushButton* updateButton_ = nullptr;
    QPushButton* checkButton_ = nullptr;
};

} // namespace lq
