// Quitting while tools hang: the windows' controllers wait for their queues as they go, so every tool
// still running must be ended first, with whatever it started.
#include "support/Harness.h"
#include "support/ProcessWatch.h"
#include "ui/GuiApplication.h"
#include "ui/NamedUpdateWindow.h"

#include "platform/ProcessToolRunner.h"

#include <QElapsedTimer>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <iostream>

namespace lq::test {
namespace {

TEST(Quitting, EndsTheHungToolsOfTheMainAndTheNamedUpdateWindow) {
    TempRoot root(QStringLiteral("apple-silicon"));
    QTemporaryDir scratch;
    const QString pidFile = scratch.filePath(QStringLiteral("pids"));
    // The update listing and the named update hang, and so does the scan summary's log query; the
    // start-up test's short log query answers.
    writeScript(root.path() + QStringLiteral("/usr/sbin"), QStringLiteral("softwareupdate"),
                hangingScript(pidFile));
    writeScript(root.path() + QStringLiteral("/usr/bin"), QStringLiteral("log"),
                "if [ \"$2\" = --predicate ]; then\n" + hangingScript(pidFile) +
                    "fi\nprintf 'one\\ntwo\\n'\n");

    Harness h;
    // An install history without entries, so the check run raises no modal alert here.
    h.files.files.insert(QStringLiteral("/Library/Receipts/InstallHistory.plist"),
                         QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\"><array/></plist>"));
    ProcessToolRunner tools{SystemRoot(root.path())};
    auto gui =
        std::make_unique<GuiApplication>(Services{tools, h.files, h.settings, h.system, h.ioRegistry, h.http},
                                         QStringLiteral("https://example.test/updates/master/"));
    gui->start();
    ASSERT_TRUE(waitFor([&] { return !gui->mainWindow().controller().firstRun; }));

    gui->delegate().openNamed();
    ASSERT_EQ(gui->delegate().myNamedWindow.size(), 1U);
    auto* named = dynamic_cast<NamedUpdateWindow*>(gui->delegate().myNamedWindow.front().get());
    ASSERT_NE(named, nullptr);
    named->findChild<QLineEdit*>()->setText(QStringLiteral("Safari26.6SonomaAuto-26.6"));
    named->controller().installNamedButton();

    // Three tools and a child of each.
    const QList<qint64> pids = waitForPids(pidFile, 6);
    ASSERT_EQ(pids.size(), 6);

    QElapsedTimer timer;
    timer.start();
    gui.reset(); // what the application does once its event loop has ended
    const qint64 ms = timer.elapsed();
    std::cout << "[ measured ] quit with three hung tools in " << ms << " ms\n";
    EXPECT_LT(ms, 1000);
    EXPECT_TRUE(allEnded(pids, 1000));
}

} // namespace
} // namespace lq::test
