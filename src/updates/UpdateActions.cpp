// Downloading or installing all updates, the menu toggles and content caching.
#include "check/ViewController.h"

namespace lq {

void ViewController::installAllUpdatesButton() {}
void ViewController::installAllUpdates() {}
void ViewController::finishUpdateRun(const OutputPair&) {}
void ViewController::doNoInstallMenuItem() {}
void ViewController::doCheckMenuItem() {}
void ViewController::activeConCaching() {}
void ViewController::deactiveConCaching() {}
void ViewController::runConCachingScript(const QString&) {}

} // namespace lq
