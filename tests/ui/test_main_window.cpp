// The main window's widgets show what the controller says, and hand back the report's characters as written.
#include "app/HeadlessReport.h"
#include "app/MainMenu.h"
#include "check/ViewController.h"
#include "support/Harness.h"
#include "ui/MainWindow.h"

#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>

#include <gtest/gtest.h>

namespace lq::test {
namespace {

struct WindowFixture : ::testing::Test {
    Harness h;
    std::unique_ptr<MainWindow> window;
    void SetUp() override {
        window = std::make_unique<MainWindow>(h.services(),
                                              QStringLiteral("https://example.test/updates/master/"));
    }
};

TEST_F(WindowFixture, ReportKeepsItsCharacters) {
    const QString pieces[] = {
        QStringLiteral(
            "✅ SIP & SSV enabled.\n\t🍏 Secure Boot: Full Security\n⚠️  Failed, error = 1\n"),
        // A tool that ends its lines the DOS way, and one that rewrites its line with a lone CR.
        QStringLiteral("✅ XProtect assessments enabled\r\n"),
        QStringLiteral("Finding available software\rNo new software available.\n"),
        // The text view's own line and paragraph separators, written by a tool.
        QStringLiteral("a\u2028b\u2029c\n"),
        QString(),
    };
    window->setReportText(QStringLiteral("first "), 12.0);
    QString expected = QStringLiteral("first ");
    for (const QString& piece : pieces) {
        window->appendReportText(piece, 12.0);
        expected += piece;
    }
    EXPECT_EQ(window->reportText(), expected);
    // Redrawn at another size (Bigger Text), every character stays.
    window->controller().state.theFontSize = 20.0;
    window->controller().restyleReport();
    EXPECT_EQ(window->reportText(), expected);
    window->setReportText(QString(), 12.0);
    EXPECT_EQ(window->reportText(), QString());
}

// The report exported from the window holds the same characters as the headless report of the same
// run, carriage returns from the tools included.
TEST(WindowAndHeadless, ExportTheSameTextForTheSameRun) {
    Harness h;
    h.files.files.insert(QStringLiteral("/Library/Receipts/InstallHistory.plist"),
                         QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\"><array/></plist>"));
    // Only the two reference list fetches answer later, in the order asked, so both runs are alike.
    h.settings.setBool(QStringLiteral("noCheckSWU"), true);
    h.settings.setBool(QStringLiteral("noCheckXPRem"), true);
    h.tools.answer(QStringLiteral("/usr/sbin/spctl"), {QStringLiteral("--status")},
                   QStringLiteral("assessments enabled\r\n"));
    h.tools.answer(QStringLiteral("/usr/bin/fdesetup"), {QStringLiteral("status")},
                   QStringLiteral("FileVault is On.\r"));
    const QString url = QStringLiteral("https://example.test/updates/master/");

    MainWindow window(h.services(), url);
    window.start();
    ASSERT_TRUE(waitFor(
        [&] { return !window.controller().state.firstRun && window.controller().pendingWork() == 0; }));
    window.controller().exportText();
    auto* panel = window.findChild<QFileDialog*>();
    ASSERT_NE(panel, nullptr);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("LQ_2025-03-02T09_30_00Z.text"));
    panel->selectFile(path);
    static_cast<QDialog*>(panel)->accept(); // OK in the panel
    ASSERT_TRUE(h.files.written.contains(path)) << h.files.written.keys().join(',').toStdString();
    const QString exported = QString::fromUtf8(h.files.written.value(path));
    window.hide();

    const HeadlessResult headless = runHeadlessCheck(h.services(), url, [](const QString&) {});
    EXPECT_EQ(exported, headless.text);
    EXPECT_TRUE(exported.contains(QStringLiteral("✅ XProtect assessments enabled\r\n")));
    EXPECT_TRUE(exported.contains(QStringLiteral("FileVault is On.\r")));
}

TEST_F(WindowFixture, FontSizeChangeRedrawsEveryCharacter) {
    window->appendReportText(QStringLiteral("earlier\n"), 12.0);
    window->controller().state.theFontSize = 20.0;
    window->controller().restyleReport();
    auto* edit = window->findChild<QTextEdit*>();
    ASSERT_NE(edit, nullptr);
    QTextCursor cursor(edit->document());
    cursor.movePosition(QTextCursor::NextCharacter);
    EXPECT_DOUBLE_EQ(cursor.charFormat().font().pointSizeF(), 20.0);
    EXPECT_EQ(window->reportText(), QStringLiteral("earlier\n"));
}

// A stored size far beyond any sensible one would hold the window in text layout for good; it loads as
// the default and the first check run draws its report at once.
TEST_F(WindowFixture, AHugeStoredFontSizeLoadsAsTheDefault) {
    h.settings.setDouble(QStringLiteral("fontSize"), 1e10);
    h.files.files.insert(QStringLiteral("/Library/Receipts/InstallHistory.plist"),
                         QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\"><array/></plist>"));
    window =
        std::make_unique<MainWindow>(h.services(), QStringLiteral("https://example.test/updates/master/"));
    QElapsedTimer timer;
    timer.start();
    window->start();
    // The run's results are drawn once it has ended.
    EXPECT_TRUE(waitFor(
        [&] { return !window->controller().state.firstRun && window->controller().pendingWork() == 0; },
        5000));
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_DOUBLE_EQ(window->controller().state.theFontSize, 12.0);
    auto* edit = window->findChild<QTextEdit*>();
    ASSERT_NE(edit, nullptr);
    QTextCursor cursor(edit->document());
    cursor.movePosition(QTextCursor::NextCharacter);
    EXPECT_DOUBLE_EQ(cursor.charFormat().font().pointSizeF(), 12.0);
    window->hide();
}

TEST_F(WindowFixture, FieldsShowAndHideWithTheirCaptions) {
    window->setFieldText(Field::sipStatusText, QStringLiteral("✅ SIP & SSV enabled."));
    EXPECT_EQ(window->fieldText(Field::sipStatusText), QStringLiteral("✅ SIP & SSV enabled."));
    window->show();
    window->setFieldHidden(Field::displayStatusText, true);
    int hiddenLabels = 0;
    for (QLabel* label : window->findChildren<QLabel*>())
        hiddenLabels += label->isHidden() ? 1 : 0;
    EXPECT_EQ(hiddenLabels, 2); // the caption and the value
    window->hide();
}

TEST_F(WindowFixture, MenuBarFollowsTheModel) {
    h.settings.setBool(QStringLiteral("noInstallSWU"), true);
    // An install history without entries, so the check run raises no modal alert here.
    h.files.files.insert(QStringLiteral("/Library/Receipts/InstallHistory.plist"),
                         QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\"><array/></plist>"));
    buildMainMenu(window->menuModel(), window->controller(), nullptr);
    window->start();
    QStringList fileItems;
    for (QAction* menu : window->menuBar()->actions())
        if (menu->text() == QLatin1String("File"))
            for (QAction* item : menu->menu()->actions())
                fileItems.append(item->text());
    EXPECT_TRUE(fileItems.contains(QStringLiteral("Download All Updates")))
        << fileItems.join('|').toStdString();
    EXPECT_TRUE(fileItems.contains(QStringLiteral("Download Named Update…")));
    // The first check run starts once the window has been painted.
    EXPECT_TRUE(waitFor([&] { return !window->controller().state.firstRun; }));
    EXPECT_TRUE(
        window->QMainWindow::windowTitle().startsWith(QStringLiteral("⚠️ Lanternquill 2 – macOS ")));
    window->hide();
}

// On a Mac every item of the application menu goes into the menu the system makes for the application,
// so no second "Lanternquill" menu stands beside it; no other item moves there because of its title.
// The shortcuts are the platform's own for common commands; on Linux they are what they always were.
TEST_F(WindowFixture, MenuItemsCarryTheirMacPlacesAndShortcuts) {
    buildMainMenu(window->menuModel(), window->controller(), nullptr);
    QMap<QString, QAction*> actions;
    QMap<QString, QString> menuOf;
    for (QAction* menu : window->menuBar()->actions())
        for (QAction* item : menu->menu()->actions())
            if (!item->isSeparator()) {
                actions.insert(item->text(), item);
                menuOf.insert(item->text(), menu->text());
            }
    const QMap<QString, QAction::MenuRole> fixedPlaces = {
        {QStringLiteral("About Lanternquill"), QAction::AboutRole},
        {QStringLiteral("Settings…"), QAction::PreferencesRole},
        {QStringLiteral("Quit Lanternquill"), QAction::QuitRole},
    };
    for (auto it = actions.cbegin(); it != actions.cend(); ++it) {
        SCOPED_TRACE(it.key().toStdString());
        if (menuOf.value(it.key()) != QLatin1String("Lanternquill"))
            EXPECT_EQ(it.value()->menuRole(), QAction::NoRole);
        else
            EXPECT_EQ(it.value()->menuRole(), fixedPlaces.value(it.key(), QAction::ApplicationSpecificRole));
    }
    EXPECT_EQ(menuOf.values().count(QStringLiteral("Lanternquill")), 7);

    const struct {
        QString title;
        QString mac;
        QString elsewhere;
    } shortcuts[] = {
        {QStringLiteral("Settings…"), QStringLiteral("Ctrl+,"), QStringLiteral("Ctrl+,")},
        {QStringLiteral("Quit Lanternquill"), QStringLiteral("Ctrl+Q"), QStringLiteral("Ctrl+Q")},
        {QStringLiteral("Export…"), QStringLiteral("Ctrl+E"), QStringLiteral("Ctrl+E")},
        {QStringLiteral("Bigger Text"), QStringLiteral("Ctrl++"), QStringLiteral("Ctrl++")},
        {QStringLiteral("Smaller Text"), QStringLiteral("Ctrl+-"), QStringLiteral("Ctrl+-")},
        // ⌘? where Qt uses the Mac's keyboard scheme (the offscreen platform of the tests may not).
        {QStringLiteral("Lanternquill Manual"),
         QKeySequence::keyBindings(QKeySequence::HelpContents).value(0).toString(), QStringLiteral("F1")},
        {QStringLiteral("Marks and Sources"), QString(), QString()},
    };
    for (const auto& c : shortcuts) {
        SCOPED_TRACE(c.title.toStdString());
        ASSERT_TRUE(actions.contains(c.title));
#ifdef __APPLE__
        // Qt's Ctrl is the Command key on a Mac.
        EXPECT_EQ(actions.value(c.title)->shortcut(), QKeySequence(c.mac));
#else
        EXPECT_EQ(actions.value(c.title)->shortcut(), QKeySequence(c.elsewhere));
#endif
    }
}

} // namespace
} // namespace lq::test
