// What a screen reader is told, read through Qt's accessibility interface on the offscreen platform:
// each status field by its caption with what it shows, each button and the busy indicator by name and
// purpose, kept current as the texts change.
#include "platform/SettingsKeys.h"
#include "support/Harness.h"
#include "ui/MainWindow.h"
#include "ui/NamedUpdateWindow.h"
#include "ui/SettingsWindow.h"

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextEdit>

#include <gtest/gtest.h>

namespace lq::test {
namespace {

QAccessibleInterface* accessible(QObject* object) {
    return QAccessible::queryAccessibleInterface(object);
}

QString nameOf(QObject* object) {
    QAccessibleInterface* face = accessible(object);
    return face ? face->text(QAccessible::Name) : QStringLiteral("<no interface>");
}

QString descriptionOf(QObject* object) {
    QAccessibleInterface* face = accessible(object);
    return face ? face->text(QAccessible::Description) : QStringLiteral("<no interface>");
}

struct AccessFixture : ::testing::Test {
    Harness h;
    std::unique_ptr<MainWindow> window;
    void SetUp() override {
        window = std::make_unique<MainWindow>(h.services(),
                                              QStringLiteral("https://example.test/updates/master/"));
    }
    // The widget that shows `field`: the label the window hands its text to.
    QLabel* valueOf(Field field) {
        const QString marker = QStringLiteral("marker %1").arg(static_cast<int>(field));
        window->setFieldText(field, marker);
        for (QLabel* label : window->findChildren<QLabel*>())
            if (label->text() == marker)
                return label;
        return nullptr;
    }
    template <typename Widget> Widget* named(const QString& name) {
        for (Widget* widget : window->findChildren<Widget*>())
            if (nameOf(widget) == name)
                return widget;
        return nullptr;
    }
};

TEST_F(AccessFixture, EveryStatusFieldIsReadAsItsCaptionAndWhatItShows) {
    const struct {
        Field field;
        const char* caption;
        const char* shows;
    } cases[] = {
        {Field::sipStatusText, "System Integrity", "🍏 Platform Security full."},
        {Field::xprotStatusText, "Gatekeeper", "✅ XProtect enabled."},
        {Field::filevStatusText, "FileVault", "⚠️ FileVault off."},
        {Field::xprotVersionText, "XProtect", "✅ 5356"},
        {Field::mrtVersionText, "XProtect Remediator", "✅ XPR 157"},
        {Field::tccVersionText, "Remediator scans", "Checking XPR scans…"},
        {Field::kextVersionText, "TCC data", "TCC 20.6"},
        {Field::gatekeepVersionText, "Kext exclude list", "KEXT 20.7.0"},
        {Field::macTypeText, "Model", "🍏 Mac model Mac15,6"},
        {Field::efiVersionText, "Boot firmware", "❌ iBoot 11881.1.1 should be 11881.140.96"},
        {Field::displayStatusText, "Display", "🍏 Apple Studio Display connected"},
        {Field::dfirmwareStatusText, "Display firmware", "✅ 17.0"},
        {Field::updateStatusText, "Software updates", "⚠️ updates available."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.caption);
        QLabel* value = valueOf(c.field);
        ASSERT_NE(value, nullptr);
        window->setFieldText(c.field, QString::fromUtf8(c.shows));
        QAccessibleInterface* face = accessible(value);
        ASSERT_NE(face, nullptr);
        EXPECT_EQ(face->text(QAccessible::Name), QString::fromUtf8(c.caption));
        EXPECT_EQ(face->text(QAccessible::Description), QString::fromUtf8(c.shows));
        // The caption is the field's label for assistive tools too (beside the title of its group).
        QStringList labels;
        for (const auto& label : face->relations(QAccessible::Label))
            labels.append(label.first->text(QAccessible::Name));
        EXPECT_TRUE(labels.contains(QString::fromUtf8(c.caption) + QLatin1Char(':')))
            << labels.join('|').toStdString();
        // A new verdict is read at once.
        window->setFieldText(c.field, QStringLiteral("Checking…"));
        EXPECT_EQ(face->text(QAccessible::Description), QStringLiteral("Checking…"));
    }
}

TEST_F(AccessFixture, ButtonsTheBusyIndicatorAndTheReportSayWhatTheyAre) {
    auto* check = named<QPushButton>(QStringLiteral("Check"));
    ASSERT_NE(check, nullptr);
    EXPECT_FALSE(descriptionOf(check).isEmpty());

    // The update button is named by its title, whichever the mode, and says what it does.
    auto* update = named<QPushButton>(QStringLiteral("Install all updates"));
    ASSERT_NE(update, nullptr);
    EXPECT_TRUE(descriptionOf(update).startsWith(QStringLiteral("Installs")))
        << descriptionOf(update).toStdString();
    window->setUpdateButtonTitle(QStringLiteral("Download all updates"));
    EXPECT_EQ(nameOf(update), QStringLiteral("Download all updates"));
    EXPECT_TRUE(descriptionOf(update).startsWith(QStringLiteral("Downloads")))
        << descriptionOf(update).toStdString();

    const auto spinners = window->findChildren<QProgressBar*>();
    ASSERT_EQ(spinners.size(), 1);
    QAccessibleInterface* busy = accessible(spinners.front());
    ASSERT_NE(busy, nullptr);
    EXPECT_EQ(busy->role(), QAccessible::ProgressBar);
    EXPECT_FALSE(busy->text(QAccessible::Name).isEmpty());
    EXPECT_FALSE(busy->text(QAccessible::Description).isEmpty());

    auto* report = named<QTextEdit>(QStringLiteral("Report"));
    ASSERT_NE(report, nullptr);
    EXPECT_FALSE(descriptionOf(report).isEmpty());
}

TEST_F(AccessFixture, TheStatusBarReadsTheTimeOfTheLastCheck) {
    auto* lastCheck = named<QLabel>(QStringLiteral("Last check"));
    ASSERT_NE(lastCheck, nullptr);
    const QDateTime when(QDate(2025, 3, 2), QTime(9, 30, 0), Qt::UTC);
    window->setLastCheckTime(when);
    EXPECT_EQ(lastCheck->text(), MainWindow::lastCheckText(when));
    EXPECT_TRUE(lastCheck->text().contains(QLocale().toString(when.toLocalTime(), QLocale::ShortFormat)));
    EXPECT_EQ(descriptionOf(lastCheck), lastCheck->text());
}

// Beside it, how old the lists are: when published and fetched, and a warning sign once the security data
// list is stale; nothing at all while nothing is known.
TEST_F(AccessFixture, TheStatusBarReadsTheAgeOfTheLists) {
    auto* lists = named<QLabel>(QStringLiteral("Reference lists"));
    ASSERT_NE(lists, nullptr);
    const QDateTime published(QDate(2026, 8, 22), QTime(12, 0), Qt::UTC);
    const QDateTime fetched = QDateTime(QDate::currentDate(), QTime(12, 0)).toUTC(); // today, local time
    const QString publishedText = QLocale().toString(published.toLocalTime().date(), QLocale::ShortFormat);
    const QString fetchedText = QLocale().toString(fetched.toLocalTime().time(), QLocale::ShortFormat);
    struct Case {
        const char* name;
        ReferenceAge age;
        QString text;
    };
    const Case cases[] = {
        {"nothing known", {}, QString()},
        {"fetched, no date",
         {std::nullopt, fetched, std::nullopt, false},
         QStringLiteral("Lists fetched ") + fetchedText},
        {"fresh",
         {published, fetched, 10, false},
         QStringLiteral("Lists of %1 (fetched %2)").arg(publishedText, fetchedText)},
        {"stale",
         {published, fetched, 110, true},
         QStringLiteral("⚠️ Lists of %1, 110 days old (fetched %2)").arg(publishedText, fetchedText)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window->setReferenceAge(c.age);
        EXPECT_EQ(lists->text(), c.text);
        EXPECT_EQ(descriptionOf(lists), c.text);
        EXPECT_EQ(lists->toolTip().isEmpty(), !c.age.stale);
    }
    // A fetch on another day shows its date too.
    const QDateTime yesterday = fetched.addDays(-1);
    EXPECT_TRUE(MainWindow::referenceAgeText({published, yesterday, 10, false}, QDate::currentDate())
                    .endsWith(QStringLiteral("(fetched %1)")
                                  .arg(QLocale().toString(yesterday.toLocalTime(), QLocale::ShortFormat))));
}

TEST(AuxiliaryWindowsAccess, ControlsCarryTheirExplanations) {
    MemorySettings settings;
    SettingsWindow window(settings);
    // Each choice is read with the note shown under it, where there is one.
    for (const SettingsButton button :
         {SettingsButton::checkXPRScans, SettingsButton::checkAppUpdates, SettingsButton::dontCheck,
          SettingsButton::downloadOnly, SettingsButton::installToo, SettingsButton::allowInstallAll}) {
        QAccessibleInterface* face = accessible(window.button(button));
        ASSERT_NE(face, nullptr);
        EXPECT_EQ(face->text(QAccessible::Name), window.button(button)->text());
        EXPECT_FALSE(face->text(QAccessible::Description).isEmpty())
            << window.button(button)->text().toStdString();
    }
    EXPECT_TRUE(
        descriptionOf(window.button(SettingsButton::checkXPRScans)).contains(QStringLiteral("unified log")));

    Harness h;
    NamedUpdateWindow named(h.services());
    auto* label = named.findChild<QLineEdit*>();
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(nameOf(label), QStringLiteral("Update label"));
    auto* busy = named.findChild<QProgressBar*>();
    ASSERT_NE(busy, nullptr);
    EXPECT_FALSE(nameOf(busy).isEmpty());
}

} // namespace
} // namespace lq::test
