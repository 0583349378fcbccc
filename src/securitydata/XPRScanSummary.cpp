// The last day of XProtect Remediator scans, summarised.
#include "securitydata/XPRScanSummary.h"

#include "platform/ToolRunner.h"

namespace lq {

namespace {

const QString kLogPath = QStringLiteral("/usr/bin/log");

// One day of the scanner's structured events, as JSON. The predicate is one argument, quotes included.
QStringList xprLogQuery() {
    return {QStringLiteral("show"),
            QStringLiteral("--predicate"),
            QStringLiteral("subsystem == \"com.apple.XProtectFramework.PluginAPI\" AND category == "
                           "\"XPEvent.structured\""),
            QStringLiteral("--style"),
            QStringLiteral("json"),
            QStringLiteral("--info"),
            QStringLiteral("--last"),
            QStringLiteral("1d")};
}

} // namespace

void XPRScanSummary::start(const StepServices& step, std::function<void(const ScanResult&)> done) {
    step.background.run<ScanResult>(
        QStringLiteral("scan summary"),
        [&tools = step.services.tools, args = xprLogQuery()] {
            const ToolRun result = tools.run(kLogPath, args, ErrorStream::Capture);
            // A failed query counts nothing, whatever it printed.
            return ScanResult{result.status == 0 ? classifyXPREvents(result.out) : XPRCounts{},
                              result.failure, result.status != 0};
        },
        std::move(done));
}

ScanSummaryText scanSummaryText(const ScanResult& result) {
    // A query the runner had to end (its output too large) counted nothing; that is no quiet day.
    if (!result.failure.isEmpty())
        return {QStringLiteral("⚠️ XPR scans not counted"),
                QStringLiteral("⚠️ XProtect Remediator scans not counted: ") + result.failure +
                    QLatin1Char('\n')};
    const XPRCounts& c = result.counts;
    if (c.scans == 0)
        return {QStringLiteral("👉 XPR no scans in 24 h"),
                QStringLiteral("👉 XProtect Remediator no scans in the last day.\n")};
    const QString scanCount = QString::number(c.scans);
    QString mark;
    QString field;
    if (c.alerts > 0) {
        mark = QStringLiteral("⛔️ ");
        field = QStringLiteral("⛔️ XPR ") + scanCount + QStringLiteral(" scans ⛔️ ") +
                QString::number(c.alerts);
    } else if (c.warnings > 0) {
        mark = QStringLiteral("⚠️ ");
        field = QStringLiteral("⚠️ XPR ") + scanCount + QStringLiteral(" scans ⚠️ ") +
                QString::number(c.warnings);
    } else {
        mark = QStringLiteral("✅ ");
        field = QStringLiteral("✅ XPR ") + scanCount + QStringLiteral(" scans");
    }
    return {field, mark + QStringLiteral("XProtect Remediator ") + scanCount + QStringLiteral(" scans, ") +
                       QString::number(c.alerts) + QStringLiteral(" alerts, ") + QString::number(c.warnings) +
                       QStringLiteral(" warnings.\n")};
}

} // namespace lq
