// Hardware identification on the main window controller: the chip and displays reports, the display
// firmware fields and the firmware facts read from the I/O Registry and the hardware report.
#include "support/Harness.h"

#include <QFile>

#include <gtest/gtest.h>

namespace lq {
namespace {

using test::Harness;

const QString kProfiler = QStringLiteral("/usr/sbin/system_profiler");
const QStringList kChipReport = {QStringLiteral("SPiBridgeDataType")};
const QStringList kHardwareReport = {QStringLiteral("SPHardwareDataType")};
const QStringList kDisplaysReport = {QStringLiteral("SPDisplaysDataType")};

QString fixture(const char* name) {
    QFile file(QStringLiteral(LQ_SOURCE_DIR "/tests/fixtures/hardware/") + QString::fromUtf8(name));
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "missing fixture " << name;
        return QString();
    }
    return QString::fromUtf8(file.readAll());
}

TEST(IdentifyHardware, ChipReportDecidesAppleSiliconOnceAndForAll) {
    struct Case {
        const char* name;
        QString report;
        int status;
        bool before;
        bool after;
    };
    const Case cases[] = {
        {"mBoot report", fixture("spibridge-applesilicon-mboot-Mac16,13.txt"), 0, false, true},
        {"T2 report", fixture("spibridge-intel-t2.txt"), 0, false, false},
        {"failing tool", QString(), 1, false, false},
        // Nothing sets the flag back, not even a report that names a T2 chip.
        {"T2 report after Apple silicon", fixture("spibridge-intel-t2.txt"), 0, true, true},
        {"empty report after Apple silicon", QString(), 0, true, true},
    };
    for (const Case& c : cases) {
        Harness h;
        h.tools.answer(kProfiler, kChipReport, c.report, c.status);
        h.vc->hardware.hasARM = c.before;
        h.vc->identifyHardware();
        ASSERT_TRUE(test::waitUntilIdle(*h.vc));
        ASSERT_TRUE(test::waitUntilIdle(*h.vc));
        EXPECT_EQ(h.vc->hardware.hasARM, c.after) << c.name;
        // The whole report is kept for the boot security check.
        EXPECT_EQ(h.vc->hardware.theARMData,
                  c.status == 0 ? c.report : QStringLiteral(" error %1").arg(c.status))
            << c.name;
    }
}

TEST(IdentifyHardware, DisplaysReportShowsOrHidesTheDisplayFields) {
    struct Case {
        const char* name;
        QString report;
        int status;
        bool studioDisplay;
        QString displayText;
        QString firmwareText;
        bool hidden;
        QStringList versions;
    };
    const QString before = QStringLiteral("before");
    const Case cases[] = {
        {"Studio Display",
         fixture("spdisplays-studio-display.txt"),
         0,
         true,
         QStringLiteral("🍏 Apple Studio Display connected"),
         QStringLiteral("17.0"),
         false,
         {QStringLiteral("17.0")}},
        {"built-in display only",
         fixture("spdisplays-builtin-only.txt"),
         0,
         false,
         QString(),
         QString(),
         true,
         {}},
        // Firmware lines without a Studio Display are not read.
        {"firmware line of another display",
         QStringLiteral(
             "Displays:\n  Pro Display XDR:\n    Display Firmware Version: Version 1.2 (Build 3A45)\n"),
         0,
         false,
         QString(),
         QString(),
         true,
         {}},
        {"failing tool", QString(), 1, false, QString(), QString(), true, {}},
        // An empty report tells nothing: the fields keep what they showed.
        {"empty report", QString(), 0, false, before, before, false, {}},
    };
    for (const Case& c : cases) {
        Harness h;
        h.tools.answer(kProfiler, kDisplaysReport, c.report, c.status);
        h.view.setFieldText(Field::displayStatusText, before);
        h.view.setFieldText(Field::dfirmwareStatusText, before);
        h.vc->identifyHardware();
        ASSERT_TRUE(test::waitUntilIdle(*h.vc));
        ASSERT_TRUE(test::waitUntilIdle(*h.vc));
        EXPECT_EQ(h.vc->hardware.hasStudioDisplay, c.studioDisplay) << c.name;
        EXPECT_EQ(h.view.fieldText(Field::displayStatusText), c.displayText) << c.name;
        EXPECT_EQ(h.view.fieldText(Field::dfirmwareStatusText), c.firmwareText) << c.name;
        EXPECT_EQ(h.view.fieldHidden(Field::displayStatusText), c.hidden) << c.name;
        EXPECT_EQ(h.view.fieldHidden(Field::dfirmwareStatusText), c.hidden) << c.name;
        EXPECT_EQ(h.vc->hardware.theDisplayFirmwareVersions, c.versions) << c.name;
    }
}

TEST(IdentifyHardware, StudioDisplayBuildKeepsItsClosingParenthesis) {
    Harness h;
    h.tools.answer(kProfiler, kDisplaysReport, fixture("spdisplays-studio-display.txt"));
    EXPECT_EQ(h.vc->hardware.theDisplayFirmwareBuild, QStringLiteral("unknown)"));
    h.vc->identifyHardware();
    ASSERT_TRUE(test::waitUntilIdle(*h.vc));
    EXPECT_EQ(h.vc->hardware.theDisplayFirmwareBuild, QStringLiteral("21A329)"));
}

TEST(ReadDisplayFirmwareVersions, AddsToEarlierCallsAndKeepsTheLastBuild) {
    const QString worked = QStringLiteral(
        "Displays:\n  Studio Display:\n    Display Firmware Version: Version 1.2 (Build 3A45)\n");
    const QString oneWord =
        QStringLiteral("Displays:\n  Studio Display:\n    Display Firmware Version: Version 1.3\n");
    Harness h;
    ViewController& vc = *h.vc;

    EXPECT_EQ(readDisplayFirmwareVersions(vc.hardware, worked), QStringLiteral("1.2"));
    EXPECT_EQ(vc.hardware.theDisplayFirmwareBuild, QStringLiteral("3A45)"));
    // A second call adds to the first: the list is never cleared.
    EXPECT_EQ(readDisplayFirmwareVersions(vc.hardware, worked), QStringLiteral("1.2,1.2"));
    // A rest of one word adds its version and leaves the build as it was.
    EXPECT_EQ(readDisplayFirmwareVersions(vc.hardware, oneWord), QStringLiteral("1.2,1.2,1.3"));
    EXPECT_EQ(vc.hardware.theDisplayFirmwareBuild, QStringLiteral("3A45)"));
    // A report without firmware lines adds nothing but still gives the whole list.
    EXPECT_EQ(readDisplayFirmwareVersions(vc.hardware, QStringLiteral("a\nb\nc\n")),
              QStringLiteral("1.2,1.2,1.3"));
    EXPECT_EQ(vc.hardware.theDisplayFirmwareVersions,
              (QStringList{QStringLiteral("1.2"), QStringLiteral("1.2"), QStringLiteral("1.3")}));
}

TEST(ReadDisplayFirmwareVersions, DefaultBuildSurvivesLinesWithoutOne) {
    Harness h;
    EXPECT_EQ(
        readDisplayFirmwareVersions(
            h.vc->hardware,
            QStringLiteral("Displays:\n  Studio Display:\n    Display Firmware Version: Version 15.4\n")),
        QStringLiteral("15.4"));
    EXPECT_EQ(h.vc->hardware.theDisplayFirmwareBuild, QStringLiteral("unknown)"));
}

TEST(RegistryFacts, ModelAndBootROMLoseTheirTerminatingNulsOnly) {
    struct Case {
        const char* name;
        QByteArray bytes;
        QString text;
    };
    const Case cases[] = {
        {"plain", QByteArrayLiteral("MacBookPro16,2"), QStringLiteral("MacBookPro16,2")},
        {"terminating NUL", QByteArray("MacBookPro16,2\0", 15), QStringLiteral("MacBookPro16,2")},
        {"several NULs", QByteArray("Macmini8,1\0\0\0", 13), QStringLiteral("Macmini8,1")},
        {"inner NUL stays", QByteArray("Mac\0mini8,1\0", 12), QString::fromUtf8("Mac\0mini8,1", 11)},
        {"only NULs", QByteArray("\0\0", 2), QString()},
        {"white space stays", QByteArrayLiteral(" iMac20,1\n"), QStringLiteral(" iMac20,1\n")},
        {"missing", QByteArray(), QString()},
    };
    for (const Case& c : cases) {
        Harness h;
        if (!c.bytes.isNull()) {
            h.ioRegistry.expert.insert(QStringLiteral("model"), c.bytes);
            h.ioRegistry.tree.insert(QStringLiteral("IODeviceTree:/rom#version"), c.bytes);
        }
        EXPECT_EQ(readModelIdentifier(h.ioRegistry), c.text) << c.name;
        EXPECT_EQ(readBootROMVersion(h.ioRegistry), c.text) << c.name;
    }
}

TEST(RegistryFacts, ReadsTheNamedPropertiesOnly) {
    Harness h;
    h.ioRegistry.expert.insert(QStringLiteral("board-id"), QByteArrayLiteral("Mac-5F9802EFE386AA28"));
    h.ioRegistry.tree.insert(QStringLiteral("IODeviceTree:/rom#vendor"), QByteArrayLiteral("Apple"));
    h.ioRegistry.expert.insert(QStringLiteral("model"), QByteArrayLiteral("MacBookPro16,2"));
    h.ioRegistry.tree.insert(QStringLiteral("IODeviceTree:/rom#version"),
                             QByteArrayLiteral("2094.80.5.0.0 (iBridge: 23.16.13061.0.0,0)"));
    EXPECT_EQ(readModelIdentifier(h.ioRegistry), QStringLiteral("MacBookPro16,2"));
    EXPECT_EQ(readBootROMVersion(h.ioRegistry), QStringLiteral("2094.80.5.0.0 (iBridge: 23.16.13061.0.0,0)"));
}

TEST(ReadSystemFirmwareVersion, RunsTheHardwareReportEachTime) {
    Harness h;
    h.tools.answer(kProfiler, kHardwareReport, fixture("sphardware-applesilicon.txt"));
    EXPECT_EQ(readSystemFirmwareVersion(h.tools), QStringLiteral("8422.121.1"));
    h.tools.answer(kProfiler, kHardwareReport, QString(), 1);
    EXPECT_EQ(readSystemFirmwareVersion(h.tools), QStringLiteral("Unknown"));
    EXPECT_EQ(h.tools.callCount(kProfiler), 2);
}

} // namespace
} // namespace lq
