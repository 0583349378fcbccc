// The application's launch and quit: a launch writes the settings file only when it changes a value,
// and never through a link; quitting while tools hang ends them (the windows' controllers wait for their
// queues as they go), with whatever they started.
#include "support/Harness.h"
#include "support/ProcessWatch.h"
#include "ui/GuiApplication.h"
#include "ui/NamedUpdateWindow.h"

#include "platform/ProcessToolRunner.h"
#include "platform/QtSettingsStore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <iostream>

namespace lq::test {
namespace {

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// A window launch (view loading, the first check run, the version check and the start-up test) with the
// settings in a real file.
TEST(Launching, LeavesASettingsFileAloneUnlessAValueChanges) {
    const struct {
        const char* name;
        QByteArray settings;
        bool throughALink;
    } cases[] = {
        // The scan summary is already off and the version check too: nothing for the launch to change.
        {"a file the launch has nothing to change",
         "; kept by hand\n[General]\nfontSize=14\nnoCheckXPRem=true\nnoUpdateCheck=true\nno setting here\n",
         false},
        // The start-up test and the version check store what they find, but not through the link.
        {"a link to the settings", "; kept by hand\n[General]\nfontSize=14\n", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("target.conf"));
        {
            QFile file(target);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(c.settings);
        }
        QString path = target;
        if (c.throughALink) {
            path = dir.filePath(QStringLiteral("Lanternquill.conf"));
            ASSERT_TRUE(QFile::link(target, path));
        }
        const QDateTime modified = QFileInfo(target).fileTime(QFileDevice::FileModificationTime);
        Harness h;
        h.files.files.insert(QStringLiteral("/Library/Receipts/InstallHistory.plist"),
                             QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\"><array/></plist>"));
        QtSettingsStore settings(path);
        auto gui = std::make_unique<GuiApplication>(
            Services{h.tools, h.files, settings, h.system, h.ioRegistry, h.http},
            QStringLiteral("https://example.test/updates/master/"));
        gui->start();
        ASSERT_TRUE(waitFor([&] { return !gui->mainWindow().controller().state.firstRun; }));
        EXPECT_DOUBLE_EQ(gui->mainWindow().controller().state.theFontSize, 14.0);
        // The launch tasks run after the same first paint; give them their turn.
        waitFor([] { return false; }, 300);
        if (c.throughALink) {
            EXPECT_EQ(h.tools.callCount(QStringLiteral("/usr/bin/id")), 1); // the start-up test ran
            EXPECT_TRUE(settings.boolValue(QStringLiteral("noCheckXPRem")));
        }
        gui.reset();
        EXPECT_EQ(contents(target), c.settings);
        EXPECT_EQ(QFileInfo(target).fileTime(QFileDevice::FileModificationTime), modified);
        EXPECT_EQ(QFileInfo(path).isSymLink(), c.throughALink);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size(),
                  c.throughALink ? 2 : 1);
    }
}

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
    ASSERT_TRUE(waitFor([&] { return !gui->mainWindow().controller().state.firstRun; }));

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
