// The security data check through the main window controller: the fetched list against the installed
// bundles, the Studio Display firmware, the recently-updated marks, and what a failed or unreadable
// list leaves behind.
#include "securitydata/ReferenceList.h"
#include "support/Harness.h"

#include <gtest/gtest.h>

#include <array>
#include <map>

namespace lq {
namespace {

using test::Harness;
using test::waitUntilIdle;

const QString kListUrl = QStringLiteral("https://example.test/updates/master/sysupdates.plist");

QByteArray str(const char* value) {
    return QByteArray("<string>") + value + "</string>";
}

// A published list: every key with a distinct value, so a wrong key shows as a wrong verdict.
std::map<QByteArray, QByteArray> fullList() {
    return {{"XProtect15", str("5321")}, {"XPremed", str("145")}, {"MRT", str("1.93")},
            {"TCC15", str("15.0")},      {"TCC16", str("16.0")},  {"TCC17", str("17.0")},
            {"TCC18", str("18.0")},      {"KEXT15", str("15.5")}, {"KEXT16", str("16.5")},
            {"KEXT17", str("17.5")},     {"KEXT18", str("18.5")}, {"StudioDisplay", str("17.0")},
            {"Unrelated", str("9")}};
}

QByteArray plistDocument(const QByteArray& root) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST "
           "1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist version=\"1.0\">\n" +
           root + "\n</plist>\n";
}

QByteArray dictionary(const std::map<QByteArray, QByteArray>& entries) {
    QByteArray body = "<dict>";
    for (const auto& [key, value] : entries)
        body += "<key>" + key + "</key>" + value;
    return body + "</dict>";
}

QByteArray infoPlist(const char* version) {
    return plistDocument(dictionary({{"CFBundleShortVersionString", str(version)}}));
}

const char* const kInitialXProtect = "❌ No XProtect version found.";
const char* const kInitialXpr = "❌ No XPR version found.";
const char* const kInitialTcc = "❌ No TCC version found.";
const char* const kInitialKext = "❌ No KEXT version found.";
const char* const kInitialDisplay = "❌ No display fw found.";

class SecurityDataCheck : public testing::Test {
protected:
    // The bundles in report order: XProtect, XPR, MRT, TCC, KEXT.
    QStringList bundles() const {
        return {theXProtCatPath, theXPremCatPath, theMRTCatPath, theTCCCatPath, theKextCatPath};
    }
    void serve(const QByteArray& body, const QString& mediaType = QStringLiteral("text/xml")) {
        h.http.responses.insert(kListUrl, HttpResponse{false, {}, true, 200, mediaType, body});
    }
    // Installs the five bundles; a null version leaves that bundle out.
    void install(const std::array<const char*, 5>& versions) {
        const QStringList paths = bundles();
        for (std::size_t i = 0; i < versions.size(); ++i) {
            const QString infoPath =
                paths[static_cast<qsizetype>(i)] + QStringLiteral("/Contents/Info.plist");
            if (versions[i])
                h.files.files.insert(infoPath, infoPlist(versions[i]));
            else
                h.files.files.remove(infoPath);
        }
    }
    void check() {
        h.vc->checkSecurityDataVersions();
        ASSERT_TRUE(waitUntilIdle(*h.vc));
    }
    QString field(Field f) const { return h.view.fieldText(f); }

    Harness h;
};

struct ComparisonCase {
    const char* name;
    std::map<QByteArray, QByteArray> listChanges = {}; // an empty value removes the key
    std::array<const char*, 5> installed = {"5321", "145", "1.93", "18.0", "18.5"};
    int osVersion = 19;
    bool xprotIsUpd = false, xpremIsUpd = false, mrtIsUpd = false, tccIsUpd = false, kextIsUpd = false;
    bool hasStudioDisplay = false;
    QStringList displayVersions = {};
    const char* xprotect = "✅ XProtect 5321";
    const char* xpr = "✅ XPR 145";
    const char* tcc = "✅ TCC 18.0";
    const char* kext = "✅ KEXT 18.5";
    const char* display = kInitialDisplay;
    const char* report = "✅ XProtect 5321 should be 5321\n"
                         "✅ XPR 145 should be 145\n"
                         "✅ MRT 1.93 should be 1.93\n"
                         "✅ TCC 18.0 should be 18.0\n"
                         "✅ KEXT 18.5 should be 18.5\n";
};

const ComparisonCase kComparisonCases[] = {
    {.name = "everything current"},
    {.name = "newer XProtect installed",
     .installed = {"5322", "145", "1.93", "18.0", "18.5"},
     .xprotect = "❌ XProtect 5322",
     .report = "❌ XProtect 5322 should be 5321\n"
               "✅ XPR 145 should be 145\n"
               "✅ MRT 1.93 should be 1.93\n"
               "✅ TCC 18.0 should be 18.0\n"
               "✅ KEXT 18.5 should be 18.5\n"},
    {.name = "older MRT installed, shown only in the report",
     .installed = {"5321", "145", "1.92", "18.0", "18.5"},
     .report = "✅ XProtect 5321 should be 5321\n"
               "✅ XPR 145 should be 145\n"
               "❌ MRT 1.92 should be 1.93\n"
               "✅ TCC 18.0 should be 18.0\n"
               "✅ KEXT 18.5 should be 18.5\n"},
    // Nothing published to judge by: the installed version is shown, without a mark or a line.
    {.name = "empty reference values",
     .listChanges = {{"MRT", str("")}, {"XPremed", str("")}},
     .xpr = "XPR 145",
     .report = "✅ XProtect 5321 should be 5321\n"
               "✅ TCC 18.0 should be 18.0\n"
               "✅ KEXT 18.5 should be 18.5\n"},
    {.name = "missing and mistyped reference values read as empty",
     .listChanges = {{"XProtect15", ""}, {"TCC18", "<integer>18</integer>"}, {"KEXT18", "<array/>"}},
     .xprotect = "XProtect 5321",
     .tcc = "TCC 18.0",
     .kext = "KEXT 18.5",
     .report = "✅ XPR 145 should be 145\n"
               "✅ MRT 1.93 should be 1.93\n"},
    {.name = "missing bundle",
     .installed = {nullptr, "145", "1.93", "18.0", "18.5"},
     .xprotect = "❌ XProtect Not found",
     .report = "❌ XProtect Not found should be 5321\n"
               "✅ XPR 145 should be 145\n"
               "✅ MRT 1.93 should be 1.93\n"
               "✅ TCC 18.0 should be 18.0\n"
               "✅ KEXT 18.5 should be 18.5\n"},
    {.name = "empty installed version",
     .installed = {"5321", "", "1.93", "18.0", "18.5"},
     .xpr = kInitialXpr,
     .report = "✅ XProtect 5321 should be 5321\n"
               "✅ MRT 1.93 should be 1.93\n"
               "✅ TCC 18.0 should be 18.0\n"
               "✅ KEXT 18.5 should be 18.5\n"},
    {.name = "recently updated items",
     .listChanges = {{"XProtect15", str("")}},
     .xprotIsUpd = true,
     .mrtIsUpd = true,
     .tccIsUpd = true,
     .xprotect = "XProtect 5321 👈",
     .tcc = "✅ TCC 18.0 👈",
     .report = "✅ XPR 145 should be 145\n"
               "✅ MRT 1.93 should be 1.93\n"
               "✅ TCC 18.0 should be 18.0\n"
               "✅ KEXT 18.5 should be 18.5\n"},
    {.name = "every mark at once",
     .xprotIsUpd = true,
     .xpremIsUpd = true,
     .tccIsUpd = true,
     .kextIsUpd = true,
     .xprotect = "✅ XProtect 5321 👈",
     .xpr = "✅ XPR 145 👈",
     .tcc = "✅ TCC 18.0 👈",
     .kext = "✅ KEXT 18.5 👈"},
    {.name = "TCC and KEXT of macOS 11",
     .installed = {"5321", "145", "1.93", "16.0", "18.5"},
     .osVersion = 16,
     .tcc = "✅ TCC 16.0",
     .kext = "❌ KEXT 18.5",
     .report = "✅ XProtect 5321 should be 5321\n"
               "✅ XPR 145 should be 145\n"
               "✅ MRT 1.93 should be 1.93\n"
               "✅ TCC 16.0 should be 16.0\n"
               "❌ KEXT 18.5 should be 16.5\n"},
    {.name = "two Studio Displays, one behind",
     .hasStudioDisplay = true,
     .displayVersions = {"17.0", "16.0"},
     .display = "❌ 17.0,16.0",
     .report = "✅ XProtect 5321 should be 5321\n"
               "✅ XPR 145 should be 145\n"
               "✅ MRT 1.93 should be 1.93\n"
               "✅ TCC 18.0 should be 18.0\n"
               "✅ KEXT 18.5 should be 18.5\n"
               "❌ Studio Display firmware 17.0,16.0 (build3A45) should be 17.0\n"},
    {.name = "a current Studio Display",
     .hasStudioDisplay = true,
     .displayVersions = {"17.0"},
     .display = "✅ 17.0",
     .report = "✅ XProtect 5321 should be 5321\n"
               "✅ XPR 145 should be 145\n"
               "✅ MRT 1.93 should be 1.93\n"
               "✅ TCC 18.0 should be 18.0\n"
               "✅ KEXT 18.5 should be 18.5\n"
               "✅ Studio Display firmware 17.0 (build3A45) should be 17.0\n"},
    {.name = "display versions known but no display connected", .displayVersions = {"16.0"}},
};

TEST_F(SecurityDataCheck, ComparesEachItemWithItsReference) {
    for (const ComparisonCase& c : kComparisonCases) {
        SCOPED_TRACE(c.name);
        h.make();
        h.view.report.clear();
        h.view.alerts.clear();
        std::map<QByteArray, QByteArray> list = fullList();
        for (const auto& [key, value] : c.listChanges) {
            if (value.isEmpty())
                list.erase(key);
            else
                list[key] = value;
        }
        serve(plistDocument(dictionary(list)));
        install(c.installed);
        ViewController& vc = *h.vc;
        vc.state.osVersion = c.osVersion;
        vc.state.xprotIsUpd = c.xprotIsUpd;
        vc.state.xpremIsUpd = c.xpremIsUpd;
        vc.state.mrtIsUpd = c.mrtIsUpd;
        vc.state.tccIsUpd = c.tccIsUpd;
        vc.state.kextIsUpd = c.kextIsUpd;
        vc.hardware.hasStudioDisplay = c.hasStudioDisplay;
        vc.hardware.theDisplayFirmwareVersions = c.displayVersions;
        vc.hardware.theDisplayFirmwareBuild = QStringLiteral("3A45)");

        check();

        EXPECT_EQ(field(Field::xprotVersionText), QString::fromUtf8(c.xprotect));
        EXPECT_EQ(field(Field::mrtVersionText), QString::fromUtf8(c.xpr));
        EXPECT_EQ(field(Field::kextVersionText), QString::fromUtf8(c.tcc));
        EXPECT_EQ(field(Field::gatekeepVersionText), QString::fromUtf8(c.kext));
        EXPECT_EQ(field(Field::dfirmwareStatusText), QString::fromUtf8(c.display));
        EXPECT_EQ(h.view.report, QString::fromUtf8(c.report));
        EXPECT_TRUE(h.view.alerts.isEmpty());
    }
}

TEST_F(SecurityDataCheck, ChoosesTheTccAndKextKeysByOsVersion) {
    const struct {
        int code;
        const char *tcc, *kext;
    } cases[] = {{15, "15.0", "15.5"}, {16, "16.0", "16.5"}, {17, "17.0", "17.5"},
                 {18, "18.0", "18.5"}, {19, "18.0", "18.5"}, {26, "18.0", "18.5"}};
    serve(plistDocument(dictionary(fullList())));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        h.make();
        install({"5321", "145", "1.93", c.tcc, c.kext});
        h.vc->state.osVersion = c.code;
        check();
        EXPECT_EQ(field(Field::kextVersionText), QStringLiteral("✅ TCC ") + QString::fromUtf8(c.tcc));
        EXPECT_EQ(field(Field::gatekeepVersionText), QStringLiteral("✅ KEXT ") + QString::fromUtf8(c.kext));
    }
}

TEST_F(SecurityDataCheck, AValueForTheMacsOwnReleaseComesFirst) {
    std::map<QByteArray, QByteArray> list = fullList();
    list["TCC20"] = str("20.6");
    list["KEXT20"] = str("");
    serve(plistDocument(dictionary(list)));
    install({"5321", "145", "1.93", "20.6", "18.5"});
    h.vc->state.osVersion = 20;
    check();
    EXPECT_EQ(field(Field::kextVersionText), QStringLiteral("✅ TCC 20.6"));
    // An empty value for the release falls back to the one shared since macOS 13.
    EXPECT_EQ(field(Field::gatekeepVersionText), QStringLiteral("✅ KEXT 18.5"));
}

TEST_F(SecurityDataCheck, FetchesTheSecurityDataListOfTheReferenceRepository) {
    serve(plistDocument(dictionary(fullList())));
    check();
    EXPECT_EQ(h.http.requested, QStringList{kListUrl});
}

TEST_F(SecurityDataCheck, LaterRunsReadTheVersionsThroughDefaults) {
    serve(plistDocument(dictionary(fullList())));
    // The files say something else: they must not be read on a later run.
    install({"1", "1", "1", "1", "1"});
    const QString defaults = QStringLiteral("/usr/bin/defaults");
    const QString key = QStringLiteral("CFBundleShortVersionString");
    const QStringList paths = bundles();
    h.tools.answer(defaults, {QStringLiteral("read"), paths[0] + QStringLiteral("/Contents/Info.plist"), key},
                   QStringLiteral("5321\n"));
    h.tools.answer(defaults, {QStringLiteral("read"), paths[1] + QStringLiteral("/Contents/Info.plist"), key},
                   QStringLiteral("  146 \n"));
    h.tools.answer(defaults, {QStringLiteral("read"), paths[2] + QStringLiteral("/Contents/Info.plist"), key},
                   QStringLiteral("1.93\n"), 1); // a failed run: its output does not count
    h.tools.answer(defaults, {QStringLiteral("read"), paths[3] + QStringLiteral("/Contents/Info.plist"), key},
                   ToolRun{0, QByteArray("18.\xff\n"), {}});
    // KEXT has no answer: the tool cannot be started (127).
    h.vc->state.firstRun = false;
    h.vc->state.osVersion = 19;

    check();

    const std::vector<test::FakeTools::Call> calls = h.tools.calls();
    ASSERT_EQ(calls.size(), 5u);
    for (std::size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].path, defaults);
        EXPECT_EQ(
            calls[i].args,
            (QStringList{QStringLiteral("read"),
                         paths[static_cast<qsizetype>(i)] + QStringLiteral("/Contents/Info.plist"), key}));
    }
    EXPECT_EQ(field(Field::xprotVersionText), QStringLiteral("✅ XProtect 5321"));
    EXPECT_EQ(field(Field::mrtVersionText), QStringLiteral("❌ XPR 146"));
    EXPECT_EQ(field(Field::kextVersionText), QStringLiteral("❌ TCC Not found"));
    EXPECT_EQ(field(Field::gatekeepVersionText), QStringLiteral("❌ KEXT Not found"));
    EXPECT_EQ(h.view.report.toStdString(), std::string("✅ XProtect 5321 should be 5321\n"
                                                       "❌ XPR 146 should be 145\n"
                                                       "❌ MRT Not found should be 1.93\n"
                                                       "❌ TCC Not found should be 18.0\n"
                                                       "❌ KEXT Not found should be 18.5\n"));
}

TEST_F(SecurityDataCheck, TheFirstRunReadsTheBundlesEvenWhenItsListArrivesLate) {
    // The window clears firstRun as soon as its first run returns, long before the list arrives.
    serve(plistDocument(dictionary(fullList())));
    install({"5321", "145", "1.93", "18.0", "18.5"});
    h.vc->checkSecurityDataVersions();
    h.vc->state.firstRun = false;
    ASSERT_TRUE(waitUntilIdle(*h.vc));
    EXPECT_EQ(h.tools.callCount(QStringLiteral("/usr/bin/defaults")), 0);
    EXPECT_EQ(field(Field::xprotVersionText), QStringLiteral("✅ XProtect 5321"));
}

TEST_F(SecurityDataCheck, InstalledBundleVersionReadsAsTheRunSays) {
    install({"5321", nullptr, "1.93", "18.0", "18.5"});
    h.files.files.insert(bundles()[2] + QStringLiteral("/Contents/Info.plist"),
                         plistDocument(dictionary({{"CFBundleVersion", str("1.93")}})));
    EXPECT_EQ(installedBundleVersion(h.vc->services, bundles()[0], h.vc->state.firstRun),
              QStringLiteral("5321"));
    EXPECT_EQ(installedBundleVersion(h.vc->services, bundles()[1], h.vc->state.firstRun),
              QStringLiteral("Not found"));
    EXPECT_EQ(installedBundleVersion(h.vc->services, bundles()[2], h.vc->state.firstRun),
              QStringLiteral("Not found"));
    EXPECT_EQ(h.tools.calls().size(), 0u);

    h.vc->state.firstRun = false;
    h.tools.answer(QStringLiteral("/usr/bin/defaults"),
                   {QStringLiteral("read"), bundles()[0] + QStringLiteral("/Contents/Info.plist"),
                    QStringLiteral("CFBundleShortVersionString")},
                   QStringLiteral("5400\n"));
    EXPECT_EQ(installedBundleVersion(h.vc->services, bundles()[0], h.vc->state.firstRun),
              QStringLiteral("5400"));
    EXPECT_EQ(h.tools.calls().size(), 1u);
}

// A list that cannot be read still ends the run: its alert, then the initial texts with their marks.
TEST_F(SecurityDataCheck, UnreadableListsPublishTheInitialTexts) {
    const struct {
        const char* name;
        QByteArray body;
    } cases[] = {
        {"top level is an array",
         plistDocument("<array><dict><key>XProtect15</key><string>5321</string></dict></array>")},
        {"not a property list", "<html><body>rate limited</body></html>"},
        {"empty body", QByteArray()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        h.make();
        h.view.report = QStringLiteral("before\n");
        h.view.alerts.clear();
        for (const Field f : {Field::xprotVersionText, Field::mrtVersionText, Field::kextVersionText,
                              Field::gatekeepVersionText, Field::dfirmwareStatusText})
            h.view.setFieldText(f, QStringLiteral("previous"));
        serve(c.body, QStringLiteral("text/plain"));
        install({"5321", "145", "1.93", "18.0", "18.5"});
        h.vc->hardware.hasStudioDisplay = true;
        h.vc->hardware.theDisplayFirmwareVersions = {QStringLiteral("17.0")};
        h.vc->state.kextIsUpd = true;

        check();

        EXPECT_EQ(h.view.alerts, QStringList{QStringLiteral("Error in update Property List.")});
        EXPECT_EQ(h.view.report, QStringLiteral("before\n"));
        EXPECT_EQ(field(Field::xprotVersionText), QString::fromUtf8(kInitialXProtect));
        EXPECT_EQ(field(Field::mrtVersionText), QString::fromUtf8(kInitialXpr));
        EXPECT_EQ(field(Field::kextVersionText), QString::fromUtf8(kInitialTcc));
        EXPECT_EQ(field(Field::gatekeepVersionText), QString::fromUtf8(kInitialKext) + QStringLiteral(" 👈"));
        EXPECT_EQ(field(Field::dfirmwareStatusText), QString::fromUtf8(kInitialDisplay));
    }
}

// A fetch that fails writes its line and leaves the fields as the previous run left them; another
// media type changes nothing at all.
TEST_F(SecurityDataCheck, FailedOrIgnoredFetchesKeepTheFields) {
    const struct {
        const char* name;
        HttpResponse response;
        const char* report;
    } cases[] = {
        {"no connection", HttpResponse{true, QStringLiteral("refused"), false, 0, {}, {}},
         "Got URLSession error.\n"},
        {"not found", HttpResponse{false, {}, true, 404, QStringLiteral("text/plain"), "missing"},
         "Got httpResponse error.\n"},
        {"not HTTP",
         HttpResponse{false, {}, false, 0, QStringLiteral("text/xml"), plistDocument(dictionary(fullList()))},
         "Got httpResponse error.\n"},
        {"an HTML page", HttpResponse{false, {}, true, 200, QStringLiteral("text/html"), "<html></html>"},
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        h.make();
        h.view.report.clear();
        for (const Field f : {Field::xprotVersionText, Field::mrtVersionText, Field::kextVersionText,
                              Field::gatekeepVersionText, Field::dfirmwareStatusText})
            h.view.setFieldText(f, QStringLiteral("previous"));
        h.http.responses.insert(kListUrl, c.response);
        install({"5321", "145", "1.93", "18.0", "18.5"});

        check();

        EXPECT_EQ(h.view.report, QString::fromUtf8(c.report));
        EXPECT_TRUE(h.view.alerts.isEmpty());
        for (const Field f : {Field::xprotVersionText, Field::mrtVersionText, Field::kextVersionText,
                              Field::gatekeepVersionText, Field::dfirmwareStatusText})
            EXPECT_EQ(field(f), QStringLiteral("previous"));
    }
}

} // namespace
} // namespace lq
