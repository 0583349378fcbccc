// What the main window controller can do to its window. The widgets implement it in src/ui; the
// headless report and the tests implement it in plain code (PlainMainView).
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace lq {

// The status fields of the main window, named as the controller knows them. Four show something
// other than their names say: gatekeepVersionText the kernel extension exclude list, mrtVersionText
// XProtect Remediator, kextVersionText the TCC data and tccVersionText the XProtect Remediator scans.
enum class Field {
    macTypeText,
    efiVersionText,
    xprotVersionText,
    gatekeepVersionText,
    mrtVersionText,
    tccVersionText,
    kextVersionText,
    sipStatusText,
    xprotStatusText,
    filevStatusText,
    updateStatusText,
    displayStatusText,
    dfirmwareStatusText,
};
inline constexpr int kFieldCount = 13;

// How old the reference lists behind a run are.
inline constexpr int kStaleListDays = 30;
struct ReferenceAge {
    std::optional<QDateTime> published;     // the oldest "Published" date among the run's lists
    std::optional<QDateTime> fetched;       // when the last of the run's lists arrived
    std::optional<qint64> securityDataDays; // how many whole days old the security data list was
    // The security data list was published more than kStaleListDays before the run: an installed
    // version newer than it would be called out of date.
    bool stale = false;
};
class MainView {
public:
    virtual ~MainView() = default;

    virtual void setFieldText(Field field, const QString& text) = 0;
    virtual QString fieldText(Field field) const = 0;
    virtual void setFieldHidden(Field field, bool hidden) = 0;

    // The report: plain characters, all drawn in the system font at `pointSize` in the standard text colour.
    // reportText() gives back every character as it was handed in, carriage returns included. The window
    // may let other text (the status fields) follow the report's size within bounds of its own.
    virtual void setReportText(const QString& text, double pointSize) = 0;
    virtual void appendReportText(const QString& text, double pointSize) = 0;
    virtual QString reportText() const = 0;
    // When the last check run started.
    virtual void setLastCheckTime(const QDateTime& time) = 0;
    // How old the reference lists behind the shown verdicts are (nothing known yet: all empty).
    virtual void setReferenceAge(const ReferenceAge& age) = 0;

    virtual void setSpinnerHidden(bool hidden) = 0;
    virtual void setSpinnerAnimating(bool animating) = 0;
    virtual void setUpdateButtonTitle(const QString& title) = 0;
    virtual void setUpdateButtonHidden(bool hidden) = 0;
    virtual void setUpdateButtonEnabled(bool enabled) = 0;
    // The Check button: disabled while a check run is under way.
    virtual void setCheckEnabled(bool enabled) = 0;

    virtual void setWindowTitle(const QString& title) = 0;
    virtual QString windowTitle() const = 0;

    // The modal critical alert "An error occurred:" with `informativeText` and an OK button; returns
    // when the user has dismissed it.
    virtual void showErrorAlert(const QString& informativeText) = 0;
    // A save panel that is not modal to the application; `done` gets the chosen path, or nothing
    // when the user cancelled.
    virtual void chooseSaveLocation(const QString& proposedName, const QStringList& fileTypes,
                                    std::function<void(std::optional<QString>)> done) = 0;
    // Asks the application to quit once the current event has been handled.
    virtual void requestQuit() = 0;
};

} // namespace lq
