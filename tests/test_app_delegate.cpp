// The application delegate: a new window for every command, every controller kept, web pages through
// the system's open tool.
#include "app/AppDelegate.h"
#include "check/MenuBarModel.h"
#include "support/Harness.h"

#include <gtest/gtest.h>

namespace lq::test {
namespace {

class CountingWindow : public WindowController {
public:
    explicit CountingWindow(int& shown) : shown_(shown) {}
    void showWindow() override { ++shown_; }

private:
    int& shown_;
};

struct DelegateFixture : ::testing::Test {
    Harness h;
    Interface interface;
    MenuBarModel menus;
    int shown = 0;
    std::unique_ptr<AppDelegate> delegate;
    void SetUp() override {
        for (const QString& id :
             {kHelpWindowController, kRefWindowController, kNamedWindowController, kSettingsWindowController})
            interface.add(id, [this] { return std::make_unique<CountingWindow>(shown); });
        delegate = std::make_unique<AppDelegate>(
            h.services(), interface, menus, [](const QString&) {},
            QStringLiteral("https://example.test/updates/master/"));
    }
};

TEST_F(DelegateFixture, EveryCommandOpensANewWindowAndKeepsIt) {
    delegate->openHelp();
    delegate->openHelp();
    delegate->openHelp();
    EXPECT_EQ(shown, 3);
    EXPECT_EQ(delegate->myHelpWindow.size(), 3u);
    delegate->openSettings();
    delegate->openNamed();
    delegate->openRef();
    EXPECT_EQ(delegate->mySettingsWindow.size(), 1u);
    EXPECT_EQ(delegate->myNamedWindow.size(), 1u);
    EXPECT_EQ(delegate->myRefWindow.size(), 1u);
    EXPECT_EQ(shown, 6);
}

TEST_F(DelegateFixture, AnIdentifierWithoutAControllerOpensNothing) {
    Interface empty;
    AppDelegate bare(
        h.services(), empty, menus, [](const QString&) {}, QString());
    bare.openSettings();
    EXPECT_TRUE(bare.mySettingsWindow.empty());
}

TEST_F(DelegateFixture, WebPagesGoToTheOpenTool) {
    delegate->openUpdates();
    delegate->openEFIPage();
    delegate->openSupport();
    const auto calls = h.tools.calls();
    ASSERT_EQ(calls.size(), 3u);
    for (const auto& call : calls) {
        EXPECT_EQ(call.path, QStringLiteral("/usr/bin/open"));
        ASSERT_EQ(call.args.size(), 1);
        EXPECT_TRUE(call.args[0].startsWith(QStringLiteral("https://")));
    }
    EXPECT_EQ(calls[0].args[0], webpages::updates);
    EXPECT_EQ(calls[1].args[0], webpages::firmware);
    EXPECT_EQ(calls[2].args[0], webpages::support);
}

} // namespace
} // namespace lq::test
