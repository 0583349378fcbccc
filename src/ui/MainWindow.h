// The main window's widgets: thirteen status fields in three groups, the report, the Check and update
// buttons, the spinner and a status bar with the time of the last check. It shows what ViewController
// says and passes the user's actions to it.
#pragma once

#include "check/MainView.h"
#include "check/MenuBarModel.h"
#include "platform/Services.h"

#include <QMainWindow>
#include <QPointer>

#include <array>
#include <memory>

class QAction;
class QLabel;
class QProgressBar;
class QPushButton;
class QTextEdit;
class QVBoxLayout;

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
    void setLastCheckTime(const QDateTime& time) override;
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

    // How much larger than the application's own font the status fields' verdicts are drawn: the
    // report's size over its default of 12 points, kept between kMinFieldScale and kMaxFieldScale, and
    // lowered (not below 1) where the window would no longer fit the screen's height.
    double fieldScale() const { return fieldScale_; }
    static constexpr double kMinFieldScale = 0.8;
    static constexpr double kMaxFieldScale = 1.6;

    // The time of the last check as the status bar shows it.
    static QString lastCheckText(const QDateTime& time);
    void setReferenceAge(const ReferenceAge& age) override;
    // The status bar's words on the lists' age; empty when nothing is known. A fetch of `today` shows
    // its time only.
    static QString referenceAgeText(const ReferenceAge& age, const QDate& today);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildWidgets();
    void buildButtonsAndStatusBar(QWidget* central, QVBoxLayout* column);
    void setTabOrderAndNames();
    void rebuildMenuBar();
    void appendText(const QString& text, double pointSize);
    void followReportSize(double pointSize);
    void fitFieldScale(double from);
    bool fitsScreenHeight();
    void setFieldScale(double scale);

    MenuBarModel menus_;
    std::unique_ptr<ViewController> controller_;
    struct FieldWidgets {
        QLabel* caption = nullptr;
        QLabel* value = nullptr;
    };
    std::array<FieldWidgets, kFieldCount> fields_{};
    // The report's characters exactly as handed in: the text view turns a carriage return into a
    // paragraph break, and the export must write what the headless report prints.
    QString reportChars_;
    QTextEdit* report_ = nullptr;
    QLabel* lastCheck_ = nullptr;
    QLabel* listsAge_ = nullptr;
    QPointer<QAction> checkAction_;
    QFont fieldFont_;
    double fieldScale_ = 1.0;
    double wantedFieldScale_ = 1.0;
    // Room kept for the window's title bar and frame, which the window system adds outside it.
    static constexpr int kWindowFrameAllowance = 40;
    QProgressBar* spinner_ = nullptr;
    QPushButton* updateButton_ = nullptr;
    QPushButton* checkButton_ = nullptr;
};

} // namespace lq
