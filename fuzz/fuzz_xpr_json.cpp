// The unified log's output as the scan summary reads it: header lines, the JSON array of events and
// each event's own JSON message. The summary, read with simdjson, must count what the straightforward
// reading with Qt's JSON reader counts (tests/support/XPRReference), on every input and however the
// array is cut into runs.
#include "FuzzSupport.h"
#include "XPRReference.h"

#include "securitydata/XPRClassifier.h"

using namespace lq;

namespace {

bool sameCounts(const XPRCounts& a, const XPRCounts& b) {
    return a.scans == b.scans && a.alerts == b.alerts && a.warnings == b.warnings;
}

// Strings as UTF-8: a lone surrogate is '?' in both.
bool sameText(const std::optional<QString>& a, const std::optional<QString>& b) {
    return a.has_value() == b.has_value() && (!a || a->toUtf8() == b->toUtf8());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = fuzz::bytesOf(data, size);
    const QByteArray json = jsonPartOfLogOutput(bytes);
    fuzz::require(bytes.endsWith(json), "the JSON part is the end of the output");
    const XPRCounts counts = classifyXPREvents(bytes);
    fuzz::require(counts.scans >= 0 && counts.alerts >= 0 && counts.warnings >= 0,
                  "counts are never negative");
    fuzz::require(sameCounts(counts, reference::classifyXPREvents(bytes)),
                  "the counts are those of the reference reading");
    // Small runs, so that the cutting between elements is reached on small inputs too.
    for (const qsizetype runBytes : {qsizetype(1) + static_cast<qsizetype>(size % 61), qsizetype(200)})
        fuzz::require(sameCounts(classifyXPREventsInRuns(bytes, runBytes), counts),
                      "the counts do not depend on the runs");

    const std::optional<XPRReport> report = decodeXPRReport(bytes);
    const std::optional<XPRReport> expected = reference::decodeXPRReport(bytes);
    fuzz::require(report.has_value() == expected.has_value(), "a message decodes as the reference's does");
    if (report) {
        fuzz::require(sameText(report->status_message, expected->status_message) &&
                          report->status_code == expected->status_code &&
                          sameText(report->action, expected->action) &&
                          report->execution_duration == expected->execution_duration,
                      "a message's fields are the reference's");
        XPRCounts one;
        countXPRReport(*report, one);
        fuzz::require(one.scans >= 0 && one.scans <= 1, "one event is at most one scan");
    }
    return 0;
}
