// The main window's layout: the three groups side by side when there is room and in two columns when
// there is not, the whole window on the screen with every field, the report and the buttons, and the
// verdicts following Bigger and Smaller Text within bounds. The ScreenFit cases run three times: on the
// offscreen platform's own screen, on an 800 by 600 screen, and on a 1280 by 800 screen at a scale
// factor of 1.5 (tests/CMakeLists.txt).
#include "support/Harness.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTextEdit>

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>

namespace lq::test {
namespace {

const QString kUrl = QStringLiteral("https://example.test/updates/master/");

void addEmptyInstallHistory(Harness& h) {
    // An install history without entries, so the check run raises no modal alert here.
    h.files.files.insert(QStringLiteral("/Library/Receipts/InstallHistory.plist"),
                         QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\"><array/></plist>"));
}

// The three groups in reading order.
std::vector<QGroupBox*> groupsOf(MainWindow& window) {
    std::vector<QGroupBox*> groups;
    for (const char* title : {"Protection", "Security Data", "Firmware and Software"})
        for (QGroupBox* box : window.findChildren<QGroupBox*>())
            if (box->title() == QLatin1String(title))
                groups.push_back(box);
    return groups;
}

QRect placeIn(const QWidget* widget, const QWidget* window) {
    return QRect(widget->mapTo(window, QPoint(0, 0)), widget->size());
}

// The label that shows `field`'s verdict.
QLabel* verdictLabel(MainWindow& window, Field field) {
    const QString marker = QStringLiteral("marker");
    window.setFieldText(field, marker);
    for (QLabel* label : window.findChildren<QLabel*>())
        if (label->text() == marker)
            return label;
    return nullptr;
}

TEST(ScreenFit, TheWholeWindowIsOnTheScreenAtEveryTextSize) {
    Harness h;
    addEmptyInstallHistory(h);
    MainWindow window(h.services(), kUrl);
    window.start();
    ASSERT_TRUE(waitFor(
        [&] { return !window.controller().state.firstRun && window.controller().pendingWork() == 0; }));
    // What the fields of a healthy Apple-silicon Mac with a Studio Display show: long enough to wrap.
    const std::pair<Field, const char*> shown[] = {
        {Field::sipStatusText, "🍏 Platform Security full."},
        {Field::xprotStatusText, "✅ XProtect enabled."},
        {Field::filevStatusText, "✅ FileVault on."},
        {Field::xprotVersionText, "✅ XProtect 5356"},
        {Field::mrtVersionText, "✅ XPR 157"},
        {Field::tccVersionText, "✅ XPR 48 scans"},
        {Field::kextVersionText, "TCC 20.6"},
        {Field::gatekeepVersionText, "KEXT 20.7.0"},
        {Field::macTypeText, "🍏 Mac model Mac15,6"},
        {Field::efiVersionText, "🍏 iBoot 18000.161.10 is up to date"},
        {Field::displayStatusText, "🍏 Apple Studio Display connected"},
        {Field::dfirmwareStatusText, "✅ 17.0"},
        {Field::updateStatusText, "⚠️ updates available."},
    };
    for (const auto& [field, text] : shown) {
        window.setFieldHidden(field, false);
        window.setFieldText(field, QString::fromUtf8(text));
    }
    const QRect screen = window.screen()->availableGeometry();
    std::cout << "[ screen   ] " << screen.width() << " x " << screen.height() << " points, scale factor "
              << window.devicePixelRatio() << "\n";

    for (const double reportSize : {12.0, 60.0, 4.0, 20.0}) {
        SCOPED_TRACE(reportSize);
        window.controller().state.theFontSize = reportSize;
        window.controller().restyleReport();
        QApplication::processEvents();
        EXPECT_LE(window.frameGeometry().height(), screen.height());
        EXPECT_LE(window.frameGeometry().width(), screen.width());
        EXPECT_LE(window.minimumSizeHint().height(), screen.height());
        const QRect inside = window.rect();
        for (QGroupBox* box : groupsOf(window))
            EXPECT_TRUE(inside.contains(placeIn(box, &window))) << box->title().toStdString();
        for (QPushButton* button : window.findChildren<QPushButton*>()) {
            if (button->isVisible()) {
                EXPECT_TRUE(inside.contains(placeIn(button, &window))) << button->text().toStdString();
            }
        }
        // The report keeps room for a few lines.
        auto* report = window.findChild<QTextEdit*>();
        ASSERT_NE(report, nullptr);
        EXPECT_GE(report->viewport()->height(), 3 * report->fontMetrics().height());
        // The verdicts follow the report's size, but never shrink below their bound nor grow past it.
        EXPECT_GE(window.fieldScale(), reportSize < 12.0 ? MainWindow::kMinFieldScale : 1.0);
        EXPECT_LE(window.fieldScale(), MainWindow::kMaxFieldScale);
    }
    window.hide();
}

TEST(WindowLayout, GroupsStandSideBySideWhenWideAndTakeTwoColumnsWhenNarrow) {
    Harness h;
    MainWindow window(h.services(), kUrl);
    window.show();
    EXPECT_LE(window.minimumSizeHint().width(), 800);
    const auto groups = groupsOf(window);
    ASSERT_EQ(groups.size(), 3u);
    const auto places = [&] {
        QApplication::processEvents();
        std::vector<QRect> rects;
        for (QGroupBox* box : groups)
            rects.push_back(placeIn(box, &window));
        return rects;
    };

    window.resize(1280, 720);
    auto wide = places();
    EXPECT_EQ(wide[0].top(), wide[1].top());
    EXPECT_EQ(wide[1].top(), wide[2].top());
    EXPECT_LT(wide[0].right(), wide[1].left());
    EXPECT_LT(wide[1].right(), wide[2].left());

    window.resize(800, 600);
    EXPECT_EQ(window.width(), 800);
    auto narrow = places();
    // Protection and Security Data side by side, Firmware and Software under Protection, all inside.
    EXPECT_EQ(narrow[0].top(), narrow[1].top());
    EXPECT_LT(narrow[0].right(), narrow[1].left());
    EXPECT_EQ(narrow[2].left(), narrow[0].left());
    EXPECT_GT(narrow[2].top(), narrow[0].bottom());
    for (const QRect& rect : narrow)
        EXPECT_LE(rect.right(), window.width());
    // The columns end on one line.
    EXPECT_EQ(narrow[2].bottom(), narrow[1].bottom());
    window.hide();
}

TEST(WindowLayout, VerdictsFollowTheReportSizeWithinBounds) {
    Harness h;
    MainWindow window(h.services(), kUrl);
    window.show();
    QLabel* verdict = verdictLabel(window, Field::xprotVersionText);
    ASSERT_NE(verdict, nullptr);
    window.setFieldText(Field::xprotVersionText, QStringLiteral("✅ XProtect 5356"));
    QLabel* caption = nullptr;
    for (QLabel* label : window.findChildren<QLabel*>())
        if (label->buddy() == verdict)
            caption = label;
    ASSERT_NE(caption, nullptr);
    const double base = QApplication::font().pointSizeF();
    ASSERT_GT(base, 0.0);

    const struct {
        double reportSize;
        double scale;
    } cases[] = {{12.0, 1.0}, {4.0, 0.8}, {9.0, 0.8}, {10.8, 0.9}, {13.2, 1.1}, {12.0, 1.0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reportSize);
        window.setReportText(QStringLiteral("report\n"), c.reportSize);
        EXPECT_NEAR(window.fieldScale(), c.scale, 1e-9);
        EXPECT_NEAR(verdict->font().pointSizeF(), base * c.scale, 0.01);
        // The caption keeps its size, so a larger verdict gets the room.
        EXPECT_NEAR(caption->font().pointSizeF(), base, 0.01);
    }
    window.hide();
}

} // namespace
} // namespace lq::test
