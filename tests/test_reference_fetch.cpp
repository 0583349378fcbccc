// Fetching reference lists through the real HTTP client from a real local server: screening of status,
// media type and transport failures, HTTPS trust and redirects, and the parse steps of the readers.
#include "platform/QtHttpGetter.h"
#include "securitydata/ReferenceList.h"
#include "support/Harness.h"
#include "support/PlistFixtures.h"
#include "support/TestServer.h"

#include <QElapsedTimer>

#include <plist/plist.h>

#include <gtest/gtest.h>

#include <memory>

namespace lq {
namespace {

using test::Answer;
using test::TestCertificates;
using test::TestServer;
using test::waitFor;

const QByteArray kXmlList = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                            "<plist version=\"1.0\"><dict>"
                            "<key>XProtect15</key><string>5321</string>"
                            "<key>XPremed</key><string>145</string>"
                            "<key>MRT</key><string>1.93</string>"
                            "<key>TCC18</key><string>18.0</string>"
                            "<key>KEXT18</key><string>18.5</string>"
                            "</dict></plist>\n";
const QByteArray kEmptyArrayList = "<?xml version=\"1.0\"?><plist version=\"1.0\"><array/></plist>";
const QByteArray kArrayList = "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><dict>"
                              "<key>MacModel</key><string>Mac14,2</string></dict></array></plist>";

using test::toBinary;

// ---- Screening, without a network ----

TEST(ResponseScreening, AcceptsOnlySuccessfulTextLists) {
    struct Case {
        HttpResponse response;
        FetchOutcome outcome;
        const char* failure;
    };
    auto http = [](int status, const char* type) {
        return HttpResponse{false, {}, true, status, QString::fromUtf8(type), "body"};
    };
    const Case cases[] = {
        {HttpResponse{true, QStringLiteral("refused"), false, 0, {}, {}}, FetchOutcome::Failed,
         "Got URLSession error."},
        // A transport error wins over whatever else arrived.
        {HttpResponse{true, QStringLiteral("reset"), true, 200, QStringLiteral("text/xml"), "x"},
         FetchOutcome::Failed, "Got URLSession error."},
        {HttpResponse{false, {}, false, 0, QStringLiteral("text/xml"), "x"}, FetchOutcome::Failed,
         "Got httpResponse error."},
        {http(199, "text/xml"), FetchOutcome::Failed, "Got httpResponse error."},
        {http(200, "text/xml"), FetchOutcome::Accepted, ""},
        {http(200, "text/plain"), FetchOutcome::Accepted, ""},
        {http(299, "text/plain"), FetchOutcome::Accepted, ""},
        {http(300, "text/xml"), FetchOutcome::Failed, "Got httpResponse error."},
        {http(404, "text/html"), FetchOutcome::Failed, "Got httpResponse error."},
        {http(200, "text/html"), FetchOutcome::Ignored, ""},
        {http(200, "application/x-plist"), FetchOutcome::Ignored, ""},
        {http(200, "application/xml"), FetchOutcome::Ignored, ""},
        {http(200, "Text/XML"), FetchOutcome::Ignored, ""},
        {http(200, ""), FetchOutcome::Ignored, ""},
    };
    for (const Case& c : cases) {
        const ScreenedResponse screened = screenResponse(c.response);
        EXPECT_EQ(screened.outcome, c.outcome)
            << c.response.status << " " << c.response.mediaType.toStdString();
        EXPECT_EQ(screened.failure, QString::fromUtf8(c.failure)) << c.response.status;
    }
}

// ---- Parse steps ----

TEST(ReferenceListParsing, AlertsOnBodiesThatAreNoListOfTheWantedKind) {
    struct Case {
        const char* name;
        QByteArray body;
        ListShape shape;
        bool parsed;
    };
    const Case cases[] = {
        {"XML dictionary", kXmlList, ListShape::Dictionary, true},
        {"binary dictionary", toBinary(kXmlList), ListShape::Dictionary, true},
        {"dictionary, any kind", kXmlList, ListShape::Any, true},
        {"array wanted, dictionary found", kXmlList, ListShape::Array, false},
        {"dictionary wanted, array found", kArrayList, ListShape::Dictionary, false},
        {"binary array", toBinary(kArrayList), ListShape::Array, true},
        {"bare string", "<?xml version=\"1.0\"?><plist version=\"1.0\"><string>x</string></plist>",
         ListShape::Dictionary, false},
        {"empty body", QByteArray(), ListShape::Any, false},
        {"HTML", "<html><body>Not Found</body></html>", ListShape::Any, false},
        {"cut off", kXmlList.left(kXmlList.size() / 2), ListShape::Any, false},
        {"binary header only", "bplist00", ListShape::Any, false},
    };
    for (const Case& c : cases) {
        QStringList alerts;
        const auto document = parseReferenceList(
            c.body, [&](const QString& text) { alerts << text; }, c.shape);
        EXPECT_EQ(document.has_value(), c.parsed) << c.name;
        EXPECT_EQ(alerts,
                  c.parsed ? QStringList() : QStringList{QStringLiteral("Error in update Property List.")})
            << c.name;
    }
}

TEST(ReferenceListParsing, NoEntriesAndUnreadableValues) {
    QStringList alerts;
    const AlertFunction alert = [&](const QString& text) { alerts << text; };

    const auto empty = parseReferenceList(kEmptyArrayList, alert, ListShape::Array);
    ASSERT_TRUE(empty);
    EXPECT_FALSE(checkHasEntries(empty->root(), alert));
    EXPECT_EQ(alerts, QStringList{QStringLiteral("Update Property List has no entries.")});

    alerts.clear();
    const auto one = parseReferenceList(kArrayList, alert, ListShape::Array);
    ASSERT_TRUE(one);
    EXPECT_TRUE(checkHasEntries(one->root(), alert));
    EXPECT_TRUE(alerts.isEmpty());

    const auto list = parseReferenceList("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
                                         "<key>text</key><string>5321</string>"
                                         "<key>number</key><integer>5321</integer>"
                                         "<key>flag</key><true/>"
                                         "<key>empty</key><string></string></dict></plist>",
                                         alert, ListShape::Dictionary);
    ASSERT_TRUE(list);
    EXPECT_EQ(referenceString(list->root(), "text"), QStringLiteral("5321"));
    EXPECT_EQ(referenceString(list->root(), "number"), QString());
    EXPECT_EQ(referenceString(list->root(), "flag"), QString());
    EXPECT_EQ(referenceString(list->root(), "empty"), QString());
    EXPECT_EQ(referenceString(list->root(), "missing"), QString());
    // An array element is not a dictionary: nothing under any key.
    EXPECT_EQ(referenceString(one->root(), "MacModel"), QString());
    EXPECT_TRUE(alerts.isEmpty());
}

// ---- Real fetches ----

// What one fetch did, seen from its caller.
struct FetchRecord {
    QStringList failures;
    QList<QByteArray> bodies;
    int begun = 0;
    int ended = 0;
};

// Fetches `url` and waits until the fetch says it is over; then lets the event loop run a little
// longer, so that a second end or a late continuation would be seen.
FetchRecord fetchOnce(HttpGetter& http, const QString& url, bool reportFailures = true) {
    auto record = std::make_shared<FetchRecord>();
    ReferenceFetch fetch{http, nullptr, {}, {}, {}};
    if (reportFailures)
        fetch.reportFailure = [record](const QString& failure) { record->failures << failure; };
    fetch.beginWork = [record] { ++record->begun; };
    fetch.endWork = [record] { ++record->ended; };
    fetchReferenceList(fetch, url, [record](const QByteArray& body) { record->bodies << body; });
    EXPECT_EQ(record->begun, 1);
    EXPECT_TRUE(waitFor([&] { return record->ended > 0; }, 20000)) << url.toStdString();
    waitFor([] { return false; }, 50);
    EXPECT_EQ(record->ended, 1);
    return *record;
}

class ReferenceFetchTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.listening()); }
    TestServer server;
    QtHttpGetter http;
};

TEST_F(ReferenceFetchTest, ScreensWhatTheServerAnswers) {
    struct Case {
        const char* name;
        Answer answer;
        const char* failure; // nothing reported when empty
        bool continued;
    };
    const Case cases[] = {
        {"XML list as text/xml", {200, "text/xml", kXmlList}, "", true},
        {"binary list as text/plain", {200, "text/plain", toBinary(kXmlList)}, "", true},
        {"media type with a parameter", {200, "text/xml; charset=utf-8", kXmlList}, "", true},
        {"last success status", {299, "text/xml", kXmlList}, "", true},
        {"not found", {404, "text/xml", "<html>no</html>"}, "Got httpResponse error.", false},
        {"server error", {500, "text/plain", kXmlList}, "Got httpResponse error.", false},
        {"multiple choices", {300, "text/xml", kXmlList}, "Got httpResponse error.", false},
        {"HTML page", {200, "text/html", "<html><body>moved</body></html>"}, "", false},
        {"property-list media type", {200, "application/x-plist", kXmlList}, "", false},
        {"no media type", {200, "", kXmlList}, "", false},
        {"body cut off", Answer(200, "text/xml", kXmlList).cutOffAfter(40), "Got URLSession error.", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server.answer(QStringLiteral("/list.plist"), c.answer);
        const FetchRecord record = fetchOnce(http, server.baseUrl() + QStringLiteral("list.plist"));
        EXPECT_EQ(record.failures, *c.failure ? QStringList{QString::fromUtf8(c.failure)} : QStringList());
        ASSERT_EQ(record.bodies.size(), c.continued ? 1 : 0);
        if (c.continued) {
            EXPECT_EQ(record.bodies.front(), c.answer.body);
        }
    }
}

TEST_F(ReferenceFetchTest, ARefusedConnectionIsATransportError) {
    const int port = test::unusedPort();
    ASSERT_GT(port, 0);
    const FetchRecord record =
        fetchOnce(http, QStringLiteral("http://127.0.0.1:%1/sysupdates.plist").arg(port));
    EXPECT_EQ(record.failures, QStringList{QStringLiteral("Got URLSession error.")});
    EXPECT_TRUE(record.bodies.isEmpty());
}

TEST_F(ReferenceFetchTest, CallersThatKeepFailuresToThemselvesSeeNothing) {
    const FetchRecord refused = fetchOnce(
        http, QStringLiteral("http://127.0.0.1:%1/brindledapps.plist").arg(test::unusedPort()), false);
    EXPECT_TRUE(refused.failures.isEmpty());
    EXPECT_TRUE(refused.bodies.isEmpty());
    const FetchRecord missing =
        fetchOnce(http, server.baseUrl() + QStringLiteral("brindledapps.plist"), false);
    EXPECT_TRUE(missing.failures.isEmpty());
    EXPECT_TRUE(missing.bodies.isEmpty());
}

TEST_F(ReferenceFetchTest, AnEmptyArrayListGetsItsAlert) {
    server.answer(QStringLiteral("/applesilicon.plist"), {200, "text/xml", kEmptyArrayList});
    QStringList alerts;
    bool readEntries = false;
    bool done = false;
    fetchReferenceList(ReferenceFetch{http, nullptr, {}, {}, [&] { done = true; }},
                       server.baseUrl() + QStringLiteral("applesilicon.plist"), [&](const QByteArray& body) {
                           const AlertFunction alert = [&](const QString& text) { alerts << text; };
                           if (const auto list = parseReferenceList(body, alert, ListShape::Array))
                               readEntries = checkHasEntries(list->root(), alert);
                       });
    ASSERT_TRUE(waitFor([&] { return done; }));
    EXPECT_FALSE(readEntries);
    EXPECT_EQ(alerts, QStringList{QStringLiteral("Update Property List has no entries.")});
}

TEST_F(ReferenceFetchTest, ABodyAboveTheCapIsATransportError) {
    QtHttpGetter small({}, 1024);
    server.answer(QStringLiteral("/big.plist"), {200, "text/xml", QByteArray(64 * 1024, 'x')});
    const FetchRecord record = fetchOnce(small, server.baseUrl() + QStringLiteral("big.plist"));
    EXPECT_EQ(record.failures, QStringList{QStringLiteral("Got URLSession error.")});
    EXPECT_TRUE(record.bodies.isEmpty());
}

TEST_F(ReferenceFetchTest, AStalledServerTimesOut) {
    QtHttpGetter impatient({}, kMaxReferenceListBytes, std::chrono::milliseconds(200));
    server.answer(QStringLiteral("/slow.plist"),
                  Answer(200, "text/xml", kXmlList).stallFor(std::chrono::milliseconds(1500)));
    QElapsedTimer clock;
    clock.start();
    const FetchRecord record = fetchOnce(impatient, server.baseUrl() + QStringLiteral("slow.plist"));
    EXPECT_LT(clock.elapsed(), 1200);
    EXPECT_EQ(record.failures, QStringList{QStringLiteral("Got URLSession error.")});
    EXPECT_TRUE(record.bodies.isEmpty());
}

TEST_F(ReferenceFetchTest, RedirectsWithinHttpAreFollowed) {
    server.answer(QStringLiteral("/old.plist"),
                  Answer(302, "text/plain", "moved").redirectTo((server.baseUrl() + "new.plist").toUtf8()));
    server.answer(QStringLiteral("/new.plist"), {200, "text/xml", kXmlList});
    const FetchRecord record = fetchOnce(http, server.baseUrl() + QStringLiteral("old.plist"));
    EXPECT_TRUE(record.failures.isEmpty());
    ASSERT_EQ(record.bodies.size(), 1);
    EXPECT_EQ(record.bodies.front(), kXmlList);
}

// A caller that goes away before its answer arrives must not be called back.
class HeldHttp : public HttpGetter {
public:
    void get(const QString&, std::function<void(const HttpResponse&)> done) override {
        held = std::move(done);
    }
    std::function<void(const HttpResponse&)> held;
};

TEST(ReferenceFetchOwner, AnswersForAGoneCallerAreDropped) {
    HeldHttp http;
    auto owner = std::make_unique<QObject>();
    int failures = 0, bodies = 0, ended = 0;
    fetchReferenceList(
        ReferenceFetch{http, owner.get(), [&](const QString&) { ++failures; }, {}, [&] { ++ended; }},
        QStringLiteral("http://127.0.0.1:1/x.plist"), [&](const QByteArray&) { ++bodies; });
    ASSERT_TRUE(http.held);
    owner.reset();
    http.held(HttpResponse{false, {}, true, 200, QStringLiteral("text/xml"), kXmlList});
    http.held(HttpResponse{true, QStringLiteral("refused"), false, 0, {}, {}});
    EXPECT_EQ(failures + bodies + ended, 0);
}

// ---- HTTPS ----

class HttpsFetchTest : public testing::Test {
protected:
    static void SetUpTestSuite() { certificates = new TestCertificates; }
    static void TearDownTestSuite() {
        delete certificates;
        certificates = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(certificates->error().isEmpty()) << certificates->error().toStdString();
        server = std::make_unique<TestServer>(*certificates);
        ASSERT_TRUE(server->listening());
        server->answer(QStringLiteral("/sysupdates.plist"), {200, "text/xml", kXmlList});
    }
    static TestCertificates* certificates;
    std::unique_ptr<TestServer> server;
};
TestCertificates* HttpsFetchTest::certificates = nullptr;

TEST_F(HttpsFetchTest, AnUntrustedCertificateIsATransportError) {
    QtHttpGetter http;
    const FetchRecord record = fetchOnce(http, server->baseUrl() + QStringLiteral("sysupdates.plist"));
    EXPECT_EQ(record.failures, QStringList{QStringLiteral("Got URLSession error.")});
    EXPECT_TRUE(record.bodies.isEmpty());
}

TEST_F(HttpsFetchTest, ATrustedAuthorityLetsTheListThrough) {
    QtHttpGetter http(certificates->authority());
    for (const QString& host : {QStringLiteral("127.0.0.1"), QStringLiteral("localhost")}) {
        SCOPED_TRACE(host.toStdString());
        const FetchRecord record =
            fetchOnce(http, QStringLiteral("https://%1:%2/sysupdates.plist").arg(host).arg(server->port()));
        EXPECT_TRUE(record.failures.isEmpty());
        ASSERT_EQ(record.bodies.size(), 1);
        EXPECT_EQ(record.bodies.front(), kXmlList);
    }
}

TEST_F(HttpsFetchTest, ARedirectFromHttpsToHttpIsNeverFollowed) {
    TestServer plain;
    ASSERT_TRUE(plain.listening());
    plain.answer(QStringLiteral("/sysupdates.plist"), {200, "text/xml", kXmlList});
    for (const int status : {301, 302, 307, 308}) {
        SCOPED_TRACE(status);
        server->answer(QStringLiteral("/moved.plist"),
                       Answer(status, "text/plain", "moved")
                           .redirectTo((plain.baseUrl() + "sysupdates.plist").toUtf8()));
        QtHttpGetter http(certificates->authority());
        const FetchRecord record = fetchOnce(http, server->baseUrl() + QStringLiteral("moved.plist"));
        EXPECT_EQ(record.failures, QStringList{QStringLiteral("Got URLSession error.")});
        EXPECT_TRUE(record.bodies.isEmpty());
    }
    EXPECT_TRUE(plain.requested().isEmpty());
}

// ---- Through the main window controller ----

QByteArray infoPlist(const char* version) {
    return QByteArray(
               "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundleShortVersionString</key>"
               "<string>") +
           version + "</string></dict></plist>";
}

class SecurityDataFetch : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.listening());
        vc = std::make_unique<ViewController>(
            Services{h.tools, h.files, h.settings, h.system, h.ioRegistry, http}, h.view, h.menus,
            server.baseUrl());
        const QStringList bundles = {theXProtCatPath, theXPremCatPath, theMRTCatPath, theTCCCatPath,
                                     theKextCatPath};
        const char* versions[] = {"5321", "145", "1.93", "18.0", "18.5"};
        for (int i = 0; i < 5; ++i)
            h.files.files.insert(bundles[i] + QStringLiteral("/Contents/Info.plist"), infoPlist(versions[i]));
        vc->state.osVersion = 19;
    }
    void keepPreviousTexts() {
        for (const Field f : kFields)
            h.view.setFieldText(f, QStringLiteral("previous"));
    }
    bool fieldsKept() const {
        for (const Field f : kFields)
            if (h.view.fieldText(f) != QStringLiteral("previous"))
                return false;
        return true;
    }
    static constexpr Field kFields[] = {Field::xprotVersionText, Field::mrtVersionText,
                                        Field::kextVersionText, Field::gatekeepVersionText,
                                        Field::dfirmwareStatusText};
    test::Harness h;
    TestServer server;
    QtHttpGetter http;
    std::unique_ptr<ViewController> vc;
};

TEST_F(SecurityDataFetch, ReportsWhatTheFetchBrought) {
    const QString current = QStringLiteral("✅ XProtect 5321 should be 5321\n"
                                           "✅ XPR 145 should be 145\n"
                                           "✅ MRT 1.93 should be 1.93\n"
                                           "✅ TCC 18.0 should be 18.0\n"
                                           "✅ KEXT 18.5 should be 18.5\n");
    struct Case {
        const char* name;
        Answer answer;
        QString report;
        QStringList alerts;
        const char* xprotect; // nullptr: the field keeps its previous text
    };
    const Case cases[] = {
        {"XML list", {200, "text/xml", kXmlList}, current, {}, "✅ XProtect 5321"},
        {"binary list", {200, "text/plain", toBinary(kXmlList)}, current, {}, "✅ XProtect 5321"},
        {"not found",
         {404, "text/html", "<html/>"},
         QStringLiteral("Got httpResponse error.\n"),
         {},
         nullptr},
        {"server error",
         {500, "text/xml", kXmlList},
         QStringLiteral("Got httpResponse error.\n"),
         {},
         nullptr},
        {"HTML page", {200, "text/html", "<html/>"}, QString(), {}, nullptr},
        {"empty body",
         {200, "text/plain", ""},
         QString(),
         {QStringLiteral("Error in update Property List.")},
         "❌ No XProtect version found."},
        {"array list",
         {200, "text/xml", kArrayList},
         QString(),
         {QStringLiteral("Error in update Property List.")},
         "❌ No XProtect version found."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        h.view.report.clear();
        h.view.alerts.clear();
        keepPreviousTexts();
        server.answer(QStringLiteral("/sysupdates.plist"), c.answer);

        vc->checkSecurityDataVersions();
        // The list and the installed versions, fetched and read at the same time.
        EXPECT_EQ(vc->pendingWork(), 2);
        ASSERT_TRUE(test::waitUntilIdle(*vc, 20000));

        EXPECT_EQ(h.view.report, c.report);
        EXPECT_EQ(h.view.alerts, c.alerts);
        if (c.xprotect) {
            EXPECT_EQ(h.view.fieldText(Field::xprotVersionText), QString::fromUtf8(c.xprotect));
        } else {
            EXPECT_TRUE(fieldsKept());
        }
    }
}

TEST_F(SecurityDataFetch, ARefusedConnectionIsReportedAndKeepsTheFields) {
    ViewController offline(Services{h.tools, h.files, h.settings, h.system, h.ioRegistry, http}, h.view,
                           h.menus, QStringLiteral("http://127.0.0.1:%1/").arg(test::unusedPort()));
    keepPreviousTexts();
    offline.checkSecurityDataVersions();
    ASSERT_TRUE(test::waitUntilIdle(offline, 20000));
    EXPECT_EQ(h.view.report, QStringLiteral("Got URLSession error.\n"));
    EXPECT_TRUE(h.view.alerts.isEmpty());
    EXPECT_TRUE(fieldsKept());
}

} // namespace
} // namespace lq
