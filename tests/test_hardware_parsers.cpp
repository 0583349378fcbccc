// The pure hardware readings: model families, the firmware lines of system_profiler's reports and the
// Apple-silicon test of the chip report.
#include "firmware/HardwareParsers.h"

#include <QFile>

#include <gtest/gtest.h>

namespace lq {
namespace {

QString fixture(const char* name) {
    QFile file(QStringLiteral(LQ_SOURCE_DIR "/tests/fixtures/hardware/") + QString::fromUtf8(name));
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "missing fixture " << name;
        return QString();
    }
    return QString::fromUtf8(file.readAll());
}

TEST(ClassifyModel, FindsTheFirstFamilyAndCutsItsLengthFromTheFront) {
    struct Case {
        const char* model;
        const char* family;
        const char* number;
        bool identified;
    };
    const Case cases[] = {
        // The seven families in the order they are tested.
        {"iMacPro1,1", "iMacPro", "1,1", true},
        {"iMac20,1", "iMac", "20,1", true},
        {"MacBookPro16,2", "MacBookPro", "16,2", true},
        {"MacBookAir8,1", "MacBookAir", "8,1", true},
        {"MacBook10,1", "MacBook", "10,1", true},
        {"MacPro7,1", "MacPro", "7,1", true},
        {"Macmini8,1", "Macmini", "8,1", true},
        // Apple-silicon identifiers name no family.
        {"Mac14,2", "unidentified", "0,0", false},
        {"", "unidentified", "0,0", false},
        // An identifier no longer than its family name leaves no number.
        {"MacPro", "MacPro", "", true},
        // The name is found anywhere, but the cut is still taken from the front.
        {"XiMacPro1,1", "iMacPro", "o1,1", true},
    };
    for (const Case& c : cases) {
        const ModelClass got = classifyModel(QString::fromUtf8(c.model));
        EXPECT_EQ(got.family, QString::fromUtf8(c.family)) << c.model;
        EXPECT_EQ(got.number, QString::fromUtf8(c.number)) << c.model;
        EXPECT_EQ(got.identified, c.identified) << c.model;
    }
}

TEST(SystemFirmwareVersion, TakesTheLastLabelledLineFromColumn32) {
    struct Case {
        const char* name;
        QString report;
        QString version;
    };
    const Case cases[] = {
        {"Apple-silicon report", fixture("sphardware-applesilicon.txt"), QStringLiteral("8422.121.1")},
        {"T2 report keeps the iBridge part", fixture("sphardware-intel-t2.txt"),
         QStringLiteral("1554.80.3.0.0 (iBridge: 18.16.14347.0.0,0)")},
        {"empty report", QString(), QStringLiteral("Unknown")},
        {"failure text", QStringLiteral(" error 1"), QStringLiteral("Unknown")},
        {"two lines, one labelled", QStringLiteral("Hardware:\n      System Firmware Version: 1.0\n"),
         QStringLiteral("Unknown")},
        {"empty lines do not count", QStringLiteral("Hardware:\n\n\n      System Firmware Version: 1.0\n\n"),
         QStringLiteral("Unknown")},
        {"three lines, none labelled", QStringLiteral("a\nb\nc\n"), QStringLiteral("Unknown")},
        {"the later labelled line wins",
         QStringLiteral(
             "Hardware:\n      System Firmware Version: 1.0\n      System Firmware Version: 2.0\n"),
         QStringLiteral("2.0")},
        {"a labelled line of 31 characters gives nothing",
         QStringLiteral("Hardware:\nOverview:\n      System Firmware Version: "), QString()},
        {"a short labelled line after a good one gives nothing",
         QStringLiteral("Hardware:\n      System Firmware Version: 1.0\nSystem Firmware Version\n"),
         QString()},
        {"the column counts the indentation, not the label",
         QStringLiteral("Hardware:\nOverview:\n  System Firmware Version: 18000.120.36\n"),
         QStringLiteral("0.120.36")},
        {"a character of two code units counts once",
         QStringLiteral("Hardware:\nOverview:\n🍏     System Firmware Version: 9.9\n"), QStringLiteral("9.9")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parseSystemFirmwareVersion(c.report), c.version) << c.name;
}

TEST(DisplayFirmwareLines, ReadsVersionsInOrderAndTheLastBuild) {
    struct Case {
        const char* name;
        QString report;
        QStringList versions;
        std::optional<QString> build;
    };
    const QString worked = QStringLiteral("    Display Firmware Version: Version 1.2 (Build 3A45)\n");
    const Case cases[] = {
        {"worked example",
         QStringLiteral("Displays:\n  Studio Display:\n") + worked,
         {QStringLiteral("1.2")},
         QStringLiteral("3A45)")},
        {"real report",
         fixture("spdisplays-studio-display.txt"),
         {QStringLiteral("17.0")},
         QStringLiteral("21A329)")},
        {"two lines; the build comes from the later",
         QStringLiteral("Displays:\n") + worked +
             QStringLiteral("    Display Firmware Version: Version 1.2 (Build 3A46)\n"),
         {QStringLiteral("1.2"), QStringLiteral("1.2")},
         QStringLiteral("3A46)")},
        {"a later one-word line keeps the build",
         QStringLiteral("Displays:\n") + worked + QStringLiteral("  Display Firmware Version: Version 1.3\n"),
         {QStringLiteral("1.2"), QStringLiteral("1.3")},
         QStringLiteral("3A45)")},
        {"two words add a version but no build",
         QStringLiteral("a\nb\nDisplay Firmware Version: Version 1.4 (Build\n"),
         {QStringLiteral("1.4")},
         {}},
        {"35 characters after trimming are ignored",
         QStringLiteral("a\nb\n   Display Firmware Version: Version 1   \n"),
         {},
         {}},
        {"36 characters are read",
         QStringLiteral("a\nb\n   Display Firmware Version: Version 12\n"),
         {QStringLiteral("12")},
         {}},
        {"two blanks leave an empty word",
         QStringLiteral("a\nb\nDisplay Firmware Version: Version 1.2  (Build 3A45)\n"),
         {QStringLiteral("1.2")},
         QStringLiteral("(Build")},
        // Split at "\n" with empty lines kept: one line and its line break make only two.
        {"fewer than three lines",
         QStringLiteral("Display Firmware Version: Version 1.2 (Build 3A45)\n"),
         {},
         {}},
        {"three lines counting empty ones",
         QStringLiteral("\nDisplay Firmware Version: Version 1.2 (Build 3A45)\n"),
         {QStringLiteral("1.2")},
         QStringLiteral("3A45)")},
        {"no firmware line", fixture("spdisplays-builtin-only.txt"), {}, {}},
    };
    for (const Case& c : cases) {
        const DisplayFirmwareLines got = parseDisplayFirmwareLines(c.report);
        EXPECT_EQ(got.versions, c.versions) << c.name;
        EXPECT_EQ(got.build, c.build) << c.name;
    }
}

TEST(AppleSiliconChipReport, NamesBootFirmwareAndNoT2) {
    struct Case {
        const char* name;
        QString report;
        bool appleSilicon;
    };
    const Case cases[] = {
        // From macOS 26.4 on the firmware is "mBoot-…".
        {"mBoot report", fixture("spibridge-applesilicon-mboot-Mac16,13.txt"), true},
        {"iBoot report", QStringLiteral("Controller:\n      Firmware Version: iBoot-13822.81.10\n"), true},
        {"T2 report", fixture("spibridge-intel-t2.txt"), false},
        {"T2 and iBoot", QStringLiteral("Model Name: Apple T2 chip\nFirmware Version: iBoot-1\n"), false},
        {"T2 and mBoot", QStringLiteral("Model Name: Apple T2 chip\nFirmware Version: mBoot-1\n"), false},
        {"T2 without a blank on both sides", QStringLiteral("Model: T2\nFirmware Version: iBoot-1\n"), true},
        {"boot firmware without a leading blank", QStringLiteral("Firmware:iBoot-1\nFirmware:mBoot-1\n"),
         false},
        {"empty report", QString(), false},
        {"failure text", QStringLiteral(" error 127"), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(isAppleSiliconChipReport(c.report), c.appleSilicon) << c.name;
}

TEST(CharacterCounting, CountsWhatAReaderSees) {
    // "é" written as e and a combining accent, and an emoji outside the basic plane: one character each.
    const QString text = QStringLiteral("e\u0301🍏ab");
    EXPECT_EQ(characterCount(text), 4);
    EXPECT_EQ(dropLeadingCharacters(text, 1), QStringLiteral("🍏ab"));
    EXPECT_EQ(dropLeadingCharacters(text, 2), QStringLiteral("ab"));
    EXPECT_EQ(dropLeadingCharacters(text, 4), QString());
    EXPECT_EQ(dropLeadingCharacters(text, 9), QString());
    EXPECT_EQ(dropLeadingCharacters(text, 0), text);
}

} // namespace
} // namespace lq
