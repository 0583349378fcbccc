// The main window controller's spine: loading the settings, the title and menus, the check run, the
// report and its font size, and the export.
#include "platform/SettingsKeys.h"
#include "support/Harness.h"

#include <QTimeZone>

#include <limits>

#include <gtest/gtest.h>

namespace lq::test {
namespace {

TEST(SettingsAtLoad, AbsentAndOutOfRangeValues) {
    struct Case {
        const char* name;
        std::optional<double> stored;
        double expected;
    };
    const double infinity = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {"none", std::nullopt, 12.0},
        {"3.5", 3.5, 12.0},
        {"4.0", 4.0, 4.0},
        {"70.0", 70.0, 70.0},
        {"200.0", 200.0, 200.0},
        // Beyond any sensible size, text layout would hold the window for good.
        {"200.5", 200.5, 12.0},
        {"1e10", 1e10, 12.0},
        {"infinity", infinity, 12.0},
        {"minus infinity", -infinity, 12.0},
        {"NaN", std::numeric_limits<double>::quiet_NaN(), 12.0},
    };
    for (const Case& c : cases) {
        Harness h;
        if (c.stored)
            h.settings.setDouble(keys::fontSize, *c.stored);
        h.vc->viewDidLoad();
        EXPECT_DOUBLE_EQ(h.vc->state.theFontSize, c.expected) << c.name;
    }
}

TEST(SettingsAtLoad, NoSettingsMeansCheckInstallAndSummarise) {
    Harness h;
    h.vc->viewDidLoad();
    EXPECT_FALSE(h.vc->state.noCheckSWU);
    EXPECT_FALSE(h.vc->state.noInstallSWU);
    EXPECT_TRUE(h.vc->state.checkXPRem);
    EXPECT_EQ(h.vc->state.osVersion, 19); // the fake system runs macOS 14.5
}

TEST(SettingsAtLoad, StoredChoicesAreRead) {
    Harness h;
    h.settings.setBool(keys::noCheckSWU, true);
    h.settings.setBool(keys::noInstallSWU, true);
    h.settings.setBool(keys::noCheckXPRem, true);
    h.system.version = OsVersion{10, 15, QStringLiteral("Version 10.15.7 (Build 19H2026)")};
    h.vc->viewDidLoad();
    EXPECT_TRUE(h.vc->state.noCheckSWU);
    EXPECT_TRUE(h.vc->state.noInstallSWU);
    EXPECT_FALSE(h.vc->state.checkXPRem);
    EXPECT_EQ(h.vc->state.osVersion, 15);
}

TEST(TitleAndMenus, FollowDownloadOnlyMode) {
    for (const bool downloadOnly : {false, true}) {
        Harness h;
        h.addMainMenu();
        h.settings.setBool(keys::noInstallSWU, downloadOnly);
        h.settings.setBool(keys::noCheckSWU, true); // so nothing shows the spinner again during the run
        h.vc->viewDidLoad();
        h.vc->viewDidAppear();
        const QString all =
            downloadOnly ? QStringLiteral("Download All Updates") : QStringLiteral("Install All Updates");
        const QString named =
            downloadOnly ? QStringLiteral("Download Named Update…") : QStringLiteral("Install Named Update…");
        EXPECT_NE(h.menus.findItem(QStringLiteral("File"), all), nullptr) << downloadOnly;
        EXPECT_NE(h.menus.findItem(QStringLiteral("File"), named), nullptr) << downloadOnly;
        EXPECT_EQ(h.view.updateButtonTitle, downloadOnly ? QStringLiteral("Download all updates")
                                                         : QStringLiteral("Install all updates"));
        EXPECT_EQ(h.view.windowTitle(),
                  (downloadOnly ? QStringLiteral("⚠️ ") : QString()) +
                      QStringLiteral("Lanternquill 2 – macOS Version 14.5 (Build 23F79)"));
        EXPECT_TRUE(h.view.spinnerHidden);
        EXPECT_TRUE(h.view.updateButtonHidden);
    }
}

TEST(TitleAndMenus, InstallModeRestoresDownloadTitles) {
    // A menu left in download wording (as the toggle can leave it) is put back when the setting says install.
    Harness h;
    h.addMainMenu();
    h.menus.retitle(QStringLiteral("File"), QStringLiteral("Install All Updates"),
                    QStringLiteral("Download All Updates"));
    h.vc->viewDidLoad();
    EXPECT_NE(h.menus.findItem(QStringLiteral("File"), QStringLiteral("Install All Updates")), nullptr);
}

TEST(TitleAndMenus, NoFileMenuLeavesTheButtonAlone) {
    Harness h; // no main menu at all
    h.settings.setBool(keys::noInstallSWU, true);
    h.view.updateButtonTitle = QStringLiteral("from the layout");
    h.vc->viewDidLoad();
    EXPECT_EQ(h.view.updateButtonTitle, QStringLiteral("from the layout"));
}

TEST(CheckRun, ScanFieldAfterTheFirstRun) {
    for (const bool noCheck : {false, true}) {
        Harness h;
        h.settings.setBool(keys::noCheckXPRem, noCheck);
        h.hold();
        h.vc->viewDidLoad();
        h.vc->viewDidAppear();
        EXPECT_FALSE(h.vc->state.firstRun);
        EXPECT_EQ(h.view.fieldText(Field::tccVersionText),
                  noCheck ? QStringLiteral("XPR scans not checked.") : QStringLiteral("Checking XPR scans…"));
        ASSERT_TRUE(h.settleExcept({QStringLiteral("update check"), QStringLiteral("scan summary")}));
        EXPECT_EQ(h.view.report.contains(QStringLiteral("XProtect Remediator scans not checked.\n")),
                  noCheck);
        h.finish();
    }
}

TEST(CheckRun, SecondRunClearsTheReportAndSkipsTheScanSummary) {
    Harness h;
    h.vc->viewDidLoad();
    h.vc->viewDidAppear();
    waitUntilIdle(*h.vc);
    h.vc->state.xprotIsUpd = h.vc->state.tccIsUpd = true;
    h.view.setFieldText(Field::tccVersionText, QStringLiteral("✅ XPR 3 scans"));
    h.system.clock = h.system.clock.addSecs(60);
    h.hold();
    h.vc->checkButtonAct();
    ASSERT_TRUE(h.settleExcept({QStringLiteral("update check")}));
    EXPECT_TRUE(h.view.report.contains(QStringLiteral("XProtect Remediator scans not checked.\n")));
    EXPECT_EQ(h.view.report.count(QStringLiteral("macOS Version 14.5")), 1);
    EXPECT_EQ(h.view.fieldText(Field::tccVersionText), QStringLiteral("✅ XPR 3 scans"));
    EXPECT_EQ(h.vc->state.runDate, h.system.clock);
    // The window shows when the latest run started.
    EXPECT_EQ(h.view.lastCheckTime, h.system.clock);
}

TEST(CheckRun, RunDateIsSetEvenWhenEveryToolFails) {
    Harness h; // FakeTools answers nothing: every tool "cannot start"
    h.vc->viewDidLoad();
    h.vc->runChecks();
    ASSERT_TRUE(h.vc->state.runDate.has_value());
    EXPECT_EQ(*h.vc->state.runDate, h.system.clock);
}

TEST(CheckRun, ClosingTheWindowQuits) {
    Harness h;
    EXPECT_TRUE(h.vc->windowShouldClose());
    EXPECT_EQ(h.view.quitRequests, 1);
}

TEST(Report, AppendAddsNoLineBreaks) {
    Harness h;
    h.vc->setReport(QStringLiteral("start\n"));
    h.vc->appendReport(QStringLiteral("a"));
    h.vc->appendReport(QStringLiteral("b"));
    EXPECT_EQ(h.view.report, QStringLiteral("start\nab"));
    h.vc->setReport(QString());
    EXPECT_EQ(h.view.report, QString());
}

TEST(Report, FontSizeStaysWithinBoundsAndIsStored) {
    struct Case {
        double start;
        bool increase;
        double expected;
    };
    const Case cases[] = {
        {60.0, true, 60.0}, {4.0, false, 4.0}, {70.0, true, 60.0}, {70.0, false, 69.0}, {12.0, true, 13.0}};
    for (const Case& c : cases) {
        Harness h;
        h.vc->state.theFontSize = c.start;
        h.vc->appendReport(QStringLiteral("earlier text"));
        c.increase ? h.vc->incFontSize() : h.vc->decFontSize();
        EXPECT_DOUBLE_EQ(h.vc->state.theFontSize, c.expected) << c.start << c.increase;
        EXPECT_DOUBLE_EQ(h.settings.doubleValue(keys::fontSize), c.expected);
        // Every character, also text written before the change, is redrawn at the new size.
        EXPECT_EQ(h.view.report, QStringLiteral("earlier text"));
        EXPECT_EQ(h.view.reportSizes, std::vector<double>{c.expected});
    }
}

TEST(Export, UndatedBeforeAnyRun) {
    Harness h;
    h.vc->appendReport(QStringLiteral("report\n"));
    h.view.saveAnswer = QStringLiteral("/tmp/out.text");
    h.vc->exportText();
    EXPECT_EQ(h.view.lastProposedName, QStringLiteral("LQ_undated.text"));
    EXPECT_EQ(h.view.lastFileTypes, (QStringList{QStringLiteral("text"), QStringLiteral("txt")}));
    EXPECT_EQ(h.files.written.value(QStringLiteral("/tmp/out.text")), QByteArray("report\n"));
}

TEST(Export, DatedAfterARunWithFooterOnlyInTheFile) {
    Harness h;
    h.vc->state.runDate = QDateTime(QDate(2025, 3, 2), QTime(9, 30, 0), Qt::UTC);
    h.vc->setReport(QStringLiteral("ok ✅\n"));
    h.view.saveAnswer = QStringLiteral("/tmp/out.text");
    h.vc->exportText();
    EXPECT_EQ(h.view.lastProposedName, QStringLiteral("LQ_2025-03-02T09_30_00Z.text"));
    EXPECT_EQ(QString::fromUtf8(h.files.written.value(QStringLiteral("/tmp/out.text"))),
              QStringLiteral("ok ✅\n\nChecked by Lanternquill 2 at 2025-03-02 09:30:00 +0000\n"));
    EXPECT_EQ(h.view.report, QStringLiteral("ok ✅\n"));
}

TEST(Export, CancelWritesNothingAndAFailedWriteAlerts) {
    Harness h;
    h.vc->exportText(); // the panel answers "cancel"
    EXPECT_TRUE(h.files.written.isEmpty());
    EXPECT_TRUE(h.view.alerts.isEmpty());

    h.files.writeError = QStringLiteral("You don’t have permission to save the file.");
    h.view.saveAnswer = QStringLiteral("/locked/out.text");
    h.vc->exportText();
    EXPECT_EQ(h.view.alerts, QStringList{QStringLiteral("You don’t have permission to save the file.")});
}

} // namespace
} // namespace lq::test
