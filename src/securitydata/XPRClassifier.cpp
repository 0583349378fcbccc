// Decoding and classifying XProtect Remediator events.
#include "securitydata/XPRClassifier.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <algorithm>
#include <cmath>
#include <cstring>

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

namespace {

// Counts one element of the log's array when it is an event with a structured message.
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
        countXPRReport(*report, counts);
}

bool isJsonSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Events are handed to the JSON parser about this many bytes at a time: enough that its fixed cost
// per call vanishes, little enough that the parsed events take a few megabytes.
constexpr qsizetype kChunkBytes = 1 << 20;

// A day of events is tens of megabytes on a busy Mac, and one document tree of all of it takes four
// times that in memory. So the array is cut at the commas between its elements into runs of about
// kChunkBytes, and each run is parsed, as an array of its own, and counted. Only the cutting is done
// here: the parser checks every run, and the runs together hold exactly the text between the outer
// brackets. If every run is a non-empty array, the whole output is one array of the same elements, so
// the counts are those of parsing it whole. Anything else (a run that does not parse, text after the
// array, an output cut short) gives nothing, and the caller parses the whole output at once instead.
std::optional<XPRCounts> classifyInChunks(const QByteArray& json) {
    const char* const text = json.constData();
    const qsizetype size = json.size();
    if (size == 0 || text[0] != '[')
        return std::nullopt;

    XPRCounts counts;
    QByteArray chunk;
    qsizetype runStart = 1; // just after the opening bracket or the comma that ended the last run
    // Parses and counts text[runStart, end) as an array. An empty outer array is fine; an empty run
    // between commas is not.
    auto countRun = [&](qsizetype end) {
        const bool blank = std::all_of(text + runStart, text + end, [](char c) { return isJsonSpace(c); });
        if (blank)
            return runStart == 1;
        chunk.clear();
        chunk.reserve(end - runStart + 2);
        chunk.append('[').append(text + runStart, end - runStart).append(']');
        QJsonParseError error;
        const QJsonDocument run = QJsonDocument::fromJson(chunk, &error);
        if (error.error != QJsonParseError::NoError || !run.isArray())
            return false;
        const QJsonArray events = run.array();
        for (const QJsonValue& event : events)
            countEvent(event, counts);
        return true;
    };

    int depth = 1;
    for (qsizetype pos = 1; pos < size; ++pos) {
        const char c = text[pos];
        if (c == '"') {
            // Strings are most of the text: jump from quote to quote, skipping escaped ones.
            for (;;) {
                const auto* quote =
                    static_cast<const char*>(std::memchr(text + pos + 1, '"', size - pos - 1));
                if (!quote)
                    return std::nullopt;
                const qsizetype at = quote - text;
                qsizetype backslashes = 0;
                while (text[at - 1 - backslashes] == '\\')
                    ++backslashes;
                pos = at;
                if (backslashes % 2 == 0)
                    break;
            }
        } else if (c == '[' || c == '{') {
            ++depth;
        } else if (c == ']' || c == '}') {
            if (--depth > 0)
                continue;
            if (c != ']' || !countRun(pos))
                return std::nullopt;
            for (++pos; pos < size; ++pos)
                if (!isJsonSpace(text[pos]))
                    return std::nullopt;
            return counts;
        } else if (c == ',' && depth == 1 && pos - runStart >= kChunkBytes) {
            if (!countRun(pos))
                return std::nullopt;
            runStart = pos + 1;
        }
    }
    return std::nullopt;
}

XPRCounts classifyWholeDocument(const QByteArray& json) {
    XPRCounts counts;
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (!document.isArray())
        return counts;
    const QJsonArray events = document.array();
    for (const QJsonValue& event : events)
        countEvent(event, counts);
    return counts;
}

} // namespace

XPRCounts classifyXPREvents(const QByteArray& logOutput) {
    const QByteArray json = jsonPartOfLogOutput(logOutput);
    if (const std::optional<XPRCounts> counts = classifyInChunks(json))
        return *counts;
    return classifyWholeDocument(json);
}

} // namespace lq
