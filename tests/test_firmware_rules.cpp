// The firmware comparisons: numbers by parts, the boundaries of both rules, and the texts of a
// comparison with a published list.
#include "firmware/FirmwareRules.h"

#include <gtest/gtest.h>

namespace lq {
namespace {

struct VersionCase {
    const char* installed;
    const char* expected;
    bool needsUpdate;
};

TEST(EfiNeedsUpdate, Table) {
    const VersionCase cases[] = {
        {"100.1.2.0.0", "100.1.2.0.0", false},
        {"100.1.2.0.0", "100.1.10.0.0", true}, // parts are numbers, not text
        {"100.1.10.0.0", "100.1.2.0.0", false},
        {"100.1.2", "100.1.2", true}, // a three-part tie counts as needing an update
        {"100.1.2.0", "100.1.2", true},
        {"100.1.2.1.0", "100.1.2.0.9", false}, // the fourth part decides a tie
        {"100.1.2.0.9", "100.1.2.1.0", true},
        {"100.1.2.0.5", "100.1.2.0.9", false}, // parts after the fourth never count
        {"1731.120.10.0.0 (iBridge: 19.16.16064.0.0,0)", "1731.120.10.0.0", false},
        {"1554.80.3.0.0 (iBridge: 18.16.14347.0.0,0)", "2094.80.5.0.0", true},
        {"2094.80.5.0.0", "1968.120.12.0.0", false},
        {" 2094.80.5.0.0", "2094.80.5.0.0", false}, // leading blanks are passed over
        {"+2094.80.5.0.0", "2094.80.5.0.0", false}, // and a sign is read
        {"-1.0.0.0", "0.0.0.0", true},
        {"Unknown", "2094.80.5.0.0", true},
        {"2094.80.5.0.0", "", true},
        {"99999999999999999999999.1.1.1", "99999999999999999999998.1.1.1", false}, // no overflow
        {"2094.80b.5.0.0", "2094.80.5.0.0", false}, // text behind the digits is ignored
        {"2094..80.5.0", "2094.80.5.0", false},     // empty parts are dropped
    };
    for (const VersionCase& c : cases)
        EXPECT_EQ(efiNeedsUpdate(QString::fromUtf8(c.installed), QString::fromUtf8(c.expected)),
                  c.needsUpdate)
            << c.installed << " vs " << c.expected;
}

TEST(IBootNeedsUpdate, Table) {
    const VersionCase cases[] = {
        {"100.2.3", "100.2.3", false},
        {"100.2.3", "100.10.3", true},
        {"100.2.3", "100.2.3.4", false}, // parts after the third never count
        {"13822.81.10", "18000.161.10", true},
        {"18000.161.10.702.1", "18000.161.10", false},
        {"18000.161.9", "18000.161.10", true},
        {"Unknown", "18000.161.10", true},
        {"11881.140.96", "0.0.0.0", false}, // an entry without a version compares with the start value
        {"100.2", "100.2", true},
        {"-5.0.0", "0.0.0", true},
    };
    for (const VersionCase& c : cases)
        EXPECT_EQ(iBootNeedsUpdate(QString::fromUtf8(c.installed), QString::fromUtf8(c.expected)),
                  c.needsUpdate)
            << c.installed << " vs " << c.expected;
}

TEST(ModelMatches, WholeIdentifiersOnly) {
    struct Case {
        const char* listed;
        QString mac;
        bool matches;
    };
    const Case cases[] = {
        {"MacBookPro16,2", QStringLiteral("MacBookPro16,2"), true},
        {"MacBookPro16,2", QStringLiteral("MacBookPro16,2") + QChar(0),
         true}, // trailing NUL from the registry
        {"MacBookPro6,1", QStringLiteral("MacBookPro16,1"), false},
        {"MacBookPro6,1", QStringLiteral("MacBookPro6,10"), false},
        {"Mac14,1", QStringLiteral("Mac14,10"), false},
        {"MacPro7,1", QStringLiteral("iMacPro7,1"), false},
        {"", QStringLiteral("Mac15,6"), false},
        {"other", QStringLiteral("Mac15,6"), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(modelMatches(QString::fromUtf8(c.listed), c.mac), c.matches) << c.listed;
}

TEST(OldStyleEfi, ThirdPartOnOrNoneFound) {
    EXPECT_EQ(oldStyleEfiValue(QStringLiteral("MBA71.88Z.0178.B00.1904120823")),
              QStringLiteral("0178.B00.1904120823"));
    EXPECT_EQ(oldStyleEfiValue(QStringLiteral("IM142.0118.B00")), QStringLiteral("(none found)"));
}

TEST(CompareEfiEntries, MatchingEntriesInOrder) {
    const QString rom = QStringLiteral("1554.80.3.0.0 (iBridge: 18.16.14347.0.0,0)");
    const std::vector<EfiListEntry> list = {
        {QStringLiteral("MacBookPro14,1"), std::nullopt, std::nullopt, QStringLiteral("529.140.2.0.0"),
         std::nullopt},
        {QStringLiteral("MacBookPro15,1"), std::nullopt, std::nullopt, QStringLiteral("2094.80.5.0.0"),
         QStringLiteral("23.16.10350.0.0")},
    };
    const FirmwareComparison one =
        compareEfiEntries(list, QStringLiteral("MacBookPro15,1"), rom, QStringLiteral("MacBookPro"));
    EXPECT_EQ(one.lines,
              QStringLiteral("Mac model MacBookPro15,1\nEFI version found ") + rom +
                  QStringLiteral(";\n             expected 2094.80.5.0.0  (iBridge 23.16.10350.0.0,0)"
                                 "\n❌ Need to update EFI firmware.\n"));
    EXPECT_EQ(one.status, QStringLiteral("❌ 1554.80.3.0.0 needs updating"));

    // A Mac Pro gets a warning where every other family gets a cross.
    const FirmwareComparison macPro = compareEfiEntries(
        {{QStringLiteral("MacPro7,1"), std::nullopt, std::nullopt, QStringLiteral("2094.80.5.0.0"),
          std::nullopt}},
        QStringLiteral("MacPro7,1"), QStringLiteral("1968.120.12.0.0"), QStringLiteral("MacPro"));
    EXPECT_TRUE(macPro.lines.endsWith(QStringLiteral("\n⚠️ Need to update EFI firmware.\n")));
    EXPECT_EQ(macPro.status, QStringLiteral("⚠️ 1968.120.12.0.0 needs updating"));
}

TEST(CompareEfiEntries, VersionFifteenWinsAndTwoEntriesWrap) {
    const std::vector<EfiListEntry> list = {
        {QStringLiteral("iMac19,1"), QStringLiteral("2094.80.5.0.0"), QStringLiteral("23.16.1.0.0"),
         QStringLiteral("1.0.0.0.0"), QStringLiteral("ignored")},
        {QStringLiteral("iMac19,1"), std::nullopt, std::nullopt, QStringLiteral("1.0.0.0.0"), std::nullopt},
        {QStringLiteral("iMac19,1"), std::nullopt, std::nullopt, std::nullopt,
         std::nullopt}, // names no version
    };
    const FirmwareComparison result = compareEfiEntries(
        list, QStringLiteral("iMac19,1"), QStringLiteral("2094.80.5.0.0"), QStringLiteral("iMac"));
    EXPECT_EQ(result.lines.count(QStringLiteral("Mac model iMac19,1\n")), 2);
    EXPECT_TRUE(result.lines.contains(QStringLiteral("expected 2094.80.5.0.0  (iBridge 23.16.1.0.0,0)\n✅")));
    EXPECT_FALSE(result.lines.contains(QStringLiteral("ignored")));
    // The second entry keeps the iBridge text of the first and wraps its status text.
    EXPECT_TRUE(result.lines.contains(QStringLiteral("expected 1.0.0.0.0  (iBridge 23.16.1.0.0,0)\n✅")));
    EXPECT_EQ(result.status, QStringLiteral("✅ ✅ 2094.80.5.0.0 is up to date is up to date"));
}

TEST(CompareEfiEntries, NoEntryForTheModelLeavesTheFirstWordUnmarked) {
    const FirmwareComparison result =
        compareEfiEntries({{QStringLiteral("MacBookPro6,1"), std::nullopt, std::nullopt,
                            QStringLiteral("58.0.0.0.0"), std::nullopt}},
                          QStringLiteral("MacBookPro16,1"), QStringLiteral("2094.80.5.0.0 (iBridge: x)"),
                          QStringLiteral("MacBookPro"));
    EXPECT_EQ(result.lines, QString());
    EXPECT_EQ(result.status, QStringLiteral("2094.80.5.0.0"));
}

TEST(CompareIBootEntries, OwnEntryThenOtherAsFallback) {
    const std::vector<IBootListEntry> withOwn = {{QStringLiteral("other"), QStringLiteral("18000.161.10")},
                                                 {QStringLiteral("Mac15,6"), QStringLiteral("13822.81.10")}};
    const FirmwareComparison own =
        compareIBootEntries(withOwn, QStringLiteral("Mac15,6"), QStringLiteral("13822.81.10"));
    EXPECT_EQ(own.lines,
              QStringLiteral("Mac model Mac15,6\niBoot version found 13822.81.10; expected 13822.81.10"
                             "\n🍏 iBoot firmware appears up to date.\n"));
    EXPECT_EQ(own.status, QStringLiteral("🍏 iBoot 13822.81.10 is up to date"));

    const std::vector<IBootListEntry> onlyOther = {{QStringLiteral("other"), QStringLiteral("18000.161.10")}};
    const FirmwareComparison other =
        compareIBootEntries(onlyOther, QStringLiteral("Mac15,6"), QStringLiteral("13822.81.10"));
    EXPECT_TRUE(
        other.lines.endsWith(QStringLiteral("expected 18000.161.10\n❌ Need to update iBoot firmware.\n")));
    EXPECT_EQ(other.status, QStringLiteral("❌ iBoot 13822.81.10 needs updating"));
}

TEST(CompareIBootEntries, EntryWithoutVersionAndNoEntryAtAll) {
    // An entry that names no version is no verdict, least of all "up to date" against a made-up
    // 0.0.0.0; the catch-all entry then speaks for the model.
    const FirmwareComparison noVersion =
        compareIBootEntries({{QStringLiteral("Mac15,6"), std::nullopt}}, QStringLiteral("Mac15,6"),
                            QStringLiteral("11881.140.96"));
    EXPECT_EQ(noVersion.lines, QString());
    EXPECT_EQ(noVersion.status, QStringLiteral("11881.140.96"));
    const FirmwareComparison toCatchAll =
        compareIBootEntries({{QStringLiteral("Mac15,6"), std::nullopt},
                             {QStringLiteral("other"), QStringLiteral("11881.140.96")}},
                            QStringLiteral("Mac15,6"), QStringLiteral("11881.140.96"));
    EXPECT_EQ(toCatchAll.status, QStringLiteral("🍏 iBoot 11881.140.96 is up to date"));
    EXPECT_EQ(toCatchAll.expected, QStringLiteral("11881.140.96"));
    const FirmwareComparison none =
        compareIBootEntries({{QStringLiteral("Mac14,2"), QStringLiteral("1.2.3")}}, QStringLiteral("Mac15,6"),
                            QStringLiteral("Unknown"));
    EXPECT_EQ(none.lines, QString());
    EXPECT_EQ(none.status, QStringLiteral("Unknown"));
    const FirmwareComparison unknown =
        compareIBootEntries({{QStringLiteral("other"), QStringLiteral("1.2.3")}}, QStringLiteral("Mac15,6"),
                            QStringLiteral("Unknown"));
    EXPECT_EQ(unknown.status, QStringLiteral("❌ iBoot Unknown needs updating"));
}

} // namespace
} // namespace lq
