// The install history: strict decoding of both file formats, the latest installation per kind, the
// one-day flags and what the listing writes or shows.
#include "support/Harness.h"
#include "support/PlistFixtures.h"
#include "updates/Receipts.h"

#include <QFile>
#include <QTimeZone>

#include <plist/plist.h>

#include <gtest/gtest.h>

namespace lq::test {
namespace {

const QString kReceiptsPath = QStringLiteral("/Library/Receipts/InstallHistory.plist");
const QDateTime kRunDate(QDate(2025, 3, 2), QTime(9, 30, 0), Qt::UTC);

QByteArray plistXml(const QByteArray& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST "
           "1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist version=\"1.0\">\n" +
           body + "\n</plist>\n";
}

// One complete entry, with an extra key as the system writes them.
QByteArray entry(const char* isoDate, const char* name, const char* version) {
    return QByteArray("<dict><key>date</key><date>") + isoDate + "</date><key>displayName</key><string>" +
           name + "</string><key>displayVersion</key><string>" + version +
           "</string><key>processName</key><string>softwareupdated</string></dict>\n";
}

QByteArray history(std::initializer_list<QByteArray> entries) {
    QByteArray body = "<array>\n";
    for (const QByteArray& e : entries)
        body += e;
    return plistXml(body + "</array>");
}

ReceiptNames defaultNames() {
    return {QStringLiteral("MRTConfigData"), QStringLiteral("XProtectPlistConfigData"),
            QStringLiteral("XProtectPayloads"),
            QStringLiteral("Incompatible Kernel Extension Configuration Data"),
            QStringLiteral("TCC Configuration Data")};
}

QDateTime at(const char* iso) {
    return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate);
}

TEST(ReceiptsDecode, XmlAndBinaryGiveTheSameEntriesInFileOrder) {
    const QByteArray xml = history({entry("2024-11-05T10:00:00Z", "XProtectPayloads", "145"),
                                    entry("2023-01-31T23:59:59Z", "macOS Sonoma 14.1", "14.1")});
    for (const QByteArray& bytes : {xml, toBinary(xml)}) {
        const ReceiptsDecode decoded = decodeReceipts(bytes);
        ASSERT_TRUE(std::holds_alternative<std::vector<theReceipts>>(decoded))
            << std::get<QString>(decoded).toStdString();
        const auto& receipts = std::get<std::vector<theReceipts>>(decoded);
        ASSERT_EQ(receipts.size(), 2u);
        EXPECT_EQ(receipts[0].date, at("2024-11-05T10:00:00Z"));
        EXPECT_EQ(receipts[0].displayName, QStringLiteral("XProtectPayloads"));
        EXPECT_EQ(receipts[0].displayVersion, QStringLiteral("145"));
        EXPECT_EQ(receipts[1].date, at("2023-01-31T23:59:59Z"));
        EXPECT_EQ(receipts[1].displayVersion, QStringLiteral("14.1"));
    }
}

TEST(ReceiptsDecode, OneBadEntryFailsTheFileAndIsNamed) {
    const QByteArray good = entry("2024-11-05T10:00:00Z", "XProtectPayloads", "145");
    struct Case {
        const char* name;
        QByteArray bytes;
        QString error;
    };
    const Case cases[] = {
        {"not a property list", "hello",
         QStringLiteral("The data couldn’t be read because it isn’t in the correct format.")},
        {"empty file", QByteArray(),
         QStringLiteral("The data couldn’t be read because it isn’t in the correct format.")},
        {"top level a dictionary", plistXml("<dict/>"),
         QStringLiteral(
             "The data couldn’t be read because the install history is a dictionary, not a list of "
             "entries.")},
        {"an entry that is a string", history({good, "<string>x</string>"}),
         QStringLiteral(
             "The data couldn’t be read because the entry at index 1 is a string, not a dictionary.")},
        {"no date",
         history({"<dict><key>displayName</key><string>a</string><key>displayVersion</key>"
                  "<string>1</string></dict>"}),
         QStringLiteral("The data couldn’t be read because the entry at index 0 has no value for “date”.")},
        {"a date written as a string",
         history({"<dict><key>date</key><string>2024-11-05</string><key>displayName</key><string>a</string>"
                  "<key>displayVersion</key><string>1</string></dict>"}),
         QStringLiteral(
             "The data couldn’t be read because the entry at index 0 has a string for “date” where a "
             "date belongs.")},
        {"a name that is a number",
         history({good, "<dict><key>date</key><date>2024-11-05T10:00:00Z</date><key>displayName</key>"
                        "<integer>7</integer><key>displayVersion</key><string>1</string></dict>"}),
         QStringLiteral(
             "The data couldn’t be read because the entry at index 1 has a number for “displayName” "
             "where a string belongs.")},
        {"no displayVersion in the third entry",
         history({good, good,
                  "<dict><key>date</key><date>2024-11-05T10:00:00Z</date><key>displayName</key>"
                  "<string>XProtectPayloads</string></dict>",
                  good}),
         QStringLiteral(
             "The data couldn’t be read because the entry at index 2 has no value for “displayVersion”.")},
    };
    for (const Case& c : cases) {
        for (const bool binary : {false, true}) {
            if (binary && !c.bytes.startsWith("<?xml"))
                continue;
            const ReceiptsDecode decoded = decodeReceipts(binary ? toBinary(c.bytes) : c.bytes);
            ASSERT_TRUE(std::holds_alternative<QString>(decoded)) << c.name << (binary ? " (binary)" : "");
            EXPECT_EQ(std::get<QString>(decoded), c.error) << c.name << (binary ? " (binary)" : "");
        }
    }
}

TEST(ReceiptKinds, NamesAreMatchedExactlyExceptTCC) {
    struct Case {
        const char* displayName;
        std::optional<ReceiptKind> kind;
    };
    const Case cases[] = {
        {"MRTConfigData", ReceiptKind::MalwareRemoval},
        {"XProtectPlistConfigData", ReceiptKind::XProtectData},
        {"XProtectPayloads", ReceiptKind::XProtectRemediator},
        {"Incompatible Kernel Extension Configuration Data", ReceiptKind::KextExcludeList},
        {"TCC Configuration Data", ReceiptKind::Tcc},
        {"Apple TCC Configuration Data 2", ReceiptKind::Tcc},
        {"XProtectPayloads 2", std::nullopt},
        {" XProtectPayloads", std::nullopt},
        {"xprotectpayloads", std::nullopt},
        {"TCC configuration data", std::nullopt},
        {"MRTConfigData TCC Configuration Data", ReceiptKind::Tcc},
        {"macOS Sonoma 14.1", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(receiptKind(QString::fromUtf8(c.displayName), defaultNames()), c.kind) << c.displayName;
}

TEST(ReceiptKinds, TheExactNamesAreTriedBeforeTheTCCSearch) {
    // Names chosen so that every exact name also holds the TCC text: each must still find its own kind.
    const ReceiptNames names{QStringLiteral("M data"), QStringLiteral("X data"), QStringLiteral("R data"),
                             QStringLiteral("K data"), QStringLiteral("data")};
    EXPECT_EQ(receiptKind(QStringLiteral("M data"), names), ReceiptKind::MalwareRemoval);
    EXPECT_EQ(receiptKind(QStringLiteral("X data"), names), ReceiptKind::XProtectData);
    EXPECT_EQ(receiptKind(QStringLiteral("R data"), names), ReceiptKind::XProtectRemediator);
    EXPECT_EQ(receiptKind(QStringLiteral("K data"), names), ReceiptKind::KextExcludeList);
    EXPECT_EQ(receiptKind(QStringLiteral("Z data"), names), ReceiptKind::Tcc);
}

TEST(LatestInstalls, TheLatestDateWinsAndTheFirstOfEqualDates) {
    auto receipt = [](const char* iso, const char* name, const char* version) {
        return theReceipts{at(iso), QString::fromLatin1(name), QString::fromLatin1(version)};
    };
    const std::vector<theReceipts> receipts = {
        receipt("2024-01-01T00:00:00Z", "XProtectPayloads", "140"),
        receipt("2024-06-01T00:00:00Z", "XProtectPayloads", "145-first"),
        receipt("2024-06-01T00:00:00Z", "XProtectPayloads", "145-second"),
        receipt("2024-03-01T00:00:00Z", "XProtectPayloads", "142-older-after-newer"),
        receipt("2024-02-01T00:00:00Z", "MRTConfigData", "1.93"),
        receipt("2025-01-01T00:00:00Z", "macOS Sequoia 15.2", "15.2"),
    };
    const LatestInstalls latest = latestInstalls(receipts, defaultNames());
    const auto& xpr = latest[static_cast<std::size_t>(ReceiptKind::XProtectRemediator)];
    ASSERT_TRUE(xpr.has_value());
    EXPECT_EQ(xpr->version, QStringLiteral("145-first"));
    EXPECT_EQ(xpr->date, at("2024-06-01T00:00:00Z"));
    const auto& mrt = latest[static_cast<std::size_t>(ReceiptKind::MalwareRemoval)];
    ASSERT_TRUE(mrt.has_value());
    EXPECT_EQ(mrt->version, QStringLiteral("1.93"));
    EXPECT_FALSE(latest[static_cast<std::size_t>(ReceiptKind::XProtectData)].has_value());
    EXPECT_FALSE(latest[static_cast<std::size_t>(ReceiptKind::Tcc)].has_value());
    EXPECT_FALSE(latest[static_cast<std::size_t>(ReceiptKind::KextExcludeList)].has_value());
}

TEST(InstallHistoryLines, OneDayBeforeTheRunIsNoLongerRecent) {
    struct Case {
        const char* name;
        qint64 secondsBeforeRun;
        bool recent;
    };
    const Case cases[] = {
        {"exactly one day", 86400, false},      {"one second less", 86399, true},
        {"one second more", 86401, false},      {"at the run", 0, true},
        {"an hour after the run", -3600, true},
    };
    for (const Case& c : cases) {
        LatestInstalls latest;
        latest[static_cast<std::size_t>(ReceiptKind::Tcc)] =
            LatestInstall{kRunDate.addSecs(-c.secondsBeforeRun), QStringLiteral("19.1")};
        const InstallHistoryLines lines = installHistoryLines(latest, kRunDate);
        for (std::size_t kind = 0; kind < kReceiptKindCount; ++kind)
            EXPECT_EQ(lines.recent[kind], kind == static_cast<std::size_t>(ReceiptKind::Tcc) && c.recent)
                << c.name;
    }
    // A millisecond inside the day still counts.
    LatestInstalls latest;
    latest[0] = LatestInstall{kRunDate.addMSecs(-86399999), QStringLiteral("1")};
    EXPECT_TRUE(installHistoryLines(latest, kRunDate).recent[0]);
    // Without a run date nothing is recent.
    latest[0] = LatestInstall{kRunDate, QStringLiteral("1")};
    EXPECT_FALSE(installHistoryLines(latest, std::nullopt).recent[0]);
}

TEST(InstallHistoryLines, EveryKindInTableOrderWithItsLabel) {
    LatestInstalls latest;
    // Filled in the reverse order, so the text order must come from the labels, not from filling.
    latest[static_cast<std::size_t>(ReceiptKind::KextExcludeList)] =
        LatestInstall{at("2024-10-01T08:00:00Z"), QStringLiteral("20.0.0")};
    latest[static_cast<std::size_t>(ReceiptKind::Tcc)] =
        LatestInstall{at("2024-09-02T07:06:05Z"), QStringLiteral("19.1")};
    latest[static_cast<std::size_t>(ReceiptKind::MalwareRemoval)] =
        LatestInstall{at("2022-04-19T12:00:00Z"), QStringLiteral("1.93")};
    latest[static_cast<std::size_t>(ReceiptKind::XProtectRemediator)] =
        LatestInstall{at("2025-03-01T09:30:01Z"), QStringLiteral("145")};
    latest[static_cast<std::size_t>(ReceiptKind::XProtectData)] =
        LatestInstall{at("2025-02-27T00:00:00Z"), QStringLiteral("5287")};
    const InstallHistoryLines lines = installHistoryLines(latest, kRunDate);
    EXPECT_EQ(lines.text, QStringLiteral("\tXProtectPlistConfigData 2025-02-27 00:00:00 +0000 : 5287\n"
                                         "\tXProtectPayloads 2025-03-01 09:30:01 +0000 : 145\n"
                                         "\tMRTConfigData 2022-04-19 12:00:00 +0000 : 1.93\n"
                                         "\tTCC 2024-09-02 07:06:05 +0000 : 19.1\n"
                                         "\tKEXT block 2024-10-01 08:00:00 +0000 : 20.0.0\n"));
    EXPECT_EQ(lines.recent, (std::array<bool, kReceiptKindCount>{false, true, false, false, false}));
}

struct Flags {
    bool xprot, xprem, mrt, tcc, kext;
    bool operator==(const Flags&) const = default;
};
Flags flagsOf(const ViewController& vc) {
    return {vc.state.xprotIsUpd, vc.state.xpremIsUpd, vc.state.mrtIsUpd, vc.state.tccIsUpd,
            vc.state.kextIsUpd};
}
std::ostream& operator<<(std::ostream& out, const Flags& f) {
    return out << f.xprot << f.xprem << f.mrt << f.tcc << f.kext;
}

class InstallHistory : public testing::Test {
protected:
    void list(const QByteArray& bytes) {
        h.files.files.insert(kReceiptsPath, bytes);
        h.vc->state.runDate = kRunDate;
        h.vc->listInstallHistory();
        ASSERT_TRUE(waitUntilIdle(*h.vc));
    }
    Harness h;
};

TEST_F(InstallHistory, HeadingThenOneAppendOfTheLines) {
    const QByteArray xml = history({
        entry("2025-03-01T10:00:00Z", "XProtectPlistConfigData", "5287"),
        entry("2024-12-24T18:00:00Z", "Apple TCC Configuration Data for macOS", "19.1"),
        entry("2025-03-02T09:00:00Z", "macOS Sequoia 15.3.1", "15.3.1"),
        entry("2025-03-02T09:29:00Z", "XProtectPayloads 2", "146"),
    });
    for (const QByteArray& bytes : {xml, toBinary(xml)}) {
        h.view.report.clear();
        h.view.reportSizes.clear();
        list(bytes);
        EXPECT_EQ(h.view.report, QStringLiteral("Latest updates installed:\n"
                                                "\tXProtectPlistConfigData 2025-03-01 10:00:00 +0000 : 5287\n"
                                                "\tTCC 2024-12-24 18:00:00 +0000 : 19.1\n"));
        EXPECT_EQ(h.view.reportSizes.size(), 2u); // the heading, then every line at once
        EXPECT_TRUE(h.view.alerts.isEmpty());
        EXPECT_EQ(flagsOf(*h.vc), (Flags{true, false, false, false, false}));
    }
}

TEST_F(InstallHistory, AnEmptyHistoryWritesNothing) {
    list(plistXml("<array/>"));
    EXPECT_EQ(h.view.report, QString());
    EXPECT_TRUE(h.view.reportSizes.empty());
    EXPECT_TRUE(h.view.alerts.isEmpty());
}

TEST_F(InstallHistory, NoKnownNameWritesTheHeadingAlone) {
    list(history({entry("2025-03-01T10:00:00Z", "macOS Sequoia 15.3.1", "15.3.1")}));
    EXPECT_EQ(h.view.report, QStringLiteral("Latest updates installed:\n"));
    EXPECT_TRUE(h.view.alerts.isEmpty());
}

TEST_F(InstallHistory, FailuresAlertAndWriteNothing) {
    struct Case {
        const char* name;
        std::optional<QByteArray> file;
        QString alert;
    };
    const Case cases[] = {
        {"no file", std::nullopt,
         QStringLiteral(
             "The file “/Library/Receipts/InstallHistory.plist” couldn’t be opened because there is no "
             "such file.")},
        {"an entry without displayVersion",
         history({entry("2025-03-02T09:00:00Z", "XProtectPayloads", "146"),
                  "<dict><key>date</key><date>2025-03-02T09:00:00Z</date><key>displayName</key>"
                  "<string>MRTConfigData</string></dict>"}),
         QStringLiteral(
             "The data couldn’t be read because the entry at index 1 has no value for “displayVersion”.")},
        {"not a property list", QByteArray("{\"date\": 1}"),
         QStringLiteral("The data couldn’t be read because it isn’t in the correct format.")},
    };
    for (const Case& c : cases) {
        Harness fresh;
        if (c.file)
            fresh.files.files.insert(kReceiptsPath, *c.file);
        fresh.vc->state.runDate = kRunDate;
        fresh.vc->listInstallHistory();
        ASSERT_TRUE(waitUntilIdle(*fresh.vc));
        EXPECT_EQ(fresh.view.alerts, QStringList{c.alert}) << c.name;
        EXPECT_EQ(fresh.view.report, QString()) << c.name;
        EXPECT_EQ(flagsOf(*fresh.vc), (Flags{false, false, false, false, false})) << c.name;
    }
}

TEST_F(InstallHistory, FlagsAreRaisedNeverLoweredAndListingTwiceWritesTwice) {
    const QByteArray bytes = history({entry("2020-01-01T00:00:00Z", "XProtectPlistConfigData", "2100"),
                                      entry("2025-03-02T00:00:00Z", "MRTConfigData", "1.93"),
                                      entry("2025-03-01T09:30:00Z", "XProtectPayloads", "146")});
    h.vc->state.xprotIsUpd = true; // left by an earlier listing of the same run
    list(bytes);
    EXPECT_EQ(flagsOf(*h.vc), (Flags{true, false, true, false, false}));
    const QString once = h.view.report;
    list(bytes);
    EXPECT_EQ(h.view.report, once + once);
    EXPECT_EQ(flagsOf(*h.vc), (Flags{true, false, true, false, false}));
}

TEST_F(InstallHistory, WithoutARunDateNoFlagIsRaised) {
    h.files.files.insert(kReceiptsPath, history({entry("2025-03-02T09:00:00Z", "MRTConfigData", "1.93")}));
    h.vc->listInstallHistory();
    ASSERT_TRUE(waitUntilIdle(*h.vc));
    EXPECT_EQ(
        h.view.report,
        QStringLiteral("Latest updates installed:\n\tMRTConfigData 2025-03-02 09:00:00 +0000 : 1.93\n"));
    EXPECT_FALSE(h.vc->state.mrtIsUpd);
}

TEST_F(InstallHistory, ARealHistoryOfOSX109) {
    QFile file(QStringLiteral(LQ_SOURCE_DIR "/tests/fixtures/updates/InstallHistory-osx10.9.plist"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    list(file.readAll());
    EXPECT_TRUE(h.view.alerts.isEmpty()) << h.view.alerts.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(h.view.report, QStringLiteral("Latest updates installed:\n"
                                            "\tXProtectPlistConfigData 2013-12-28 12:14:43 +0000 : 1.0\n"
                                            "\tKEXT block 2013-12-28 12:14:43 +0000 : 1.18.2\n"));
    EXPECT_EQ(flagsOf(*h.vc), (Flags{false, false, false, false, false}));
}

} // namespace
} // namespace lq::test
