// The application delegate: the launch tasks, the auxiliary windows (one of each kind) and the maker's
// web pages.
#pragma once

#include "app/Interface.h"
#include "platform/Services.h"

#include <QByteArray>
#include <QObject>

#include "platform/WorkQueue.h"

#include <functional>
#include <memory>
#include <vector>

namespace lq {

class MenuBarModel;

// The maker's web pages, in one place.
namespace webpages {
inline const QString updates = QStringLiteral("https://lanternquill.example.org/updates.html");
inline const QString firmware = QStringLiteral("https://lanternquill.example.org/firmware.html");
inline const QString support = QStringLiteral("https://lanternquill.example.org/companions.html");
} // namespace webpages

class AppDelegate : public QObject {
    Q_OBJECT

public:
    AppDelegate(Services services, Interface& interface, MenuBarModel& menus,
                std::function<void(const QString&)> alert, QString referenceBaseUrl);
    ~AppDelegate() override;

    std::vector<std::unique_ptr<WindowController>> myHelpWindow;
    std::vector<std::unique_ptr<WindowController>> myRefWindow;
    std::vector<std::unique_ptr<WindowController>> myNamedWindow;
    std::vector<std::unique_ptr<WindowController>> mySettingsWindow;

    void applicationDidFinishLaunching();
    // Ends every tool still running, so that no window waiting for its work on the way out can hang.
    void applicationWillTerminate();

    void showAbout() {
        if (aboutPanel)
            aboutPanel();
    }
    void openHelp() { openWindow(kHelpWindowController, myHelpWindow); }
    void openRef() { openWindow(kRefWindowController, myRefWindow); }
    void openNamed() { openWindow(kNamedWindowController, myNamedWindow); }
    void openSettings() { openWindow(kSettingsWindowController, mySettingsWindow); }
    void openUpdates() { openWebPage(webpages::updates); }
    void openEFIPage() { openWebPage(webpages::firmware); }
    void openSupport() { openWebPage(webpages::support); }

    // Opens the window of that kind, or shows the one opened before; a list holds at most one.
    void openWindow(const QString& identifier, std::vector<std::unique_ptr<WindowController>>& list);
    // Hands the address to the system's open tool off the main thread and does not wait for it.
    void openWebPage(const QString& address);

    // The launch tasks.
    void checkAppUpdateIfDue();
    void checkForAppUpdate();
    // The continuation of the fetch of the published list of applications.
    void compareAppVersions(const QByteArray& body, const QString& runningVersion);
    void runStartupMaintenance();

    // The application's own Info.plist, read when a version check starts. Tests hand in their own.
    std::function<QByteArray()> appInfoPlist = bundledInfoPlist;
    // The update alert (message, informative text, buttons "Ignore" and "Download"); true when the user
    // chose "Download". The widgets provide it; without it every offer is ignored.
    std::function<bool(const QString& message, const QString& informativeText)> askToDownload;
    // Fetches of the version check that have not been dealt with yet; tests wait for zero.
    int pendingWork() const { return pendingWork_; }

    Services services;
    Interface& interface;
    MenuBarModel& menus;
    std::function<void(const QString&)> showErrorAlert;
    // The standard About panel; the widgets provide it.
    std::function<void()> aboutPanel;
    const QString referenceBaseUrl;

    // The Info.plist the application carries inside itself.
    static QByteArray bundledInfoPlist();

private:
    int pendingWork_ = 0;
    // The launch tasks that run tools; waited for when the delegate goes.
    ThreadPoolQueue launchWork_{1};
    // The open tool's runs for web pages, one after another in the order asked; waited for too.
    ThreadPoolQueue pageWork_{1};
};

} // namespace lq
