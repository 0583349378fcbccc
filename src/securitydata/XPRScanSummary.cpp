// The last day of XProtect Remediator scans, summarised.
#include "check/ViewController.h"

namespace lq {

void ViewController::startXPRScanSummary() {}
void ViewController::showXPRScanSummary(qint64, qint64, qint64) {}

} // namespace lq
