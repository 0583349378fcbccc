// Decoding and classifying XProtect Remediator events, with simdjson.
#include "securitydata/XPRClassifier.h"

#include "securitydata/LenientJson.h"

#include <simdjson.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>

namespace lq {

namespace {

namespace dom = simdjson::dom;

// The status codes the summary tells apart: a clean run, a detection, and one that is not counted.
constexpr qint64 kCodeClean = 20;
constexpr qint64 kCodeAlert = 23;
constexpr qint64 kCodeNotCounted = 31;

// What the rules read of one event: its code (-1 when it has none) and three comparisons.
struct Outcome {
    qint64 code = -1;
    bool noThreatDetected = false;
    bool success = false;
    bool reportOnly = false;
};

void countOutcome(const Outcome& outcome, XPRCounts& counts) {
    auto scan = [&counts] { ++counts.scans; };
    auto alert = [&counts] {
        ++counts.scans;
        ++counts.alerts;
    };
    const qint64 code = outcome.code;
    if (code == kCodeClean || outcome.noThreatDetected) {
        scan();
        return;
    }
    if (outcome.success) {
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
    if (outcome.reportOnly)
        return;
    ++counts.scans;
    ++counts.warnings;
}

bool isJsonSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// --- Reading JSON ------------------------------------------------------------------------------------

// Whether a parsed document holds a number that reads as zero, which may be one written too small to be
// told from zero: the text then needs the lenient reading to tell. The tape is simdjson's parsed form:
// one word per value, two for a number, the root's word giving where the tape ends.
bool holdsZeroDouble(const dom::document& document) {
    const uint64_t* const tape = document.tape.get();
    const uint64_t end = tape[0] & simdjson::internal::JSON_VALUE_MASK;
    for (uint64_t at = 1; at < end;) {
        const char type = static_cast<char>(tape[at] >> 56);
        if (type == 'd') {
            double value = 0;
            std::memcpy(&value, &tape[at + 1], sizeof value);
            if (value == 0)
                return true;
            at += 2;
        } else if (type == 'l' || type == 'u') {
            at += 2;
        } else {
            ++at;
        }
    }
    return false;
}

// A simdjson parser that reads JSON as Qt's reader did (see LenientJson.h): strict JSON at simdjson's
// speed, and what strict JSON does not cover through the rewritten text.
class LenientParser {
public:
    explicit LenientParser(std::size_t capacity) {
        // Room for a typical input up front; when that fails, parse tries again and reports it.
        const simdjson::error_code allocated = parser.allocate(capacity);
        static_cast<void>(allocated);
    }

    // Parses `size` bytes at `text`, which has SIMDJSON_PADDING readable bytes after them. The element
    // lives until the next call.
    simdjson::simdjson_result<dom::element> parse(const char* text, std::size_t size) {
        simdjson::simdjson_result<dom::element> result = parser.parse(text, size, false);
        if (!result.error() && !holdsZeroDouble(parser.doc))
            return result;
        if (!json::rewriteAsStrictJson(text, size, strict))
            return simdjson::TAPE_ERROR;
        const std::size_t strictSize = strict.size();
        strict.append(simdjson::SIMDJSON_PADDING, '\0');
        return parser.parse(strict.data(), strictSize, false);
    }

private:
    dom::parser parser;
    std::string strict;
};

// `size` bytes at `text` into `buffer` with the padding simdjson reads past the end.
const char* padded(std::string& buffer, const char* text, std::size_t size) {
    buffer.clear();
    buffer.reserve(size + simdjson::SIMDJSON_PADDING);
    buffer.append(text, size);
    buffer.append(simdjson::SIMDJSON_PADDING, '\0');
    return buffer.data();
}

// --- Decoding one message ----------------------------------------------------------------------------

enum class KeyState { Absent, Present, WrongType };

// Absent and null read the same: the scanner leaves out what it has nothing to say about.
KeyState stringField(const dom::element* value, std::string_view& into) {
    if (!value || value->is_null())
        return KeyState::Absent;
    if (value->get(into) != simdjson::SUCCESS)
        return KeyState::WrongType;
    return KeyState::Present;
}

KeyState numberField(const dom::element* value, double& into) {
    if (!value || value->is_null())
        return KeyState::Absent;
    switch (value->type()) {
    case dom::element_type::INT64:
        into = static_cast<double>(int64_t(*value));
        return KeyState::Present;
    case dom::element_type::UINT64:
        into = static_cast<double>(uint64_t(*value));
        return KeyState::Present;
    case dom::element_type::DOUBLE:
        into = double(*value);
        return KeyState::Present;
    default:
        return KeyState::WrongType;
    }
}

KeyState integerField(const dom::element* value, qint64& into) {
    double number = 0;
    const KeyState field = numberField(value, number);
    if (field != KeyState::Present)
        return field;
    // A status code with a fraction, or beyond what 64 bits hold, is no status code.
    constexpr double kLimit = 9223372036854775808.0; // 2^63
    if (std::trunc(number) != number || number >= kLimit || number < -kLimit)
        return KeyState::WrongType;
    into = static_cast<qint64>(number);
    return KeyState::Present;
}

// One message's fields, as views into the parser that read it.
struct MessageFields {
    std::optional<std::string_view> statusMessage;
    std::optional<qint64> statusCode;
    std::optional<std::string_view> action;
    std::optional<double> executionDuration;
};

std::optional<MessageFields> messageFields(dom::element root) {
    dom::object object;
    if (root.get(object) != simdjson::SUCCESS)
        return std::nullopt;
    // Of a key given twice the last value counts, as it did with Qt's reader.
    dom::element statusMessage, statusCode, action, executionDuration;
    bool hasStatusMessage = false, hasStatusCode = false, hasAction = false, hasExecutionDuration = false;
    for (const dom::key_value_pair field : object) {
        if (field.key == "status_message") {
            statusMessage = field.value;
            hasStatusMessage = true;
        } else if (field.key == "status_code") {
            statusCode = field.value;
            hasStatusCode = true;
        } else if (field.key == "action") {
            action = field.value;
            hasAction = true;
        } else if (field.key == "execution_duration") {
            executionDuration = field.value;
            hasExecutionDuration = true;
        }
    }
    MessageFields fields;
    std::string_view text;
    qint64 code = 0;
    double number = 0;
    switch (stringField(hasStatusMessage ? &statusMessage : nullptr, text)) {
    case KeyState::WrongType:
        return std::nullopt;
    case KeyState::Present:
        fields.statusMessage = text;
        break;
    case KeyState::Absent:
        break;
    }
    switch (integerField(hasStatusCode ? &statusCode : nullptr, code)) {
    case KeyState::WrongType:
        return std::nullopt;
    case KeyState::Present:
        fields.statusCode = code;
        break;
    case KeyState::Absent:
        break;
    }
    switch (stringField(hasAction ? &action : nullptr, text)) {
    case KeyState::WrongType:
        return std::nullopt;
    case KeyState::Present:
        fields.action = text;
        break;
    case KeyState::Absent:
        break;
    }
    switch (numberField(hasExecutionDuration ? &executionDuration : nullptr, number)) {
    case KeyState::WrongType:
        return std::nullopt;
    case KeyState::Present:
        fields.executionDuration = number;
        break;
    case KeyState::Absent:
        break;
    }
    return fields;
}

Outcome outcomeOf(const MessageFields& fields) {
    Outcome outcome;
    outcome.code = fields.statusCode.value_or(-1);
    outcome.noThreatDetected = fields.statusMessage == std::string_view("NoThreatDetected");
    outcome.success = fields.statusMessage == std::string_view("Success");
    outcome.reportOnly = fields.action == std::string_view("report");
    return outcome;
}

// Reads event messages one after another.
class MessageReader {
public:
    MessageReader() : parser(kTypicalMessage) {}

    std::optional<MessageFields> read(const char* text, std::size_t size) {
        // Qt's reader skipped a UTF-8 byte-order mark in front of a document.
        if (size > 3 && std::memcmp(text, "\xef\xbb\xbf", 3) == 0) {
            text += 3;
            size -= 3;
        }
        const simdjson::simdjson_result<dom::element> root = parser.parse(padded(buffer, text, size), size);
        if (root.error())
            return std::nullopt;
        return messageFields(root.value_unsafe());
    }

private:
    static constexpr std::size_t kTypicalMessage = 4096;
    LenientParser parser;
    std::string buffer;
};

// --- Counting the events -----------------------------------------------------------------------------

// Counts the elements of the log's array, a run at a time.
class EventCounter {
public:
    explicit EventCounter(std::size_t runBytes) : runs(runBytes + runBytes / 4 + 4096) {}

    // Parses "[" + the `size` bytes at `text` (+ "]" when `close`) and, when that is an array with
    // elements (or without, when `mayBeEmpty`), counts its elements and gives true. Gives false, having
    // counted nothing, otherwise.
    bool countRun(const char* text, std::size_t size, bool close, bool mayBeEmpty) {
        buffer.clear();
        buffer.reserve(size + 2 + simdjson::SIMDJSON_PADDING);
        buffer += '[';
        buffer.append(text, size);
        if (close)
            buffer += ']';
        const std::size_t length = buffer.size();
        buffer.append(simdjson::SIMDJSON_PADDING, '\0');
        const simdjson::simdjson_result<dom::element> root = runs.parse(buffer.data(), length);
        dom::array events;
        if (root.get(events) != simdjson::SUCCESS)
            return false;
        if (!mayBeEmpty && events.begin() == events.end())
            return false;
        for (const dom::element event : events)
            countEvent(event);
        return true;
    }

    XPRCounts counts;

private:
    // Counts one element of the log's array when it is an event with a structured message.
    void countEvent(dom::element event) {
        dom::object object;
        if (event.get(object) != simdjson::SUCCESS)
            return;
        dom::element message;
        bool hasMessage = false;
        for (const dom::key_value_pair field : object) {
            if (field.key == "eventMessage") {
                message = field.value;
                hasMessage = true;
            }
        }
        std::string_view text;
        if (!hasMessage || message.get(text) != simdjson::SUCCESS || !text.starts_with("{\""))
            return;
        if (const std::optional<MessageFields> fields = messages.read(text.data(), text.size()))
            countOutcome(outcomeOf(*fields), counts);
    }

    LenientParser runs;
    MessageReader messages;
    std::string buffer;
};

// Events are parsed about this many bytes at a time: enough that simdjson's fixed cost per call
// vanishes, little enough that a run, its parsed form and the buffers for them stay in the processor's
// cache and take well under a megabyte. Larger runs are slower: each call takes fresh memory, and
// every page of it costs a fault.
constexpr qsizetype kRunBytes = 64 * 1024;

// Where a run most likely ends: the log tool writes its events as objects one after another, "},{",
// so the first '}' from `earliest` on that is followed by a comma and a '{' (blanks between) usually
// closes an event. The comma's position, or -1 when there is none before `latest`.
qsizetype likelyCut(const char* text, qsizetype size, qsizetype earliest, qsizetype latest) {
    qsizetype pos = earliest;
    while (pos < latest) {
        const auto* brace = static_cast<const char*>(std::memchr(text + pos, '}', latest - pos));
        if (!brace)
            return -1;
        qsizetype at = brace - text + 1;
        while (at < size && isJsonSpace(text[at]))
            ++at;
        if (at < size && text[at] == ',') {
            const qsizetype comma = at;
            for (++at; at < size && isJsonSpace(text[at]); ++at) {
            }
            if (at < size && text[at] == '{')
                return comma;
        }
        pos = brace - text + 1;
    }
    return -1;
}

// Walks the text from `from`, just inside the outer array and outside any string, keeping count of
// brackets and skipping strings: the first comma between the array's elements at or after `earliest`
// (Comma), or the bracket that closes the array (Close), or neither before the text ends (Broken).
// In a well-formed array it finds the true ones; in any other text its guesses are checked by the parse.
struct Cut {
    enum Kind { Comma, Close, Broken } kind;
    qsizetype at;
};
Cut exactCut(const char* text, qsizetype size, qsizetype from, qsizetype earliest) {
    qsizetype depth = 1;
    for (qsizetype pos = from; pos < size; ++pos) {
        const char c = text[pos];
        if (c == '"') {
            // Strings are most of the text: jump from quote to quote, skipping escaped ones.
            for (;;) {
                const auto* quote =
                    static_cast<const char*>(std::memchr(text + pos + 1, '"', size - pos - 1));
                if (!quote)
                    return {Cut::Broken, size};
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
            if (--depth == 0)
                return {Cut::Close, pos};
        } else if (c == ',' && depth == 1 && pos >= earliest) {
            return {Cut::Comma, pos};
        }
    }
    return {Cut::Broken, size};
}

// The offset of the JSON part in the log tool's output.
qsizetype jsonStart(const QByteArray& logOutput) {
    // `log show` may put its "Filtering the log data using …" and "Skipping …" lines in front of the
    // JSON; the events begin at the first line that opens the array.
    if (logOutput.startsWith('['))
        return 0;
    const qsizetype start = logOutput.indexOf("\n[");
    return start < 0 ? 0 : start + 1;
}

} // namespace

std::optional<XPRReport> decodeXPRReport(const QByteArray& message) {
    MessageReader reader;
    const std::optional<MessageFields> fields =
        reader.read(message.constData(), static_cast<std::size_t>(message.size()));
    if (!fields)
        return std::nullopt;
    auto text = [](std::string_view view) {
        return QString::fromUtf8(view.data(), static_cast<qsizetype>(view.size()));
    };
    XPRReport report;
    if (fields->statusMessage)
        report.status_message = text(*fields->statusMessage);
    report.status_code = fields->statusCode;
    if (fields->action)
        report.action = text(*fields->action);
    report.execution_duration = fields->executionDuration;
    return report;
}

void countXPRReport(const XPRReport& report, XPRCounts& counts) {
    Outcome outcome;
    outcome.code = report.status_code.value_or(-1);
    outcome.noThreatDetected = report.status_message == QLatin1String("NoThreatDetected");
    outcome.success = report.status_message == QLatin1String("Success");
    outcome.reportOnly = report.action == QLatin1String("report");
    countOutcome(outcome, counts);
}

QByteArray jsonPartOfLogOutput(const QByteArray& logOutput) {
    const qsizetype start = jsonStart(logOutput);
    return start == 0 ? logOutput : logOutput.mid(start);
}

// A day of events is tens of megabytes on a busy Mac, and simdjson's parsed form of all of it takes
// several times that. So the array is cut between its elements into runs of about `runBytes`, and
// each run is parsed, as an array of its own, and counted. A run that parses as an array of whole
// elements ends where an element of the log's array ends, whatever the guess that cut it: the parse
// starts where one begins. So a guessed cut is tried first, and only when it does not parse, the cut
// found by walking the run. If every run is a non-empty array, the whole output is one array of the
// same elements, and the counts are those of parsing it whole; if a run cut where an element ends does
// not parse, neither does the whole output, which then counts nothing, as output that is no array does.
XPRCounts classifyXPREventsInRuns(const QByteArray& logOutput, qsizetype runBytes) {
    runBytes = std::max<qsizetype>(runBytes, 1);
    const qsizetype start = jsonStart(logOutput);
    const char* const text = logOutput.constData() + start;
    const qsizetype size = logOutput.size() - start;

    // Qt's reader skipped a UTF-8 byte-order mark and blanks before the array, and so does the summary.
    qsizetype pos = size > 3 && std::memcmp(text, "\xef\xbb\xbf", 3) == 0 ? 3 : 0;
    while (pos < size && isJsonSpace(text[pos]))
        ++pos;
    if (pos >= size || text[pos] != '[')
        return {};

    EventCounter counter(static_cast<std::size_t>(runBytes));
    qsizetype from = pos + 1; // where the next run begins: after the '[' or a comma between elements
    bool first = true;
    // A run up to a comma between elements, which must hold at least one.
    auto run = [&](qsizetype end) {
        if (!counter.countRun(text + from, static_cast<std::size_t>(end - from), true, false))
            return false;
        from = end + 1;
        first = false;
        return true;
    };
    // The rest, up to the closing bracket and what follows it, which must be blanks only. Only an
    // array with no comma at all may be empty.
    auto lastRun = [&] {
        return counter.countRun(text + from, static_cast<std::size_t>(size - from), false, first);
    };
    for (;;) {
        if (size - from <= runBytes)
            return lastRun() ? counter.counts : XPRCounts{};
        const qsizetype guess = likelyCut(text, size, from + runBytes, std::min(size, from + 2 * runBytes));
        if (guess >= 0 && run(guess))
            continue;
        // No guess, or a wrong one, or the output is broken: the walk tells.
        const Cut cut = exactCut(text, size, from, from + runBytes);
        if (cut.kind == Cut::Broken)
            return {};
        if (cut.kind == Cut::Close) {
            // Only blanks may follow the array; they are left out of the copy.
            if (!std::all_of(text + cut.at + 1, text + size, isJsonSpace))
                return {};
            const bool ok =
                counter.countRun(text + from, static_cast<std::size_t>(cut.at + 1 - from), false, first);
            return ok ? counter.counts : XPRCounts{};
        }
        if (!run(cut.at))
            return {};
    }
}

XPRCounts classifyXPREvents(const QByteArray& logOutput) {
    return classifyXPREventsInRuns(logOutput, kRunBytes);
}

} // namespace lq
