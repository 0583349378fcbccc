// The last day of XProtect Remediator scans, summarised from the unified log.
#pragma once

#include "platform/Background.h"
#include "securitydata/XPRClassifier.h"

#include <QString>

#include <functional>

namespace lq {

struct ScanResult {
    XPRCounts counts;
    QString failure;          // why the runner ended the query, when it did
    bool queryFailed = false; // the query ended with a status other than 0 (and counted nothing)
};

// What the scan summary shows: the scans field and the report line.
struct ScanSummaryText {
    QString field;
    QString line;
};
ScanSummaryText scanSummaryText(const ScanResult& result);

// Asks the unified log for a day of the scanner's events off the main thread and hands back the
// counts once, on the main thread.
class XPRScanSummary {
public:
    static void start(const StepServices& step, std::function<void(const ScanResult&)> done);
};

} // namespace lq
