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

void ViewController::startXPRScanSummary() {
    beginAsync();
    processingQueue.start([this, &tools = services.tools, args = xprLogQuery()] {
        const ToolRun run = tools.run(kLogPath, args, ErrorStream::Capture);
        // A failed query counts nothing, whatever it printed.
        const XPRCounts counts = run.status == 0 ? classifyXPREvents(run.out) : XPRCounts{};
        postToMain([this, counts, failure = run.failure] {
            // A query the runner had to end (its output too large) counted nothing; that is no quiet day.
            if (!failure.isEmpty()) {
                setText(Field::tccVersionText, QStringLiteral("⚠️ XPR scans not counted"));
                appendReport(QStringLiteral("⚠️ XProtect Remediator scans not counted: ") + failure +
                             QLatin1Char('\n'));
            } else {
                showXPRScanSummary(counts.scans, counts.alerts, counts.warnings);
            }
            endAsync();
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
