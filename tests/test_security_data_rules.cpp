// The pure rules of the security data comparison: keys by OS version, one item's verdict, the Studio
// Display verdict and reading an installed version from what the system gave back.
#include "securitydata/SecurityDataRules.h"

#include <gtest/gtest.h>

namespace lq {
namespace {

TEST(SecurityDataKeys, FollowTheOsVersionCode) {
    struct Case {
        int code;
        QStringList tcc;
        QStringList kext;
    };
    const Case cases[] = {
        {14, {"TCC15"}, {"KEXT15"}},
        {15, {"TCC15"}, {"KEXT15"}},
        {16, {"TCC16"}, {"KEXT16"}},
        {17, {"TCC17"}, {"KEXT17"}},
        {18, {"TCC18"}, {"KEXT18"}},
        // A value for the release itself first, then the one every release from macOS 13 on shares.
        {19, {"TCC19", "TCC18"}, {"KEXT19", "KEXT18"}},
        {20, {"TCC20", "TCC18"}, {"KEXT20", "KEXT18"}},
        {31, {"TCC31", "TCC18"}, {"KEXT31", "KEXT18"}},
    };
    for (const Case& c : cases) {
        const OsDependentKeys keys = securityDataKeysFor(c.code);
        EXPECT_EQ(keys.tcc, c.tcc) << c.code;
        EXPECT_EQ(keys.kext, c.kext) << c.code;
    }
}

TEST(SecurityItemVerdict, IsExactStringEquality) {
    struct Case {
        const char* installed;
        const char* reference;
        std::optional<const char*> status; // nothing: no verdict
        const char* line;
    };
    const Case cases[] = {
        {"5321", "5321", "✅ XProtect 5321", "✅ XProtect 5321 should be 5321\n"},
        // A newer installed version is still not the published one.
        {"5322", "5321", "❌ XProtect 5322", "❌ XProtect 5322 should be 5321\n"},
        {"5320", "5321", "❌ XProtect 5320", "❌ XProtect 5320 should be 5321\n"},
        // No trimming, no case folding, no numeric reading.
        {"5321 ", "5321", "❌ XProtect 5321 ", "❌ XProtect 5321  should be 5321\n"},
        {"2.0", "2.00", "❌ XProtect 2.0", "❌ XProtect 2.0 should be 2.00\n"},
        {"1.0a", "1.0A", "❌ XProtect 1.0a", "❌ XProtect 1.0a should be 1.0A\n"},
        {"Not found", "5321", "❌ XProtect Not found", "❌ XProtect Not found should be 5321\n"},
        // Nothing published: the installed version is shown as it is, with no mark and no line.
        {"5321", "", "XProtect 5321", ""},
        {"Not found", "", std::nullopt, ""},
        {"", "5321", std::nullopt, ""},
        {"", "", std::nullopt, ""},
    };
    for (const Case& c : cases) {
        const auto verdict = compareSecurityItem(QStringLiteral("XProtect"), QString::fromUtf8(c.installed),
                                                 QString::fromUtf8(c.reference));
        ASSERT_EQ(verdict.has_value(), c.status.has_value()) << c.installed << " / " << c.reference;
        if (!verdict)
            continue;
        EXPECT_EQ(verdict->statusText, QString::fromUtf8(*c.status));
        EXPECT_EQ(verdict->reportLine, QString::fromUtf8(c.line));
    }
}

TEST(DisplayFirmwareVerdict, NeedsEveryDisplayCurrent) {
    struct Case {
        QStringList versions;
        const char* build;
        const char* reference;
        const char* status;
        const char* line;
    };
    const Case cases[] = {
        {{"17.0"}, "3A45)", "17.0", "✅ 17.0", "✅ Studio Display firmware 17.0 (build3A45) should be 17.0\n"},
        {{"17.0", "16.0"},
         "3A45)",
         "17.0",
         "❌ 17.0,16.0",
         "❌ Studio Display firmware 17.0,16.0 (build3A45) should be 17.0\n"},
        {{"17.0", "17.0"},
         "unknown)",
         "17.0",
         "✅ 17.0,17.0",
         "✅ Studio Display firmware 17.0,17.0 (buildunknown) should be 17.0\n"},
        // No display line was read: nothing disagrees with the reference.
        {{}, "unknown)", "17.0", "✅ ", "✅ Studio Display firmware  (buildunknown) should be 17.0\n"},
        // There is no test for an empty reference here: a display never matches it.
        {{"17.0"}, "unknown)", "", "❌ 17.0", "❌ Studio Display firmware 17.0 (buildunknown) should be \n"},
    };
    for (const Case& c : cases) {
        const ItemVerdict verdict =
            compareDisplayFirmware(c.versions, QString::fromUtf8(c.build), QString::fromUtf8(c.reference));
        EXPECT_EQ(verdict.statusText, QString::fromUtf8(c.status))
            << c.versions.join(QLatin1Char(',')).toStdString();
        EXPECT_EQ(verdict.reportLine, QString::fromUtf8(c.line))
            << c.versions.join(QLatin1Char(',')).toStdString();
    }
}

TEST(RecentMark, FollowsTheStatusText) {
    EXPECT_EQ(withRecentMark(QStringLiteral("✅ TCC 2.0"), true), QStringLiteral("✅ TCC 2.0 👈"));
    EXPECT_EQ(withRecentMark(QStringLiteral("✅ TCC 2.0"), false), QStringLiteral("✅ TCC 2.0"));
}

QByteArray infoPlist(const QByteArray& entries) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>" + entries +
           "</dict></plist>\n";
}

TEST(InstalledVersionFromInfoPlist, TakesTheShortVersionStringAsItStands) {
    struct Case {
        const char* name;
        std::optional<QByteArray> bytes;
        QString version;
    };
    const Case cases[] = {
        {"plain", infoPlist("<key>CFBundleShortVersionString</key><string>5321</string>"), "5321"},
        {"blanks kept", infoPlist("<key>CFBundleShortVersionString</key><string> 5321\n</string>"),
         " 5321\n"},
        {"empty value", infoPlist("<key>CFBundleShortVersionString</key><string></string>"), ""},
        {"no such file", std::nullopt, "Not found"},
        {"key missing", infoPlist("<key>CFBundleVersion</key><string>5321</string>"), "Not found"},
        {"not a string", infoPlist("<key>CFBundleShortVersionString</key><integer>5321</integer>"),
         "Not found"},
        {"empty dictionary", infoPlist(""), "Not found"},
        {"not a dictionary",
         "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>5321</string></array></plist>",
         "Not found"},
        {"not a property list", QByteArray("CFBundleShortVersionString = 5321"), "Not found"},
        {"empty file", QByteArray(), "Not found"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(versionFromInfoPlist(c.bytes), c.version) << c.name;
}

TEST(InstalledVersionFromDefaults, TrimsTheOutputOfASuccessfulRun) {
    struct Case {
        const char* name;
        int status;
        QByteArray output;
        QString version;
    };
    const Case cases[] = {
        {"line end", 0, "5321\n", "5321"},
        {"blanks and returns", 0, " \t2.0.1\r\n\n", "2.0.1"},
        {"inner blank kept", 0, "1.0 beta\n", "1.0 beta"},
        {"nothing printed", 0, "", ""},
        {"no such key", 1, "", "Not found"},
        {"output of a failed run", 1, "5321\n", "Not found"},
        {"killed", 137, "5321\n", "Not found"},
        {"not UTF-8", 0,
         "53\xff\xfe"
         "21\n",
         "Not found"},
        {"cut UTF-8 sequence", 0, "5321\xe2\x80", "Not found"},
        {"UTF-8 kept", 0, "5321\xe2\x80\x94x\n", QStringLiteral("5321—x")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(versionFromDefaultsOutput(c.status, c.output), c.version) << c.name;
}

} // namespace
} // namespace lq
