// The unified log's output as the scan summary reads it: header lines, the JSON array of events and
// each event's own JSON message.
#include "FuzzSupport.h"

#include "securitydata/XPRClassifier.h"

using namespace lq;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = fuzz::bytesOf(data, size);
    const QByteArray json = jsonPartOfLogOutput(bytes);
    fuzz::require(bytes.endsWith(json), "the JSON part is the end of the output");
    const XPRCounts counts = classifyXPREvents(bytes);
    fuzz::require(counts.scans >= 0 && counts.alerts >= 0 && counts.warnings >= 0,
                  "counts are never negative");
    if (const std::optional<XPRReport> report = decodeXPRReport(bytes)) {
        XPRCounts one;
        countXPRReport(*report, one);
        fuzz::require(one.scans >= 0 && one.scans <= 1, "one event is at most one scan");
    }
    return 0;
}
