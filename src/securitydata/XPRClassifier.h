// Counting XProtect Remediator scans from the unified log's JSON output. No I/O here.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace lq {

// One plug-in run as the scanner logs it; every field may be missing.
struct XPRReport {
    std::optional<QString> status_message;
    std::optional<qint64> status_code;
    std::optional<QString> action;
    std::optional<double> execution_duration;
};

struct XPRCounts {
    qint64 scans = 0;
    qint64 alerts = 0;
    qint64 warnings = 0;
};

// Decodes one event message: a JSON object whose known keys, when present (and not null), have their
// type (status_code a whole number); of a key given twice, the last value counts. Nothing when the
// message is anything else. A lone surrogate escape in a string reads as '?'.
std::optional<XPRReport> decodeXPRReport(const QByteArray& message);

// Adds one decoded event to the counts.
void countXPRReport(const XPRReport& report, XPRCounts& counts);

// The JSON array of a `log show --style json` output, without any header lines the tool printed first.
QByteArray jsonPartOfLogOutput(const QByteArray& logOutput);

// Counts the events of the log tool's output (a JSON array of events). Output that is not such an array
// counts nothing; events that are malformed are skipped.
XPRCounts classifyXPREvents(const QByteArray& logOutput);

// The same, with the array parsed in runs of about `runBytes` bytes (classifyXPREvents takes 64 KiB).
// The counts do not depend on it: tests and the fuzz target give small runs to small inputs.
XPRCounts classifyXPREventsInRuns(const QByteArray& logOutput, qsizetype runBytes);

} // namespace lq
