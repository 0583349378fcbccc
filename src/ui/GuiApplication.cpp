// The windowed application's wiring.
#include "ui/GuiApplication.h"

#include "app/MainMenu.h"
#include "check/ViewController.h"
#include "ui/AfterFirstPaint.h"
#include "ui/MarksWindow.h"
#include "ui/NamedUpdateWindow.h"
#include "ui/RefWindow.h"
#include "ui/SettingsWindow.h"

#include <QMessageBox>
#include <QPushButton>

namespace lq {

void registerWindows(Interface& interface, Services services) {
    interface.add(kNamedWindowController,
                  [services] { return std::make_unique<NamedUpdateWindow>(services); });
    interface.add(kSettingsWindowController,
                  [services] { return std::make_unique<SettingsWindow>(services.settings); });
    // "Lanternquill Manual" opens the manual; "Marks and Sources" the short guide to the marks.
    interface.add(kRefWindowController, [] { return std::make_unique<RefWindow>(); });
    interface.add(kHelpWindowController, [] { return std::make_unique<MarksWindow>(); });
}

bool askToDownloadUpdate(QWidget* parent, const QString& message, const QString& informativeText) {
    QMessageBox alert(QMessageBox::Information, QStringLiteral("Lanternquill"), message,
                      QMessageBox::NoButton, parent);
    alert.setInformativeText(informativeText);
    // Ignore comes first and is the default, so that Return never sends the user to the browser unasked.
    // Both buttons take one role: the platform orders buttons of different roles its own way (on Linux
    // an accepting button before a rejecting one), but keeps buttons of one role in the order added.
    QPushButton* ignore = alert.addButton(QStringLiteral("Ignore"), QMessageBox::ActionRole);
    QPushButton* download = alert.addButton(QStringLiteral("Download"), QMessageBox::ActionRole);
    alert.setDefaultButton(ignore);
    alert.setEscapeButton(ignore);
    alert.exec();
    return alert.clickedButton() == download;
}

GuiApplication::GuiApplication(Services services, const QString& referenceBaseUrl)
    : window_(std::make_unique<MainWindow>(services, referenceBaseUrl)) {
    registerWindows(interface_, services);
    MainWindow* window = window_.get();
    delegate_ = std::make_unique<AppDelegate>(
        services, interface_, window_->menuModel(),
        [window](const QString& text) { window->showErrorAlert(text); }, referenceBaseUrl);
    delegate_->aboutPanel = [window] {
        QMessageBox::about(
            window, QStringLiteral("About Lanternquill"),
            QStringLiteral("<b>Lanternquill %1</b><p>Checks that your Mac's protections are on and "
                           "that its security data, firmware and software are current.</p>")
                .arg(QStringLiteral(LQ_VERSION)));
    };
    delegate_->askToDownload = [window](const QString& message, const QString& informativeText) {
        return askToDownloadUpdate(window, message, informativeText);
    };
    buildMainMenu(window_->menuModel(), window_->controller(), delegate_.get());
}

GuiApplication::~GuiApplication() {
    // The windows' controllers wait for their queues as they go, so a tool that hangs is ended first.
    delegate_->applicationWillTerminate();
    // Auxiliary windows go before the main window they may refer to.
    delegate_.reset();
    window_.reset();
}

void GuiApplication::start(const QString& launchWarning) {
    window_->start();
    // The launch tasks run once the event loop is going, as a finished launch is announced. They run
    // tools on the main thread, so they wait for the window's first paint too, after the first check run.
    runAfterFirstPaint(window_.get(), [this, launchWarning] {
        if (!launchWarning.isEmpty())
            window_->showErrorAlert(launchWarning);
        delegate_->applicationDidFinishLaunching();
    });
}

} // namespace lq
