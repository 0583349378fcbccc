// The auxiliary windows on the offscreen platform: the settings window's widgets load and store the
// settings, the help window shows the manual shipped with the application, the marks window its page.
#include "platform/SettingsKeys.h"
#include "support/Harness.h"
#include "ui/GuiApplication.h"
#include "ui/MarksWindow.h"
#include "ui/RefWindow.h"
#include "ui/SettingsWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QImage>
#include <QLayout>
#include <QMessageBox>
#include <QPdfDocument>
#include <QPdfView>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace lq::test {
namespace {

using B = SettingsButton;

bool shown(const SettingsWindow& window, SettingsButton button) {
    return window.button(button)->isChecked();
}

TEST(SettingsWindowWidgets, LoadTheStoredSettings) {
    MemorySettings settings;
    settings.setBool(keys::noCheckSWU, true);
    settings.setBool(keys::singleInstall, true);
    SettingsWindow window(settings);
    window.showWindow();
    EXPECT_TRUE(shown(window, B::checkXPRScans));
    EXPECT_TRUE(shown(window, B::checkAppUpdates));
    EXPECT_TRUE(shown(window, B::dontCheck));
    EXPECT_FALSE(shown(window, B::downloadOnly));
    EXPECT_FALSE(shown(window, B::installToo));
    EXPECT_FALSE(shown(window, B::allowInstallAll));
    window.close();
}

TEST(SettingsWindowWidgets, OKStoresTheClickedChoicesAndCloses) {
    MemorySettings settings;
    SettingsWindow window(settings);
    window.showWindow();
    ASSERT_TRUE(shown(window, B::installToo));
    // Real clicks: the group deselects the radio button that was selected.
    window.button(B::downloadOnly)->click();
    window.button(B::checkXPRScans)->click();
    window.button(B::allowInstallAll)->click();
    EXPECT_FALSE(shown(window, B::installToo));
    EXPECT_TRUE(settings.values.isEmpty());
    window.okButton()->click();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(settings.values, (QMap<QString, QVariant>{{keys::noCheckXPRem, true},
                                                        {keys::noUpdateCheck, false},
                                                        {keys::noCheckSWU, false},
                                                        {keys::noInstallSWU, true},
                                                        {keys::singleInstall, true}}));
}

TEST(SettingsWindowWidgets, ClosingWithoutOKStoresNothing) {
    enum class Way { cancel, closeBox, escape, closeKey };
    for (const Way way : {Way::cancel, Way::closeBox, Way::escape, Way::closeKey}) {
        SCOPED_TRACE(static_cast<int>(way));
        MemorySettings settings;
        settings.setBool(keys::noInstallSWU, true);
        const QMap<QString, QVariant> before = settings.values;
        SettingsWindow window(settings);
        window.showWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        window.button(B::dontCheck)->click();
        window.button(B::checkAppUpdates)->click();
        switch (way) {
        case Way::cancel:
            window.cancelButton()->click();
            break;
        case Way::closeBox:
            window.close();
            break;
        case Way::escape:
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            break;
        case Way::closeKey:
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_W, Qt::ControlModifier);
            break;
        }
        EXPECT_FALSE(window.isVisible());
        EXPECT_EQ(settings.values, before);
    }
}

// The view has drawn something besides its background.
bool hasDrawnAPage(QWidget& view) {
    const QImage image = view.grab().toImage();
    const QRgb corner = image.pixel(0, 0);
    for (int y = 0; y < image.height(); y += 3)
        for (int x = 0; x < image.width(); x += 3)
            if (image.pixel(x, y) != corner)
                return true;
    return false;
}

TEST(RefWindowWidgets, ShowsTheShippedManualFitToWidth) {
    RefWindow window;
    EXPECT_EQ(window.document(), nullptr);
    window.showWindow();
    ASSERT_NE(window.document(), nullptr);
    EXPECT_GE(window.document()->pageCount(), 1);
    EXPECT_EQ(window.document()->metaData(QPdfDocument::MetaDataField::Title).toString(),
              QStringLiteral("Lanternquill Manual"));
    EXPECT_EQ(window.pdfView()->zoomMode(), QPdfView::ZoomMode::FitToWidth);
    ASSERT_TRUE(window.controller().thePDFDocument.has_value());
    EXPECT_TRUE(window.controller().thePDFDocument->startsWith("%PDF"));
    EXPECT_TRUE(waitFor([&] { return hasDrawnAPage(*window.pdfView()->viewport()); }));

    // Asked for while it is open, the window keeps the document where the reader is; coming on screen
    // again after it was closed loads the manual again, into a new document.
    const QPdfDocument* first = window.document();
    window.showWindow();
    EXPECT_EQ(window.document(), first);
    window.close();
    window.showWindow();
    EXPECT_NE(window.document(), first);
    EXPECT_GE(window.document()->pageCount(), 1);
    window.close();
}

TEST(RefWindowWidgets, WithoutAReadableManualTheWindowStaysEmpty) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString damaged = dir.filePath(QStringLiteral("LanternquillHelp.pdf"));
    QFile file(damaged);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("%PDF-1.4\nthis is no manual\n");
    file.close();
    for (const QString& path : {dir.filePath(QStringLiteral("missing.pdf")), damaged}) {
        SCOPED_TRACE(path.toStdString());
        RefWindow window(path);
        window.showWindow();
        EXPECT_EQ(window.document(), nullptr);
        EXPECT_FALSE(window.controller().thePDFDocument.has_value());
        EXPECT_FALSE(hasDrawnAPage(*window.pdfView()->viewport()));
        window.close();
    }
}

TEST(MarksWindowWidgets, ExplainsEveryMark) {
    MarksWindow window;
    const QString text = window.textView()->toPlainText();
    EXPECT_TRUE(text.contains(QStringLiteral("Where each verdict comes from")));
    for (const char* mark : {"✅", "❌", "⚠️", "🍏", "👉", "⛔️", "👈"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(mark))) << mark;
    EXPECT_TRUE(window.textView()->isReadOnly());
}

// The offer of a newer version shows "Ignore" then "Download", left to right on every platform, with
// Ignore the default for Return and Esc, so the browser never opens unasked.
TEST(UpdateAlert, IgnoreComesFirstAndIsTheDefault) {
    const struct {
        const char* name;
        std::function<void(QMessageBox&)> answer;
        bool download;
    } cases[] = {
        {"Return", [](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Return); }, false},
        {"Esc", [](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); }, false},
        {"Download clicked",
         [](QMessageBox& box) {
             for (QAbstractButton* button : box.buttons())
                 if (button->text() == QLatin1String("Download"))
                     button->click();
         },
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QStringList leftToRight;
        QString defaultButton;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            box->layout()->activate();
            QList<QAbstractButton*> buttons = box->buttons();
            std::sort(buttons.begin(), buttons.end(), [box](QAbstractButton* a, QAbstractButton* b) {
                return a->mapTo(box, QPoint()).x() < b->mapTo(box, QPoint()).x();
            });
            for (QAbstractButton* button : buttons)
                leftToRight.append(button->text());
            defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
            c.answer(*box);
        });
        // Should the alert not be answered, it is put away rather than left to hang the test.
        QTimer::singleShot(5000, [] {
            if (QWidget* modal = QApplication::activeModalWidget())
                modal->close();
        });
        const bool download = askToDownloadUpdate(
            nullptr, QStringLiteral("An update to this app to version 2.1.0 is available."),
            QStringLiteral("You are currently running Lanternquill2 version 2.0.0."));
        EXPECT_EQ(download, c.download);
        EXPECT_EQ(leftToRight, (QStringList{QStringLiteral("Ignore"), QStringLiteral("Download")}));
        EXPECT_EQ(defaultButton, QStringLiteral("Ignore"));
    }
}

// Each auxiliary window opens no larger than the screen has room for (the ScreenFit cases also run on
// an 800 by 600 screen and on a scaled 1280 by 800 one).
TEST(ScreenFit, EveryAuxiliaryWindowOpensWithinTheScreen) {
    Harness h;
    Interface interface;
    registerWindows(interface, h.services());
    for (const QString& identifier :
         {kHelpWindowController, kRefWindowController, kNamedWindowController, kSettingsWindowController}) {
        SCOPED_TRACE(identifier.toStdString());
        std::unique_ptr<WindowController> controller = interface.instantiate(identifier);
        auto* window = dynamic_cast<QWidget*>(controller.get());
        ASSERT_NE(window, nullptr);
        controller->showWindow();
        const QSize room = window->screen()->availableGeometry().size();
        EXPECT_LE(window->frameGeometry().width(), room.width());
        EXPECT_LE(window->frameGeometry().height(), room.height());
        // Nor smaller than its contents need: wrapped notes are not squeezed over one another.
        if (window->hasHeightForWidth()) {
            EXPECT_GE(window->height(), window->heightForWidth(window->width()));
        }
        window->close();
    }
}

TEST(InterfaceMain, HasAWindowForEveryIdentifier) {
    Harness h;
    Interface interface;
    registerWindows(interface, h.services());
    for (const QString& identifier :
         {kHelpWindowController, kRefWindowController, kNamedWindowController, kSettingsWindowController}) {
        SCOPED_TRACE(identifier.toStdString());
        std::unique_ptr<WindowController> controller = interface.instantiate(identifier);
        ASSERT_NE(controller, nullptr);
        EXPECT_NE(dynamic_cast<QWidget*>(controller.get()), nullptr);
    }
}

} // namespace
} // namespace lq::test
