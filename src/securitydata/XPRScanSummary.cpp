// The last day of XProtect Remediator scans, summarised.
#include "check/ViewController.h"
#include "platform/ToolRunner.h"
#include "securitydata/XPRClassifier.h"

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

struct ScanResult {
    XPRCounts counts;
    QString failure; // why the runner ended the query, when it did
};

void ViewController::startXPRScanSummary(std::shared_ptr<RunSequence> run) {
    if (!run)
        run = std::make_shared<RunSequence>(0);
    inBackground<ScanResult>(
        QStringLiteral("scan summary"),
        [&tools = services.tools, args = xprLogQuery()] {
            const ToolRun result = tools.run(kLogPath, args, ErrorStream::Capture);
            // A failed query counts nothing, whatever it printed.
            return ScanResult{result.status == 0 ? classifyXPREvents(result.out) : XPRCounts{},
                              result.failure};
        },
        [this, run](const ScanResult& result) {
            run->deliver([this, result] {
                // A query the runner had to end (its output too large) counted nothing; that is no quiet day.
                if (!result.failure.isEmpty()) {
                    setText(Field::tccVersionText, QStringLiteral("⚠️ XPR scans not counted"));
                    appendReport(QStringLiteral("⚠️ XProtect Remediator scans not counted: ") +
                                 result.failure + QLatin1Char('\n'));
                } else {
                    showXPRScanSummary(result.counts.scans, result.counts.alerts, result.counts.warnings);
                }
            });
        });
}

void ViewController::showXPRScanSummary(qint64 scans, qint64 alerts, qint64 warnings) {
    if (scans == 0) {
        setText(Field::tccVersionText, QStringLiteral("👉 XPR no scans in 24 h"));
        appendReport(QStringLiteral("👉 XProtect Remediator no scans in the last day.\n"));
        return;
    }
    const QString scanCount = QString::number(scans);
    QString mark;
    if (alerts > 0) {
        mark = QStringLiteral("⛔️ ");
        setText(Field::tccVersionText, QStringLiteral("⛔️ XPR ") + scanCount +
                                           QStringLiteral(" scans ⛔️ ") + QString::number(alerts));
    } else if (warnings > 0) {
        mark = QStringLiteral("⚠️ ");
        setText(Field::tccVersionText, QStringLiteral("⚠️ XPR ") + scanCount +
                                           QStringLiteral(" scans ⚠️ ") + QString::number(warnings));
    } else {
        mark = QStringLiteral("✅ ");
        setText(Field::tccVersionText, QStringLiteral("✅ XPR ") + scanCount + QStringLiteral(" scans"));
    }
    appendReport(mark + QStringLiteral("XProtect Remediator ") + scanCount + QStringLiteral(" scans, ") +
                 QString::number(alerts) + QStringLiteral(" alerts, ") + QString::number(warnings) +
                 QStringLiteral(" warnings.\n"));
}

} // namespace lq
