// The pure texts of the main window: OS version code, title, export name and footer.
#include "check/ReportText.h"

#include <QTimeZone>

#include <gtest/gtest.h>

namespace lq {
namespace {

TEST(OsVersionCode, OrdersEverySupportedVersion) {
    struct Case {
        int major, minor, code;
    };
    const Case cases[] = {{10, 14, 14}, {10, 15, 15}, {11, 7, 16}, {12, 0, 17},
                          {13, 6, 18},  {14, 5, 19},  {15, 7, 20}, {26, 1, 31}};
    for (const Case& c : cases)
        EXPECT_EQ(osVersionCode(c.major, c.minor), c.code) << c.major << "." << c.minor;
}

TEST(WindowTitle, CarriesTheWarningInDownloadOnlyMode) {
    EXPECT_EQ(mainWindowTitle(false, QStringLiteral("Version 14.5 (Build 23F79)")),
              QStringLiteral("Lanternquill 2 – macOS Version 14.5 (Build 23F79)"));
    EXPECT_EQ(mainWindowTitle(true, QStringLiteral("Version 14.5 (Build 23F79)")),
              QStringLiteral("⚠️ Lanternquill 2 – macOS Version 14.5 (Build 23F79)"));
}

TEST(ExportText, NameAndFooterFollowTheRunDate) {
    EXPECT_EQ(exportFileName(std::nullopt), QStringLiteral("LQ_undated.text"));
    const QDateTime run(QDate(2025, 3, 2), QTime(9, 30, 0), Qt::UTC);
    EXPECT_EQ(exportFileName(run), QStringLiteral("LQ_2025-03-02T09_30_00Z.text"));
    EXPECT_EQ(exportFooter(run),
              QStringLiteral("\nChecked by Lanternquill 2 at 2025-03-02 09:30:00 +0000\n"));
    // A date in another zone is written in UTC.
    const QDateTime elsewhere(QDate(2025, 1, 31), QTime(15, 5, 9), QTimeZone(3600));
    EXPECT_EQ(exportFileName(elsewhere), QStringLiteral("LQ_2025-01-31T14_05_09Z.text"));
    EXPECT_EQ(standardDateDescription(elsewhere), QStringLiteral("2025-01-31 14:05:09 +0000"));
}

} // namespace
} // namespace lq
