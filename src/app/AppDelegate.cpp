// The application delegate.
#include "app/AppDelegate.h"

#include "platform/ToolRunner.h"

namespace lq {

AppDelegate::AppDelegate(Services services_, Interface& interface_, MenuBarModel& menus_,
                         std::function<void(const QString&)> alert, QString referenceBaseUrl_)
    : services(services_), interface(interface_), menus(menus_), showErrorAlert(std::move(alert)),
      referenceBaseUrl(std::move(referenceBaseUrl_)) {}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching() {
    checkAppUpdateIfDue();
    runStartupMaintenance();
}

void AppDelegate::applicationWillTerminate() {
    services.tools.endAll();
}

void AppDelegate::openWindow(const QString& identifier,
                             std::vector<std::unique_ptr<WindowController>>& list) {
    std::unique_ptr<WindowController> controller = interface.instantiate(identifier);
    if (!controller)
        return;
    controller->showWindow();
    // Kept until the application quits, also after its window has been closed.
    list.push_back(std::move(controller));
}

void AppDelegate::openWebPage(const QString& address) {
    services.tools.run(QStringLiteral("/usr/bin/open"), {address}, ErrorStream::Capture);
}

} // namespace lq
