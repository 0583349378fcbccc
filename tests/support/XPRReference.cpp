// The scan summary as Qt's JSON reader read it, kept as the reference for the simdjson one.
#include "XPRReference.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <cmath>

namespace lq::reference {

namespace {

constexpr qint64 kCodeClean = 20;
constexpr qint64 kCodeAlert = 23;
constexpr qint64 kCodeNotCounted = 31;

enum class KeyState { Absent, Present, WrongType };

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
    constexpr double kLimit = 9223372036854775808.0; // 2^63
    if (std::trunc(*number) != *number || *number >= kLimit || *number < -kLimit)
        return KeyState::WrongType;
    into = static_cast<qint64>(*number);
    return KeyState::Present;
}

void countReport(const XPRReport& report, XPRCounts& counts) {
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
    if (report.action.value_or(QStringLiteral("no action")) == QLatin1String("report"))
        return;
    ++counts.scans;
    ++counts.warnings;
}

void countEvent(const QJsonValue& event, XPRCounts& counts) {
    if (!event.isObject())
        return;
    const QJsonValue message = event.toObject().value(QLatin1String("eventMessage"));
    if (!message.isString())
        return;
    const QByteArray bytes = message.toString().toUtf8();
    if (!bytes.startsWith("{\""))
        return;
    if (const std::optional<XPRReport> report = decodeXPRReport(bytes))
        countReport(*report, counts);
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

XPRCounts classifyXPREvents(const QByteArray& logOutput) {
    QByteArray json = logOutput;
    if (!json.startsWith('[')) {
        const qsizetype start = json.indexOf("\n[");
        if (start >= 0)
            json = json.mid(start + 1);
    }
    XPRCounts counts;
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (!document.isArray())
        return counts;
    const QJsonArray events = document.array();
    for (const QJsonValue& event : events)
        countEvent(event, counts);
    return counts;
}

} // namespace lq::reference
