// The application from the keyboard alone, on the offscreen platform: ⌘R (Ctrl+R) checks again unless a
// run is under way, ⌘W closes any window and Esc the help windows and the settings, Tab walks every
// control in reading order with a ring that can be seen, and asking for a window again brings the one
// there is to the front.
#include "platform/SettingsKeys.h"
#include "support/Harness.h"
#include "ui/GuiApplication.h"
#include "ui/MarksWindow.h"
#include "ui/NamedUpdateWindow.h"
#include "ui/RefWindow.h"
#include "ui/SettingsWindow.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QFocusFrame>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace lq::test {
namespace {

const QString kSpctl = QStringLiteral("/usr/sbin/spctl");

struct KeyboardFixture : ::testing::Test {
    Harness h;
    std::unique_ptr<GuiApplication> gui;

    void SetUp() override {
        // An install history without entries, so the check run raises no modal alert here.
        h.files.files.insert(QStringLiteral("/Library/Receipts/InstallHistory.plist"),
                             QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\"><array/></plist>"));
        h.settings.setBool(keys::noUpdateCheck, true);
        gui = std::make_unique<GuiApplication>(h.services(),
                                               QStringLiteral("https://example.test/updates/master/"));
        gui->start();
        ASSERT_TRUE(waitFor(
            [&] { return !main().controller().state.firstRun && main().controller().pendingWork() == 0; }));
        ASSERT_TRUE(activate(&main()));
    }
    void TearDown() override { gui.reset(); }

    MainWindow& main() { return gui->mainWindow(); }
    AppDelegate& delegate() { return gui->delegate(); }

    static bool activate(QWidget* window) {
        window->activateWindow();
        return QTest::qWaitForWindowActive(window);
    }
    QAction* menuItem(const QString& menuTitle, const QString& itemTitle) {
        for (QAction* menu : main().menuBar()->actions())
            if (menu->text() == menuTitle)
                for (QAction* item : menu->menu()->actions())
                    if (item->text() == itemTitle)
                        return item;
        return nullptr;
    }
    QPushButton* button(const QString& text) {
        for (QPushButton* candidate : main().findChildren<QPushButton*>())
            if (candidate->text() == text)
                return candidate;
        return nullptr;
    }
    template <typename Window> Window* window(std::vector<std::unique_ptr<WindowController>>& list) {
        return list.size() == 1 ? dynamic_cast<Window*>(list.front().get()) : nullptr;
    }
};

TEST_F(KeyboardFixture, CtrlRChecksAgainAndIsOffWhileARunIsUnderWay) {
    QAction* check = menuItem(QStringLiteral("File"), QStringLiteral("Check"));
    ASSERT_NE(check, nullptr);
    EXPECT_EQ(check->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_R));
    QPushButton* checkButton = button(QStringLiteral("Check"));
    ASSERT_NE(checkButton, nullptr);
    EXPECT_TRUE(check->isEnabled());
    const int runs = h.tools.callCount(kSpctl);

    // The run waits for its reference lists while they are held.
    h.http.holding = true;
    QTest::keyClick(&main(), Qt::Key_R, Qt::ControlModifier);
    ASSERT_TRUE(waitFor([&] { return h.tools.callCount(kSpctl) == runs + 1; }));
    EXPECT_TRUE(main().controller().runInProgress());
    EXPECT_FALSE(check->isEnabled());
    EXPECT_FALSE(checkButton->isEnabled());

    h.http.holding = false;
    for (const QString& url : h.http.held())
        h.http.release(url);
    ASSERT_TRUE(waitFor([&] { return main().controller().pendingWork() == 0; }));
    EXPECT_TRUE(check->isEnabled());
    EXPECT_TRUE(checkButton->isEnabled());
    // The Check button's own key still works too.
    checkButton->setFocus(Qt::TabFocusReason);
    QTest::keyClick(checkButton, Qt::Key_Space);
    EXPECT_TRUE(waitFor([&] { return h.tools.callCount(kSpctl) == runs + 2; }));
}

TEST_F(KeyboardFixture, CloseKeysPutEachAuxiliaryWindowAway) {
    struct Case {
        const char* name;
        std::function<QWidget*()> open;
        QKeyCombination key;
        bool closes;
    };
    const auto settings = [&]() -> QWidget* {
        delegate().openSettings();
        return window<SettingsWindow>(delegate().mySettingsWindow);
    };
    const auto manual = [&]() -> QWidget* {
        delegate().openRef();
        return window<RefWindow>(delegate().myRefWindow);
    };
    const auto marks = [&]() -> QWidget* {
        delegate().openHelp();
        return window<MarksWindow>(delegate().myHelpWindow);
    };
    const auto named = [&]() -> QWidget* {
        delegate().openNamed();
        return window<NamedUpdateWindow>(delegate().myNamedWindow);
    };
    const Case cases[] = {
        {"settings, Ctrl+W", settings, Qt::CTRL | Qt::Key_W, true},
        {"settings, Esc", settings, QKeyCombination(Qt::Key_Escape), true},
        {"manual, Ctrl+W", manual, Qt::CTRL | Qt::Key_W, true},
        {"manual, Esc", manual, QKeyCombination(Qt::Key_Escape), true},
        {"marks, Ctrl+W", marks, Qt::CTRL | Qt::Key_W, true},
        {"marks, Esc", marks, QKeyCombination(Qt::Key_Escape), true},
        {"named update, Ctrl+W", named, Qt::CTRL | Qt::Key_W, true},
        // The named update window keeps the label being typed when Esc is pressed.
        {"named update, Esc", named, QKeyCombination(Qt::Key_Escape), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QWidget* shown = c.open();
        ASSERT_NE(shown, nullptr);
        ASSERT_TRUE(activate(shown));
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : shown;
        QTest::keyClick(target, c.key.key(), c.key.keyboardModifiers());
        EXPECT_EQ(shown->isVisible(), !c.closes);
        shown->close();
    }
    // The main window was left alone by all of it.
    EXPECT_TRUE(main().isVisible());
}

TEST_F(KeyboardFixture, CtrlWClosesTheMainWindowWhichQuits) {
    QTest::keyClick(&main(), Qt::Key_W, Qt::ControlModifier);
    EXPECT_FALSE(main().isVisible());
}

TEST_F(KeyboardFixture, AWindowAskedForAgainIsTheSameOneBroughtToTheFront) {
    using B = SettingsButton;
    delegate().openSettings();
    auto* settings = window<SettingsWindow>(delegate().mySettingsWindow);
    ASSERT_NE(settings, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowActive(settings));
    settings->button(B::dontCheck)->click(); // chosen, not yet stored

    delegate().openRef();
    auto* manual = window<RefWindow>(delegate().myRefWindow);
    ASSERT_NE(manual, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowActive(manual));

    delegate().openSettings();
    EXPECT_EQ(window<SettingsWindow>(delegate().mySettingsWindow), settings);
    EXPECT_TRUE(QTest::qWaitForWindowActive(settings));
    EXPECT_TRUE(settings->button(B::dontCheck)->isChecked()); // the user's choice is still there
    EXPECT_TRUE(manual->isVisible());

    // Closed and asked for again: the same window, showing the stored settings afresh.
    settings->close();
    delegate().openSettings();
    EXPECT_EQ(window<SettingsWindow>(delegate().mySettingsWindow), settings);
    EXPECT_TRUE(settings->isVisible());
    EXPECT_TRUE(settings->button(B::installToo)->isChecked());

    for (int i = 0; i < 2; ++i) {
        delegate().openNamed();
        delegate().openHelp();
    }
    EXPECT_EQ(delegate().myNamedWindow.size(), 1u);
    EXPECT_EQ(delegate().myHelpWindow.size(), 1u);
    EXPECT_EQ(delegate().myRefWindow.size(), 1u);
    auto* marks = window<MarksWindow>(delegate().myHelpWindow);
    ASSERT_NE(marks, nullptr);
    EXPECT_TRUE(QTest::qWaitForWindowActive(marks));
}

TEST_F(KeyboardFixture, TabWalksEveryControlInReadingOrderWithAVisibleRing) {
    // Reading order: the Protection group, then Security Data, then Firmware and Software, the report,
    // then the buttons. Hidden controls (a field that does not apply, the update button without
    // updates) are passed by.
    const QStringList readingOrder = {
        QStringLiteral("System Integrity"),
        QStringLiteral("Gatekeeper"),
        QStringLiteral("FileVault"),
        QStringLiteral("XProtect"),
        QStringLiteral("XProtect Remediator"),
        QStringLiteral("Remediator scans"),
        QStringLiteral("TCC data"),
        QStringLiteral("Kext exclude list"),
        QStringLiteral("Model"),
        QStringLiteral("Boot firmware"),
        QStringLiteral("Display"),
        QStringLiteral("Display firmware"),
        QStringLiteral("Software updates"),
        QStringLiteral("Report"),
        QStringLiteral("Install all updates"),
        QStringLiteral("Check"),
    };
    QStringList expected;
    for (const QString& name : readingOrder)
        for (QWidget* widget : main().findChildren<QWidget*>())
            if (widget->accessibleName() == name && widget->isVisible())
                expected.append(name);
    ASSERT_GE(expected.size(), 12);

    QPushButton* checkButton = button(QStringLiteral("Check"));
    ASSERT_NE(checkButton, nullptr);
    checkButton->setFocus(Qt::TabFocusReason);
    auto* ring = main().findChild<QFocusFrame*>(QStringLiteral("focusRing"));
    ASSERT_NE(ring, nullptr);
    QStringList walked;
    for (qsizetype i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        walked.append(focus->accessibleName());
        // The ring goes round the control that has the keyboard.
        EXPECT_EQ(ring->widget(), focus) << walked.last().toStdString();
        EXPECT_TRUE(ring->isVisible()) << walked.last().toStdString();
    }
    EXPECT_EQ(walked, expected);

    // Shift+Tab walks back.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget()->accessibleName(), expected[expected.size() - 2]);
}

} // namespace
} // namespace lq::test
