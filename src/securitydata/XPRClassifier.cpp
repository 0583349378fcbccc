// Decoding and classifying XProtect Remediator events.
#include "securitydata/XPRClassifier.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <cmath>

namespace lq {

namespace {

// The status codes the summary tells apart: a clean run, a detection, and one that is not counted.
constexpr qint64 kCodeClean = 20;
constexpr qint64 kCodeAlert = 23;
constexpr qint64 kCodeNotCounted = 31;

enum class KeyState { Absent, Present, WrongType };

// Absent and null read the same: the scanner leaves out what it has nothing to say about.
KeyState stringField(const QJsonObject& object, const QString& key, std::optional<QString>& into) {
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return KeyState::Absent;
    if (!value.isString())
        return KeyState::WrongType;
    into = value.toString();
    return KeyState::Present;
}

KeyState numberField(const QJsonObject& object, const QString& key, std::optional<double>& into) {
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return KeyState::Absent;
    if (!value.isDouble())
        return KeyState::WrongType;
    into = value.toDouble();
    return KeyState::Present;
}

KeyState integerField(const QJsonObject& object, const QString& key, std::optional<qint64>& into) {
    std::optional<double> number;
    const KeyState field = numberField(object, key, number);
    if (field != KeyState::Present)
        return field;
    // A status code with a fraction, or beyond what 64 bits hold, is no status code.
    constexpr double kLimit = 9223372036854775808.0; // 2^63
    if (std::trunc(*number) != *number || *number >= kLimit || *number < -kLimit)
        return KeyState::WrongType;
    into = static_cast<qint64>(*number);
    return KeyState::Present;
}

} // namespace

std::optional<XPRReport> decodeXPRReport(const QByteArray& message) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(message, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    XPRReport report;
    if (stringField(object, QStringLiteral("status_message"), report.status_message) == KeyState::WrongType ||
        integerField(object, QStringLiteral("status_code"), report.status_code) == KeyState::WrongType ||
        stringField(object, QStringLiteral("action"), report.action) == KeyState::WrongType ||
        numberField(object, QStringLiteral("execution_duration"), report.execution_duration) ==
            KeyState::WrongType)
        return std::nullopt;
    return report;
}

void countXPRReport(const XPRReport& report, XPRCounts& counts) {
    const QString message = report.status_message.value_or(QStringLiteral("no status_message"));
    const qint64 code = report.status_code.value_or(-1);
    auto scan = [&counts] { ++counts.scans; };
    auto alert = [&counts] {
        ++counts.scans;
        ++counts.alerts;
    };
    if (code == kCodeClean || message == QLatin1String("NoThreatDetected")) {
        scan();
        return;
    }
    if (message == QLatin1String("Success")) {
        // Code 0 is a clean run only when the scanner also says "Success".
        if (code == kCodeNotCounted)
            return;
        if (code == kCodeAlert)
            return alert();
        if (code == 0)
            return scan();
    } else {
        if (code == kCodeAlert)
            return alert();
        if (code == kCodeNotCounted)
            return;
    }
    // Anything else is a warning, unless the run only reported.
    if (report.action.value_or(QStringLiteral("no action")) == QLatin1String("report"))
        return;
    ++counts.scans;
    ++counts.warnings;
}

QByteArray jsonPartOfLogOutput(const QByteArray& logOutput) {
    // `log show` may put its "Filtering the log data using …" and "Skipping …" lines in front of the
    // JSON; the events begin at the first line that opens the array.
    if (logOutput.startsWith('['))
        return logOutput;
    const qsizetype start = logOutput.indexOf("\n[");
    return start < 0 ? logOutput : logOutput.mid(start + 1);
}

XPRCounts classifyXPREvents(const QByteArray& logOutput) {
    XPRCounts counts;
    const QJsonDocument document = QJsonDocument::fromJson(jsonPartOfLogOutput(logOutput));
    if (!document.isArray())
        return counts;
    const QJsonArray events = document.array();
    for (const QJsonValue& event : events) {
        if (!event.isObject())
            continue;
        const QJsonValue message = event.toObject().value(QStringLiteral("eventMessage"));
        if (!message.isString())
            continue;
        const QByteArray bytes = message.toString().toUtf8();
        if (!bytes.startsWith("{\""))
            continue;
        if (const std::optional<XPRReport> report = decodeXPRReport(bytes))
            countXPRReport(*report, counts);
    }
    return counts;
}

} // namespace lq
