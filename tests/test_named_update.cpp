// The named update window's controller: the label as typed, the arguments by mode, the output and the
// font size.
#include "platform/SettingsKeys.h"
#include "support/Harness.h"
#include "updates/NamedViewController.h"
#include "updates/UpdateScripts.h"

#include <gtest/gtest.h>

#include <limits>

namespace lq::test {
namespace {

class PlainNamedView : public NamedView {
public:
    QString updateName() const override { return name; }
    void setWindowTitle(const QString& t) override { title = t; }
    void setInstallButtonTitle(const QString& t) override { buttonTitle = t; }
    void setSpinnerHidden(bool hidden) override { spinnerHidden = hidden; }
    void setSpinnerAnimating(bool animating) override { spinnerAnimating = animating; }
    void appendOutput(const QString& text) override { output += text; }
    QString outputText() const override { return output; }
    void restyleOutput(double pointSize) override { restyledAt.push_back(pointSize); }

    QString name, title, buttonTitle = QStringLiteral("Install Named Update"), output;
    bool spinnerHidden = false, spinnerAnimating = false;
    std::vector<double> restyledAt;
};

TEST(NamedUpdateArguments, TrimmingBlankAndOptionLikeNames) {
    struct Case {
        QString typed;
        bool downloadOnly;
        std::optional<QStringList> args;
        bool refused;
    };
    const QString cfg = QStringLiteral("--include-config-data");
    const Case cases[] = {
        {QStringLiteral("  macOS Sonoma 14.8.9-23J631 \n"), false,
         QStringList{QStringLiteral("-i"), cfg, QStringLiteral("macOS Sonoma 14.8.9-23J631")}, false},
        {QStringLiteral("Safari26.6SonomaAuto-26.6"), true,
         QStringList{QStringLiteral("-d"), cfg, QStringLiteral("Safari26.6SonomaAuto-26.6")}, false},
        {QStringLiteral(" \t\n "), false, std::nullopt, false},
        {QString(), true, std::nullopt, false},
        {QStringLiteral("-ia"), false, std::nullopt, true},
        {QStringLiteral("  --restart"), false, std::nullopt, true},
    };
    for (const Case& c : cases) {
        const NamedUpdateArguments result = namedUpdateArguments(c.typed, c.downloadOnly);
        EXPECT_EQ(result.args, c.args) << c.typed.toStdString();
        EXPECT_EQ(!result.refusal.isEmpty(), c.refused) << c.typed.toStdString();
    }
}

struct NamedFixture : ::testing::Test {
    Harness h;
    PlainNamedView view;
    std::unique_ptr<NamedViewController> controller;
    void load() {
        controller = std::make_unique<NamedViewController>(h.services(), view);
        controller->viewDidLoad();
        controller->viewDidAppear();
    }
    bool finish() {
        return waitFor([&] { return controller->runsUnderWay() == 0; });
    }
};

TEST_F(NamedFixture, InstallModeRunsTheToolAndRevealsNothing) {
    load();
    EXPECT_EQ(view.title, QStringLiteral("Lanternquill Updater"));
    EXPECT_EQ(view.buttonTitle, QStringLiteral("Install Named Update"));
    EXPECT_TRUE(view.spinnerHidden);
    h.tools.answer(
        QStringLiteral("/usr/sbin/softwareupdate"),
        {QStringLiteral("-i"), QStringLiteral("--include-config-data"), QStringLiteral("Safari 26")},
        QStringLiteral("Installing Safari\n"), 0, QStringLiteral("Done.\n"));
    view.name = QStringLiteral(" Safari 26 ");
    controller->installNamedButton();
    ASSERT_TRUE(finish());
    EXPECT_EQ(view.output, QStringLiteral("Installing Safari\n Done.\n"));
    EXPECT_TRUE(view.spinnerHidden);
    EXPECT_EQ(h.tools.callCount(QStringLiteral("/usr/bin/osascript")), 0);
}

TEST_F(NamedFixture, DownloadOnlyModeTitlesArgumentsAndReveal) {
    h.settings.setBool(keys::noInstallSWU, true);
    load();
    EXPECT_EQ(view.title, QStringLiteral("⚠️ Lanternquill Updater"));
    EXPECT_EQ(view.buttonTitle, QStringLiteral("Download Named Update"));
    h.tools.answer(QStringLiteral("/usr/bin/osascript"), {}, QString());
    view.name = QStringLiteral("Unknown Thing");
    controller->installNamedButton(); // the tool is missing here: a failed run, with nothing to show
    ASSERT_TRUE(finish());
    EXPECT_EQ(view.output, QStringLiteral("❌ error 127"));
    const QStringList args = {QStringLiteral("-d"), QStringLiteral("--include-config-data"),
                              QStringLiteral("Safari 26")};
    h.tools.answer(QStringLiteral("/usr/sbin/softwareupdate"), args, QStringLiteral("Downloading Safari\n"));
    view.name = QStringLiteral("Safari 26");
    controller->installNamedButton();
    ASSERT_TRUE(finish());
    const auto calls = h.tools.calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].args, (QStringList{QStringLiteral("-d"), QStringLiteral("--include-config-data"),
                                          QStringLiteral("Unknown Thing")}));
    EXPECT_EQ(calls[1].args, args);
    EXPECT_EQ(calls[2].input, revealUpdatesScript().toUtf8());
}

TEST_F(NamedFixture, AFailedRunShowsTheToolsOwnWords) {
    load();
    h.tools.answer(
        QStringLiteral("/usr/sbin/softwareupdate"),
        {QStringLiteral("-i"), QStringLiteral("--include-config-data"), QStringLiteral("Safari 26")},
        QStringLiteral("Software Update Tool\n"), 1, QStringLiteral("Safari 26: No such update\n"));
    view.name = QStringLiteral("Safari 26");
    controller->installNamedButton();
    ASSERT_TRUE(finish());
    EXPECT_EQ(view.output, QStringLiteral("❌ Safari 26: No such update Software Update Tool error 1"));
}

TEST_F(NamedFixture, BlankAndOptionNamesStartNothing) {
    load();
    view.name = QStringLiteral("   ");
    controller->installNamedButton();
    EXPECT_EQ(view.output, QString());
    view.name = QStringLiteral("-ia");
    controller->installNamedButton();
    EXPECT_TRUE(view.output.contains(QStringLiteral("“-ia”"))) << view.output.toStdString();
    EXPECT_TRUE(h.tools.calls().empty());
    EXPECT_TRUE(view.spinnerHidden);
}

TEST_F(NamedFixture, FontSizeSharesTheSettingAndStaysInBounds) {
    // A size beyond any sensible one would hold the window in text layout for good.
    for (const double stored : {1e10, std::numeric_limits<double>::infinity()}) {
        h.settings.setDouble(keys::fontSize, stored);
        load();
        EXPECT_DOUBLE_EQ(controller->theFontSize, 12.0) << stored;
    }
    h.settings.setDouble(keys::fontSize, 70.0);
    load();
    EXPECT_DOUBLE_EQ(controller->theFontSize, 70.0);
    h.settings.setDouble(keys::fontSize, 3.5);
    load();
    EXPECT_DOUBLE_EQ(controller->theFontSize, 12.0);
    controller->theFontSize = 60.0;
    controller->incFontSize();
    EXPECT_DOUBLE_EQ(controller->theFontSize, 60.0);
    EXPECT_DOUBLE_EQ(h.settings.doubleValue(keys::fontSize), 60.0);
    controller->theFontSize = 4.0;
    controller->decFontSize();
    EXPECT_DOUBLE_EQ(controller->theFontSize, 4.0);
    EXPECT_EQ(view.restyledAt, (std::vector<double>{60.0, 4.0}));
}

} // namespace
} // namespace lq::test
