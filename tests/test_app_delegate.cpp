// The application delegate: one window of each kind, shown again when asked for again and kept after
// it closes; web pages through the system's open tool, without waiting for it.
#include "app/AppDelegate.h"
#include "check/MenuBarModel.h"
#include "platform/ProcessToolRunner.h"
#include "support/Harness.h"

#include <QElapsedTimer>
#include <QFile>

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
    int made = 0;
    std::unique_ptr<AppDelegate> delegate;
    void SetUp() override {
        for (const QString& id :
             {kHelpWindowController, kRefWindowController, kNamedWindowController, kSettingsWindowController})
            interface.add(id, [this] {
                ++made;
                return std::make_unique<CountingWindow>(shown);
            });
        delegate = std::make_unique<AppDelegate>(
            h.services(), interface, menus, [](const QString&) {},
            QStringLiteral("https://example.test/updates/master/"));
    }
};

TEST_F(DelegateFixture, EachKindOfWindowIsMadeOnceAndShownAgainWhenAskedFor) {
    delegate->openHelp();
    delegate->openHelp();
    delegate->openHelp();
    EXPECT_EQ(made, 1);
    EXPECT_EQ(shown, 3);
    ASSERT_EQ(delegate->myHelpWindow.size(), 1u);
    const WindowController* help = delegate->myHelpWindow.front().get();
    delegate->openSettings();
    delegate->openNamed();
    delegate->openRef();
    delegate->openSettings();
    delegate->openHelp();
    EXPECT_EQ(delegate->myHelpWindow.front().get(), help);
    EXPECT_EQ(delegate->mySettingsWindow.size(), 1u);
    EXPECT_EQ(delegate->myNamedWindow.size(), 1u);
    EXPECT_EQ(delegate->myRefWindow.size(), 1u);
    EXPECT_EQ(made, 4);
    EXPECT_EQ(shown, 8);
}

TEST_F(DelegateFixture, AnIdentifierWithoutAControllerOpensNothing) {
    Interface empty;
    AppDelegate bare(
        h.services(), empty, menus, [](const QString&) {}, QString());
    bare.openSettings();
    EXPECT_TRUE(bare.mySettingsWindow.empty());
}

TEST_F(DelegateFixture, WebPagesGoToTheOpenToolInTheOrderAsked) {
    delegate->openUpdates();
    delegate->openEFIPage();
    delegate->openSupport();
    ASSERT_TRUE(waitFor([&] { return h.tools.calls().size() == 3u; }));
    const auto calls = h.tools.calls();
    for (const auto& call : calls) {
        EXPECT_EQ(call.path, QStringLiteral("/usr/bin/open"));
        ASSERT_EQ(call.args.size(), 1);
        EXPECT_TRUE(call.args[0].startsWith(QStringLiteral("https://")));
    }
    EXPECT_EQ(calls[0].args[0], webpages::updates);
    EXPECT_EQ(calls[1].args[0], webpages::firmware);
    EXPECT_EQ(calls[2].args[0], webpages::support);
}

// An open tool that takes its time (a browser starting) does not hold the windows: the command returns
// while the tool still waits, and the address reaches it all the same.
TEST(DelegateWebPages, OpeningAPageDoesNotWaitForTheOpenTool) {
    QTemporaryDir root;
    const QByteArray go = QFile::encodeName(root.filePath(QStringLiteral("go")));
    const QString opened = root.filePath(QStringLiteral("opened"));
    // It waits for the test's word, five seconds at most, so a delegate that waits for it cannot hang.
    writeScript(root.path() + QStringLiteral("/usr/bin"), QStringLiteral("open"),
                "i=0\nwhile [ ! -e '" + go + "' ] && [ $i -lt 250 ]; do sleep 0.02; i=$((i+1)); done\n" +
                    "printf '%s' \"$1\" > '" + QFile::encodeName(opened) + "'\n");
    ProcessToolRunner tools{SystemRoot(root.path())};
    Harness h;
    Interface interface;
    MenuBarModel menus;
    AppDelegate delegate(
        Services{tools, h.files, h.settings, h.system, h.ioRegistry, h.http}, interface, menus,
        [](const QString&) {}, QStringLiteral("https://example.test/updates/master/"));

    QElapsedTimer timer;
    timer.start();
    delegate.openUpdates();
    EXPECT_LT(timer.elapsed(), 1000);
    EXPECT_FALSE(QFile::exists(opened));

    QFile(QFile::decodeName(go)).open(QIODevice::WriteOnly);
    ASSERT_TRUE(waitFor([&] { return QFile::exists(opened) && QFileInfo(opened).size() > 0; }, 5000));
    QFile file(opened);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()), webpages::updates);
}

} // namespace
} // namespace lq::test
