// The XProtect Remediator summary: which logged events count as scans, alerts and warnings, which are
// skipped, and what the status field and the report say about the counts.
#include "securitydata/LenientJson.h"
#include "securitydata/XPRClassifier.h"
#include "securitydata/XPRScanSummary.h"
#include "support/Harness.h"
#include "support/XPRReference.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace lq::test {
namespace {

const QString kLog = QStringLiteral("/usr/bin/log");
const QStringList kQuery = {
    QStringLiteral("show"),
    QStringLiteral("--predicate"),
    QStringLiteral(
        R"(subsystem == "com.apple.XProtectFramework.PluginAPI" AND category == "XPEvent.structured")"),
    QStringLiteral("--style"),
    QStringLiteral("json"),
    QStringLiteral("--info"),
    QStringLiteral("--last"),
    QStringLiteral("1d")};

// The log tool's output for events with these "eventMessage" values (any JSON value; a string is
// the normal case).
QByteArray logOutput(std::initializer_list<QJsonValue> messages) {
    QJsonArray events;
    for (const QJsonValue& message : messages)
        events.append(QJsonObject{
            {QStringLiteral("subsystem"), QStringLiteral("com.apple.XProtectFramework.PluginAPI")},
            {QStringLiteral("category"), QStringLiteral("XPEvent.structured")},
            {QStringLiteral("eventMessage"), message}});
    return QJsonDocument(events).toJson();
}

QJsonValue msg(const char* json) {
    return QString::fromUtf8(json);
}

struct Counts {
    qint64 scans, alerts, warnings;
    bool operator==(const Counts&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Counts& c) {
    return out << c.scans << " scans, " << c.alerts << " alerts, " << c.warnings << " warnings";
}
Counts countsOf(const XPRCounts& c) {
    return {c.scans, c.alerts, c.warnings};
}

TEST(XPRClassifier, RulesInTheirOrder) {
    struct Case {
        const char* name;
        QByteArray output;
        Counts expected;
    };
    const Case cases[] = {
        {"no events", "[]", {0, 0, 0}},
        {"three clean runs",
         logOutput({msg(R"({"status_message":"NoThreatDetected"})"),
                    msg(R"({"status_message":"NoThreatDetected"})"),
                    msg(R"({"status_message":"NoThreatDetected","status_code":0})")}),
         {3, 0, 0}},
        {"as logged by a real Mac",
         logOutput({msg(
             R"({"execution_duration":0.00055,"status_message":"NoThreatDetected","status_code":20,"caused_by":[]})")}),
         {1, 0, 0}},
        {"code 23 and code 20",
         logOutput({msg(R"({"status_code":23})"), msg(R"({"status_code":20})")}),
         {2, 1, 0}},
        {"an alert and a warning",
         logOutput({msg(R"({"status_message":"ThreatDetected","status_code":23})"),
                    msg(R"({"status_message":"Failed","status_code":5,"action":"remediate"})")}),
         {2, 1, 1}},
        {"code 20 wins over a report-only action",
         logOutput({msg(R"({"status_message":"Odd","status_code":20,"action":"report"})")}),
         {1, 0, 0}},
        {"NoThreatDetected wins over a warning code",
         logOutput({msg(R"({"status_message":"NoThreatDetected","status_code":5})")}),
         {1, 0, 0}},
        {"Success with 31", logOutput({msg(R"({"status_message":"Success","status_code":31})")}), {0, 0, 0}},
        {"Success with 23", logOutput({msg(R"({"status_message":"Success","status_code":23})")}), {1, 1, 0}},
        {"Success with 0", logOutput({msg(R"({"status_message":"Success","status_code":0})")}), {1, 0, 0}},
        {"Success with 5, report only",
         logOutput({msg(R"({"status_message":"Success","status_code":5,"action":"report"})")}),
         {0, 0, 0}},
        {"Success with 5, no action",
         logOutput({msg(R"({"status_message":"Success","status_code":5})")}),
         {1, 0, 1}},
        {"another message with 31",
         logOutput({msg(R"({"status_message":"Skipped","status_code":31})")}),
         {0, 0, 0}},
        {"another message with 0 is no clean run",
         logOutput({msg(R"({"status_message":"Done","status_code":0})")}),
         {1, 0, 1}},
        {"code 5, report only", logOutput({msg(R"({"status_code":5,"action":"report"})")}), {0, 0, 0}},
        {"code 5, another action", logOutput({msg(R"({"status_code":5,"action":"remediate"})")}), {1, 0, 1}},
        {"code 5, no action", logOutput({msg(R"({"status_code":5})")}), {1, 0, 1}},
        {"action test is case-sensitive",
         logOutput({msg(R"({"status_code":5,"action":"Report"})")}),
         {1, 0, 1}},
        {"no code, no message, report only", logOutput({msg(R"({"action":"report"})")}), {0, 0, 0}},
        {"no code, no message, no action", logOutput({msg(R"({"execution_duration":1.5})")}), {1, 0, 1}},
        {"null reads as absent",
         logOutput({msg(R"({"status_code":null,"status_message":null,"action":"report"})")}),
         {0, 0, 0}},
        {"a whole number written with a fraction part",
         logOutput({msg(R"({"status_code":23.0})")}),
         {1, 1, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(countsOf(classifyXPREvents(c.output)), c.expected) << c.name;
}

TEST(XPRClassifier, MalformedEventsAreSkippedAndTheRestCounted) {
    struct Case {
        const char* name;
        QJsonValue message;
    };
    const Case cases[] = {
        {"plain text", msg("Starting system scan")},
        {"a blank before the brace", msg(R"( {"status_code":23})")},
        {"an empty object", msg("{}")},
        {"an array", msg(R"(["status_code",23])")},
        {"cut short", msg(R"({"status_code":23)")},
        {"text after the object", msg(R"({"status_code":23} and more)")},
        {"status_code a string", msg(R"({"status_code":"23"})")},
        {"status_code with a fraction", msg(R"({"status_code":23.5})")},
        {"status_code too large", msg(R"({"status_code":1e300})")},
        {"status_message a number", msg(R"({"status_message":20,"status_code":23})")},
        {"action a boolean", msg(R"({"status_code":23,"action":true})")},
        {"execution_duration a string", msg(R"({"status_code":23,"execution_duration":"0.5"})")},
        {"eventMessage a number", QJsonValue(23)},
        {"eventMessage an object", QJsonObject{{QStringLiteral("status_code"), 23}}},
        {"eventMessage null", QJsonValue(QJsonValue::Null)},
    };
    const QJsonValue clean = msg(R"({"status_code":20})");
    for (const Case& c : cases) {
        // Each malformed event sits between two clean runs, which must still count.
        EXPECT_EQ(countsOf(classifyXPREvents(logOutput({clean, c.message, clean}))), (Counts{2, 0, 0}))
            << c.name;
    }
    // Elements that are no events at all, or events without a message.
    const QByteArray odd =
        R"([{"eventMessage":"{\"status_code\":20}"}, "text", 7, null, [], {"subsystem":"x"},
                              {"eventMessage":"{\"status_code\":23}"}])";
    EXPECT_EQ(countsOf(classifyXPREvents(odd)), (Counts{2, 1, 0}));
}

TEST(XPRClassifier, OutputThatIsNoArrayCountsNothing) {
    const QByteArray oneEvent = logOutput({msg(R"({"status_code":23})")});
    const QByteArray outputs[] = {
        QByteArray(),
        "Skipping info and debug messages, pass --info and/or --debug to include.\n",
        QJsonDocument(QJsonObject{{QStringLiteral("eventMessage"), QStringLiteral(R"({"status_code":20})")}})
            .toJson(),
        oneEvent.left(oneEvent.size() - 3),
    };
    for (const QByteArray& output : outputs)
        EXPECT_EQ(countsOf(classifyXPREvents(output)), (Counts{0, 0, 0})) << output.toStdString();
}

TEST(XPRClassifier, LongOutputsCountAsIfParsedWhole) {
    // Outputs are parsed in runs of events; what stands inside strings, how the events are nested and
    // spaced, and where the output goes wrong must give the counts of the whole document.
    const QByteArray clean = R"({"eventMessage":"{\"status_code\":20}"})";
    const QByteArray alert = R"({"eventMessage":"{\"status_code\":23}"})";
    const QByteArray deep = "{\"deep\":" + QByteArray(300, '[') + QByteArray(300, ']') +
                            R"(,"eventMessage":"{\"status_code\":20}"})";
    struct Case {
        const char* name;
        QByteArray output;
        Counts expected;
    };
    const Case cases[] = {
        {"brackets inside strings",
         R"([{"subsystem":"}]{[","eventMessage":"{\"status_code\":23}"},{"x":"[","eventMessage":"{\"status_code\":20}"}])",
         {2, 1, 0}},
        {"escaped quotes and a string ending in a backslash",
         R"([{"note":"a \"quoted\" }","eventMessage":"{\"status_code\":20}"},{"note":"ends \\","eventMessage":"{\"status_code\":23}"}])",
         {2, 1, 0}},
        {"objects and arrays inside an event",
         R"([{"backtrace":{"frames":[{"imageOffset":[1,{"a":2}]}]},"eventMessage":"{\"status_code\":23}"}])",
         {1, 1, 0}},
        {"every kind of blank between events", "[ \n\t" + clean + "\r\n ,\n" + alert + " \n]\n", {2, 1, 0}},
        {"an empty array with blanks", "[ \n ]\n", {0, 0, 0}},
        {"an array among the events", "[[1,[2]]," + clean + "]", {1, 0, 0}},
        {"an event nested deeper than an event is cut", "[" + clean + "," + deep + "]", {2, 0, 0}},
        {"text after the array", "[" + clean + "] trailing", {0, 0, 0}},
        {"no comma between events", "[" + clean + " " + alert + "]", {0, 0, 0}},
        {"a broken event between good ones", "[" + clean + R"(,{"eventMessage":},)" + alert + "]", {0, 0, 0}},
        {"cut off after a comma", "[" + clean + ",", {0, 0, 0}},
        {"an event closed by the wrong bracket", R"([{"eventMessage":"{\"status_code\":20}"]])", {0, 0, 0}},
        {"a string left open", R"([{"eventMessage":"{\"status_code\":20}}])", {0, 0, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(countsOf(classifyXPREvents(c.output)), c.expected) << c.name;
}

TEST(XPRClassifier, OutputsOfManyMegabytesCountEveryEvent) {
    // Long enough to be parsed in several runs; each event carries text that looks like the end of
    // an event, so a cut in the wrong place would show.
    const QByteArray noise = R"(\"}], {\"eventMessage\":\"x\"}, [ \\ )";
    auto event = [&](int code) {
        return R"({"note":")" + noise.repeated(30) + R"(","eventMessage":"{\"status_code\":)" +
               QByteArray::number(code) + R"(}"})";
    };
    QList<QByteArray> events;
    for (int i = 0; i < 3000; ++i)
        events.append(event(i % 100 == 0 ? 23 : 20));
    const QByteArray whole = "[\n" + events.join(",\n") + "\n]\n";
    ASSERT_GT(whole.size(), 3 * 1024 * 1024);
    EXPECT_EQ(countsOf(classifyXPREvents(whole)), (Counts{3000, 30, 0}));

    struct Case {
        const char* name;
        qsizetype at;
        QByteArray replaced, by;
    };
    // Defects late in the output, in a run long after the first.
    const qsizetype late = whole.size() - whole.size() / 10;
    const Case broken[] = {
        {"a comma with nothing before it", late, ",\n{", ",\n,{"},
        {"a value cut short", late, R"("eventMessage":")", R"("eventMessage":)"},
        {"a missing comma", late, "},\n{", "}\n{"},
        {"a closing brace for a bracket", whole.size() - 3, "]", "}"},
    };
    for (const Case& c : broken) {
        QByteArray output = whole;
        const qsizetype at = output.indexOf(c.replaced, c.at);
        ASSERT_GE(at, 0) << c.name;
        output.replace(at, c.replaced.size(), c.by);
        EXPECT_EQ(countsOf(classifyXPREvents(output)), (Counts{0, 0, 0})) << c.name;
    }
}

TEST(XPRClassifier, HeaderLinesBeforeTheArrayAreSkipped) {
    // As a Mac prints it when both streams are captured together.
    const QByteArray output =
        "Filtering the log data using \"subsystem == \"com.apple.XProtectFramework.PluginAPI\"\"\n"
        "Skipping debug messages, pass --debug to include.\n" +
        logOutput({msg(R"({"status_code":20})"), msg(R"({"status_code":23})")});
    EXPECT_EQ(countsOf(classifyXPREvents(output)), (Counts{2, 1, 0}));
}

TEST(XPRClassifier, DecodesTheFieldsOfARealMessage) {
    const std::optional<XPRReport> report = decodeXPRReport(
        R"({"execution_duration":0.00055,"status_message":"NoThreatDetected","status_code":20,"caused_by":[]})");
    ASSERT_TRUE(report.has_value());
    EXPECT_EQ(report->status_message, QStringLiteral("NoThreatDetected"));
    EXPECT_EQ(report->status_code, 20);
    EXPECT_FALSE(report->action.has_value());
    ASSERT_TRUE(report->execution_duration.has_value());
    EXPECT_DOUBLE_EQ(*report->execution_duration, 0.00055);

    // Strings with escapes, a lone surrogate, and the last of duplicate keys.
    const std::optional<XPRReport> escaped = decodeXPRReport(
        R"({"status_message":"No\u0054hreat\ud800","action":7,"action":"re\port","status_code":1e1})");
    ASSERT_TRUE(escaped.has_value());
    EXPECT_EQ(escaped->status_message, QStringLiteral("NoThreat?"));
    EXPECT_EQ(escaped->action, QStringLiteral("report"));
    EXPECT_EQ(escaped->status_code, 10);
    EXPECT_FALSE(escaped->execution_duration.has_value());
    EXPECT_FALSE(decodeXPRReport(R"({"status_code":1} x)").has_value());
    EXPECT_FALSE(decodeXPRReport(R"(["status_code"])").has_value());
}

TEST(XPRClassifier, ReadsWhatQtsJsonReaderRead) {
    // The summary once read the log with Qt's JSON reader, which takes more than strict JSON and
    // refuses a little that strict JSON allows; the summary still counts what it counted.
    const QByteArray clean = R"({"eventMessage":"{\"status_code\":20}"})";
    struct Case {
        const char* name;
        QByteArray output;
        Counts expected;
    };
    const Case cases[] = {
        {"raw control characters in strings",
         "[{\"note\":\"a\tb\x01\",\"eventMessage\":\"{\\\"status_code\\\":23,\\\"x\\\":\\\"\x7f\x02\\\"}\"}]",
         {1, 1, 0}},
        {"a backslash before any other character",
         R"([{"note":"\a\'\ ","eventMessage":"{\"status_code\":\23}"}])",
         {1, 1, 0}},
        {"a backslash before a byte that is no ASCII",
         "[{\"note\":\"\\\xff\\\xc3\"}," + clean + "]",
         {1, 0, 0}},
        {"lone surrogate escapes",
         R"([{"note":"\ud800 \udc00\ud83d\ude00 \ud83d"},)" + clean + "]",
         {1, 0, 0}},
        {"a lone surrogate makes no keyword",
         R"([{"eventMessage":"{\"status_message\":\"Success\ud800\",\"status_code\":0}"}])",
         {1, 0, 1}},
        {"numbers in Qt's forms",
         R"([{"a":1.,"b":-.5,"c":.5e1,"d":123456789012345678901234,"e":-9223372036854775809,"f":1234563506172839350617},)" +
             clean + "]",
         {1, 0, 0}},
        {"status codes in Qt's forms",
         R"([{"eventMessage":"{\"status_code\":23.}"},{"eventMessage":"{\"status_code\":.23e2}"}])",
         {2, 2, 0}},
        {"a number too small to tell from zero in the log", "[" + clean + R"(,{"a":1e-400}])", {0, 0, 0}},
        {"zero written in many ways", "[" + clean + R"(,{"a":0e-999,"b":-0.0,"c":0.000e5}])", {1, 0, 0}},
        {"a number too small to tell from zero in a message",
         "[" + clean + R"(,{"eventMessage":"{\"status_code\":23,\"execution_duration\":1e-400}"}])",
         {1, 0, 0}},
        {"a number too large for a double", "[" + clean + R"(,{"a":1e400}])", {0, 0, 0}},
        {"a byte-order mark before the array", "\xef\xbb\xbf \n[" + clean + "]", {1, 0, 0}},
        {"the last of duplicate keys counts",
         R"([{"eventMessage":7,"eventMessage":"{\"status_code\":20,\"status_code\":23}"},)"
         R"({"eventMessage":"{\"status_code\":23}","eventMessage":null}])",
         {1, 1, 0}},
        {"an earlier key of a wrong type is replaced",
         R"([{"eventMessage":"{\"status_code\":5,\"action\":1,\"action\":\"remediate\"}"}])",
         {1, 0, 1}},
        {"1,024 levels deep",
         "[" + clean + ",{\"a\":" + QByteArray(1022, '[') + QByteArray(1022, ']') + "}]",
         {1, 0, 0}},
        {"1,025 levels deep",
         "[" + clean + ",{\"a\":" + QByteArray(1023, '[') + QByteArray(1023, ']') + "}]",
         {0, 0, 0}},
        {"an escape sequence cut short", "[" + clean + R"(,{"a":"\u12"}])", {0, 0, 0}},
        {"no UTF-8 in a string", "[" + clean + ",{\"a\":\"\xc3\x28\"}]", {0, 0, 0}},
        {"a number cut short", "[" + clean + ",{\"a\":1e}]", {0, 0, 0}},
        {"a number that is two numbers",
         "[" + clean + R"(,{"eventMessage":"{\"status_code\":1e-40-0}"}])",
         {1, 0, 0}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(countsOf(classifyXPREvents(c.output)), c.expected) << c.name;
        EXPECT_EQ(countsOf(reference::classifyXPREvents(c.output)), c.expected) << c.name << " (reference)";
    }
}

TEST(XPRClassifier, RunsOfAnySizeCountWhatTheReferenceCounts) {
    // Every output the tests know, the simulated Macs' logs and the fuzz seeds, read in runs from one
    // byte (a cut after every element) to the default, must count what Qt's reader of the whole
    // output counts. Cut guesses go wrong on text that looks like the end of an event.
    QList<QByteArray> outputs = {
        R"([{"note":"},{","frames":[{"a":1},{"b":2}],"eventMessage":"{\"status_code\":20}"},)"
        R"({"note":"\"},{\\","eventMessage":"{\"status_code\":23}"} , {"eventMessage":"x"}])",
        R"([{"a":[{"x":1} , {"y":2}]},{"eventMessage":"{\"status_code\":5}"}, 7 ,"},{",{"b":"\\"}])",
        R"([{"eventMessage":"{\"status_code\":20}"},{"a":"},{"} ,{"eventMessage":"{\"status_code\":20}"}, ])",
        R"([{"eventMessage":"{\"status_code\":20}"},{"eventMessage":"{\"status_code\":23}"}},{"a":1}])",
        R"([{"eventMessage":"{\"status_code\":20}"},,{"eventMessage":"{\"status_code\":23}"}])",
        R"([{"eventMessage":"{\"status_code\":20}"}, {"a":1.}, {"a":"\a"}, {"a":1e-400}])",
        "[\n]",
        "[{}]",
        "[{},{}] \n",
        "[{},{}] x",
        "[{}, {},]",
        "[{}, {}",
        "[{}, {\"a\":\"}]",
    };
    const QDir source(QStringLiteral(LQ_SOURCE_DIR));
    QStringList files;
    for (const QString& mac :
         QDir(source.filePath(QStringLiteral("sim"))).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString log = source.filePath(QStringLiteral("sim/%1/.sim/data/log-show-xpr.out").arg(mac));
        if (QFile::exists(log))
            files.append(log);
    }
    const QDir seeds(source.filePath(QStringLiteral("fuzz/corpus/xpr_json")));
    for (const QString& name : seeds.entryList(QDir::Files, QDir::Name))
        files.append(seeds.filePath(name));
    ASSERT_GE(files.size(), 4);
    for (const QString& path : files) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        outputs.append(file.readAll());
    }
    for (const QByteArray& output : outputs) {
        const Counts expected = countsOf(reference::classifyXPREvents(output));
        EXPECT_EQ(countsOf(classifyXPREvents(output)), expected) << output.left(300).toStdString();
        for (const qsizetype runBytes : {1, 2, 5, 17, 64, 400, 4096})
            EXPECT_EQ(countsOf(classifyXPREventsInRuns(output, runBytes)), expected)
                << runBytes << "-byte runs: " << output.left(300).toStdString();
    }
}

TEST(XPRClassifier, LenientJsonIsRewrittenAsStrictJson) {
    struct Case {
        const char* name;
        QByteArray text;
        std::optional<std::string> strict; // nothing: Qt's reader refuses it
    };
    const Case cases[] = {
        {"strict JSON keeps its strings", R"({"a":"x\"\\\/\b\f\n\r\t\u00e9\ud83d\ude00"})",
         R"({"a":"x\"\\\/\b\f\n\r\t\u00e9\ud83d\ude00"})"},
        {"control characters", "[\"\x01\t\x1f\"]", R"(["\u0001\u0009\u001f"])"},
        {"other escaped characters", "[\"\\a\\'\\\x7f\\\xe9\"]", "[\"a'\x7f\\u00e9\"]"},
        {"lone surrogates", R"(["\ud800x\udc00\ud83d\ud83d\ude00"])", R"(["?x??\ud83d\ude00"])"},
        {"numbers", "[1.,-.5,.5,0e5,1E2,-0,123456789012345678901234,1.50]",
         "[1e+00,-5e-01,5e-01,0e+00,1e+02,0,1.2345678901234569e+23,1.5e+00]"},
        {"bytes outside strings stay", "[nul, \xff 0 1]", "[nul, \xff 0 1]"},
        {"a number too small", "[1e-400]", std::nullopt},
        {"a number too large", "[1e400]", std::nullopt},
        {"a minus alone", "[-]", std::nullopt},
        {"two numbers that would join when rewritten", "[1e-40-0]", std::nullopt},
        {"two numbers one after the other", "[1.5.5]", std::nullopt},
        {"a number at the very end", "[1", std::nullopt},
        {"a string left open", "[\"abc", std::nullopt},
        {"a backslash at the very end", "[\"abc\\", std::nullopt},
        {"an escape with too few hex digits", R"(["\u12"])", std::nullopt},
        {"an escape with no hex digit", R"(["\u12g4"])", std::nullopt},
    };
    for (const Case& c : cases) {
        std::string out;
        const bool ok =
            json::rewriteAsStrictJson(c.text.constData(), static_cast<std::size_t>(c.text.size()), out);
        ASSERT_EQ(ok, c.strict.has_value()) << c.name;
        if (ok) {
            EXPECT_EQ(out, *c.strict) << c.name;
        }
    }
}

TEST(XPRSummaryDisplay, FieldAndReportLineForEachOutcome) {
    struct Case {
        qint64 scans, alerts, warnings;
        QString field;
        QString line;
    };
    const Case cases[] = {
        {0, 0, 0, QStringLiteral("👉 XPR no scans in 24 h"),
         QStringLiteral("👉 XProtect Remediator no scans in the last day.\n")},
        {3, 0, 0, QStringLiteral("✅ XPR 3 scans"),
         QStringLiteral("✅ XProtect Remediator 3 scans, 0 alerts, 0 warnings.\n")},
        {2, 1, 0, QStringLiteral("⛔️ XPR 2 scans ⛔️ 1"),
         QStringLiteral("⛔️ XProtect Remediator 2 scans, 1 alerts, 0 warnings.\n")},
        {5, 1, 2, QStringLiteral("⛔️ XPR 5 scans ⛔️ 1"),
         QStringLiteral("⛔️ XProtect Remediator 5 scans, 1 alerts, 2 warnings.\n")},
        {4, 0, 2, QStringLiteral("⚠️ XPR 4 scans ⚠️ 2"),
         QStringLiteral("⚠️ XProtect Remediator 4 scans, 0 alerts, 2 warnings.\n")},
        {1234567890123, 0, 0, QStringLiteral("✅ XPR 1234567890123 scans"),
         QStringLiteral("✅ XProtect Remediator 1234567890123 scans, 0 alerts, 0 warnings.\n")},
    };
    for (const Case& c : cases) {
        const ScanSummaryText text = scanSummaryText({{c.scans, c.alerts, c.warnings}, QString(), false});
        EXPECT_EQ(text.field, c.field) << c.scans << "/" << c.alerts << "/" << c.warnings;
        EXPECT_EQ(text.line, c.line) << c.scans << "/" << c.alerts << "/" << c.warnings;
    }
    // The marks are the emoji with their presentation selector.
    EXPECT_EQ(QStringLiteral("⛔️"), QString::fromUtf16(u"\u26D4\uFE0F"));
    EXPECT_EQ(QStringLiteral("⚠️"), QString::fromUtf16(u"\u26A0\uFE0F"));
}

TEST(XPRSummary, RunsTheQueryInTheBackgroundAndShowsTheCounts) {
    struct Case {
        const char* name;
        ToolRun run;
        QString field;
    };
    const QByteArray events =
        logOutput({msg(R"({"status_code":23})"), msg(R"({"status_code":20})"), msg("not an object")});
    const Case cases[] = {
        {"two scans, one alert", {0, events, {}}, QStringLiteral("⛔️ XPR 2 scans ⛔️ 1")},
        {"a failed query counts nothing",
         {1, events, "log: Must be admin to run 'show' command\n"},
         QStringLiteral("👉 XPR no scans in 24 h")},
        {"output that is not JSON",
         {0, "Skipping info and debug messages.\n", {}},
         QStringLiteral("👉 XPR no scans in 24 h")},
        {"no tool at all", {kToolNotStartedStatus, {}, {}}, QStringLiteral("👉 XPR no scans in 24 h")},
    };
    for (const Case& c : cases) {
        Harness h;
        h.tools.answer(kLog, kQuery, c.run);
        h.vc->startXPRScanSummary();
        EXPECT_EQ(h.vc->pendingWork(), 1) << c.name;
        ASSERT_TRUE(waitUntilIdle(*h.vc)) << c.name;
        EXPECT_EQ(h.view.fieldText(Field::tccVersionText), c.field) << c.name;
        const std::vector<FakeTools::Call> calls = h.tools.calls();
        ASSERT_EQ(calls.size(), 1u) << c.name;
        EXPECT_EQ(calls[0].path, kLog);
        EXPECT_EQ(calls[0].args, kQuery);
    }
}

TEST(XPRSummary, TheLineFollowsTheCheckRunThatStartedIt) {
    Harness h;
    h.tools.answer(kLog, kQuery, logOutput({msg(R"({"status_message":"NoThreatDetected"})")}));
    h.vc->startXPRScanSummary();
    // The main thread is still busy with the check run: its own lines come first.
    h.vc->appendReport(QStringLiteral("macOS Version 14.5 (Build 23F79)\n"));
    ASSERT_TRUE(waitUntilIdle(*h.vc));
    EXPECT_EQ(h.view.report, QStringLiteral("macOS Version 14.5 (Build 23F79)\n"
                                            "✅ XProtect Remediator 1 scans, 0 alerts, 0 warnings.\n"));
}

} // namespace
} // namespace lq::test
