// Pending software updates, asked in the background.
#include "check/ViewController.h"

namespace lq {

void ViewController::checkForUpdates() {}
void ViewController::showUpdateCheckResult(const OutputPair&, const OutputPair&) {}

} // namespace lq
