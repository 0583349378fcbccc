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
    // One window of each kind: asking for it again brings the one there is to the front, with what
    // the user had typed or chosen in it, instead of a second copy that would disagree with the first.
    if (!list.empty()) {
        list.front()->showWindow();
        return;
    }
    std::unique_ptr<WindowController> controller = interface.instantiate(identifier);
    if (!controller)
        return;
    controller->showWindow();
    // Kept until the application quits, also after its window has been closed.
    list.push_back(std::move(controller));
}

void AppDelegate::openWebPage(const QString& address) {
    // The browser may take its time to take the address; the windows do not wait for it.
    ToolRunner* tools = &services.tools;
    pageWork_.start(QStringLiteral("open web page"), [tools, address] {
        tools->run(QStringLiteral("/usr/bin/open"), {address}, ErrorStream::Capture);
    });
}

} // namespace lq
