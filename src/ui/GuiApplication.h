// The windowed application: the main window, the interface "Main" with its window controllers, the
// application delegate and the main menu, wired together.
#pragma once

#include "app/AppDelegate.h"
#include "app/Interface.h"
#include "platform/Services.h"
#include "ui/MainWindow.h"

#include <memory>

namespace lq {

class GuiApplication {
public:
    GuiApplication(Services services, const QString& referenceBaseUrl);
    ~GuiApplication();
    // Loads the main window, shows it and runs the launch tasks; a `launchWarning` (a setting that could
    // not be used) is shown in an alert once the window is on screen.
    void start(const QString& launchWarning = QString());

    MainWindow& mainWindow() { return *window_; }
    AppDelegate& delegate() { return *delegate_; }

private:
    Interface interface_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<AppDelegate> delegate_;
};

// Registers the window controllers of the interface "Main".
void registerWindows(Interface& interface, Services services);

// The modal alert that offers a newer version of the application, with the buttons "Ignore" (the
// default, also for Esc) and "Download" in that order; true when the user chose "Download".
bool askToDownloadUpdate(QWidget* parent, const QString& message, const QString& informativeText);

} // namespace lq
