// The main window's widgets.
#include "ui/MainWindow.h"

#include "app/MainMenu.h"
#include "check/ViewController.h"
#include "platform/ProcessClock.h"
#include "ui/AfterFirstPaint.h"
#include "ui/ColumnsLayout.h"
#include "ui/MenuActions.h"
#include "ui/WindowKeys.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>
#include <cstdio>

namespace lq {

namespace {

std::size_t index(Field field) {
    return static_cast<std::size_t>(field);
}

struct FieldPlace {
    Field field;
    const char* caption;
};

// Grouped as a Mac user thinks of them: what protects the Mac, how fresh its security data is, and
// what firmware and software it runs.
const FieldPlace kProtection[] = {{Field::sipStatusText, "System Integrity"},
                                  {Field::xprotStatusText, "Gatekeeper"},
                                  {Field::filevStatusText, "FileVault"}};
const FieldPlace kSecurityData[] = {{Field::xprotVersionText, "XProtect"},
                                    {Field::mrtVersionText, "XProtect Remediator"},
                                    {Field::tccVersionText, "Remediator scans"},
                                    {Field::kextVersionText, "TCC data"},
                                    {Field::gatekeepVersionText, "Kext exclude list"}};
const FieldPlace kSystem[] = {{Field::macTypeText, "Model"},
                              {Field::efiVersionText, "Boot firmware"},
                              {Field::displayStatusText, "Display"},
                              {Field::dfirmwareStatusText, "Display firmware"},
                              {Field::updateStatusText, "Software updates"}};

// Start-up timing for bench/run.sh: with LQ_EXIT_AFTER_FIRST_PAINT set, the window prints the
// milliseconds from process start to its first paint and the application quits. Nothing else uses it.
class FirstPaintTimer : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            std::printf("first paint after %.1f ms\n", msSinceProcessStart());
            std::fflush(stdout);
            watched->removeEventFilter(this);
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return false;
    }
};

} // namespace

MainWindow::MainWindow(Services services, const QString& referenceBaseUrl, QWidget* parent)
    : QMainWindow(parent) {
    buildWidgets();
    addCloseKeys(this);
    addFocusRing(this);
    controller_ = std::make_unique<ViewController>(services, *this, menus_, referenceBaseUrl);
    menus_.changed = [this] { rebuildMenuBar(); };
    connect(checkButton_, &QPushButton::clicked, this, [this] { controller_->checkButtonAct(); });
    connect(updateButton_, &QPushButton::clicked, this, [this] { controller_->installAllUpdatesButton(); });
    if (qEnvironmentVariableIsSet("LQ_EXIT_AFTER_FIRST_PAINT"))
        installEventFilter(new FirstPaintTimer(this));
}

MainWindow::~MainWindow() {
    // The controller may still hand results to this view while it winds down its queue.
    controller_.reset();
}

void MainWindow::start() {
    controller_->viewDidLoad();
    show();
}

void MainWindow::buildWidgets() {
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(16, 14, 16, 10);
    column->setSpacing(12);

    fieldFont_ = QApplication::font();
    // The groups sit side by side when the window is wide enough and take two columns when it is not,
    // so the window can be narrowed to 800 pixels (a 1280-pixel screen at 150 %) and keep every field.
    auto* groups = new ColumnsLayout(2);
    groups->setSpacing(12);
    auto addGroup = [&](const QString& title, const FieldPlace* places, std::size_t count) {
        auto* box = new QGroupBox(title, central);
        auto* grid = new QGridLayout(box);
        grid->setHorizontalSpacing(10);
        grid->setVerticalSpacing(6);
        grid->setColumnStretch(1, 1);
        for (std::size_t i = 0; i < count; ++i) {
            const QString name = QString::fromUtf8(places[i].caption);
            auto* caption = new QLabel(name + QLatin1Char(':'), box);
            caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            QPalette muted = caption->palette();
            muted.setColor(QPalette::WindowText, muted.color(QPalette::PlaceholderText));
            caption->setPalette(muted);
            auto* value = new QLabel(box);
            value->setTextInteractionFlags(Qt::TextSelectableByMouse);
            // A verdict is read from the keyboard too: Tab stops on it and a screen reader says its
            // caption, then what it shows.
            value->setFocusPolicy(Qt::StrongFocus);
            value->setMinimumWidth(130);
            value->setWordWrap(true);
            value->setAccessibleName(name);
            caption->setBuddy(value);
            const int row = static_cast<int>(i);
            grid->addWidget(caption, row, 0);
            grid->addWidget(value, row, 1);
            fields_[index(places[i].field)] = {caption, value};
        }
        grid->setRowStretch(static_cast<int>(count), 1);
        groups->addWidget(box);
    };
    addGroup(QStringLiteral("Protection"), kProtection, std::size(kProtection));
    addGroup(QStringLiteral("Security Data"), kSecurityData, std::size(kSecurityData));
    addGroup(QStringLiteral("Firmware and Software"), kSystem, std::size(kSystem));
    column->addLayout(groups);

    report_ = new QTextEdit(central);
    report_->setReadOnly(true);
    report_->setAcceptRichText(false);
    report_->setLineWrapMode(QTextEdit::WidgetWidth);
    report_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // Tab leaves the report for the buttons instead of being swallowed by it.
    report_->setTabChangesFocus(true);
    report_->setMinimumHeight(90);
    // Tab stops every 28 points, as a Mac text view has them: the report indents its detail lines with tabs.
    report_->setTabStopDistance(28.0);
    column->addWidget(report_, 1);

    buildButtonsAndStatusBar(central, column);
    setCentralWidget(central);
    setTabOrderAndNames();
    resizeWithinScreen(this, QSize(980, 700));
}

void MainWindow::buildButtonsAndStatusBar(QWidget* central, QVBoxLayout* column) {
    auto* buttons = new QHBoxLayout;
    spinner_ = new QProgressBar(central);
    spinner_->setRange(0, 0);
    spinner_->setFixedWidth(80);
    spinner_->setTextVisible(false);
    updateButton_ = new QPushButton(QStringLiteral("Install all updates"), central);
    checkButton_ = new QPushButton(QStringLiteral("Check"), central);
    checkButton_->setDefault(true);
    buttons->addWidget(spinner_);
    buttons->addWidget(updateButton_);
    buttons->addStretch(1);
    buttons->addWidget(checkButton_);
    column->addLayout(buttons);

    lastCheck_ = new QLabel(this);
    lastCheck_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statusBar()->addWidget(lastCheck_, 1);
    listsAge_ = new QLabel(this);
    listsAge_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statusBar()->addPermanentWidget(listsAge_);
    statusBar()->setSizeGripEnabled(false);
}

void MainWindow::setTabOrderAndNames() {
    // Reading order: the groups as they stand, field by field, then the report, then the buttons.
    QList<QWidget*> chain;
    for (const FieldPlace& place : kProtection)
        chain.append(fields_[index(place.field)].value);
    for (const FieldPlace& place : kSecurityData)
        chain.append(fields_[index(place.field)].value);
    for (const FieldPlace& place : kSystem)
        chain.append(fields_[index(place.field)].value);
    chain << report_ << updateButton_ << checkButton_;
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
    checkButton_->setFocus(Qt::OtherFocusReason);

    report_->setAccessibleName(QStringLiteral("Report"));
    report_->setAccessibleDescription(QStringLiteral("Every verdict of the last check, line by line"));
    checkButton_->setAccessibleName(QStringLiteral("Check"));
    checkButton_->setAccessibleDescription(
        QStringLiteral("Checks the protections, security data, firmware and updates again"));
    setUpdateButtonTitle(updateButton_->text());
    spinner_->setAccessibleName(QStringLiteral("Working on updates"));
    spinner_->setAccessibleDescription(
        QStringLiteral("Shown while updates are being listed, downloaded or installed"));
    lastCheck_->setAccessibleName(QStringLiteral("Last check"));
    listsAge_->setAccessibleName(QStringLiteral("Reference lists"));
}

void MainWindow::rebuildMenuBar() {
    QMenuBar* bar = menuBar();
    bar->clear();
    for (const Menu& menu : menus_.menus) {
        QMenu* qmenu = bar->addMenu(menu.title);
        for (const MenuItem& item : menu.items) {
            if (item.separator) {
                qmenu->addSeparator();
                continue;
            }
            QAction* action = qmenu->addAction(item.title);
            action->setEnabled(item.enabled && static_cast<bool>(item.trigger));
            if (item.on) {
                action->setCheckable(true);
                action->setChecked(true);
            }
            action->setMenuRole(qtMenuRole(item.role));
            action->setShortcuts(shortcutsFor(item));
            if (menu.title == menutitles::file && item.title == menutitles::check)
                checkAction_ = action;
            if (item.trigger) {
                // The trigger is copied: handling it may rebuild this very menu.
                connect(action, &QAction::triggered, this, [trigger = item.trigger] { trigger(); });
            }
        }
    }
}

void MainWindow::setFieldText(Field field, const QString& text) {
    QLabel* value = fields_[index(field)].value;
    value->setText(text);
    // A screen reader names the field by its caption and reads what it shows as its description.
    value->setAccessibleDescription(text);
    // A longer verdict may wrap onto more lines than the screen has room for at a larger size.
    if (fieldScale_ > 1.0)
        fitFieldScale(fieldScale_);
}

QString MainWindow::fieldText(Field field) const {
    return fields_[index(field)].value->text();
}

void MainWindow::setFieldHidden(Field field, bool hidden) {
    fields_[index(field)].caption->setHidden(hidden);
    fields_[index(field)].value->setHidden(hidden);
}

namespace {
QTextCharFormat reportFormat(const QWidget* widget, double pointSize) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSizeF(pointSize);
    QTextCharFormat format;
    format.setFont(font);
    format.setForeground(widget->palette().brush(QPalette::Text));
    return format;
}
} // namespace

void MainWindow::setReportText(const QString& text, double pointSize) {
    report_->clear();
    reportChars_.clear();
    appendText(text, pointSize);
    // A new run or a new size: the verdicts start again from the size the report asks for.
    followReportSize(pointSize);
}

void MainWindow::appendReportText(const QString& text, double pointSize) {
    appendText(text, pointSize);
}

void MainWindow::appendText(const QString& text, double pointSize) {
    reportChars_ += text;
    QTextCursor cursor(report_->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text, reportFormat(report_, pointSize));
}

QString MainWindow::reportText() const {
    return reportChars_;
}

void MainWindow::followReportSize(double pointSize) {
    // Bigger and Smaller Text act on the report; the verdicts follow within bounds that keep the groups
    // readable. Their captions stay as they are, so that larger verdicts get the room.
    wantedFieldScale_ = std::clamp(pointSize / 12.0, kMinFieldScale, kMaxFieldScale);
    fitFieldScale(wantedFieldScale_);
}

void MainWindow::fitFieldScale(double from) {
    // Larger verdicts make the window's least height grow, and so do longer ones. On a small or scaled
    // screen they grow only as far as the whole window still fits, report and buttons included.
    double scale = from;
    for (;;) {
        setFieldScale(scale);
        if (scale <= 1.0 || fitsScreenHeight())
            break;
        scale = std::max(1.0, scale - 0.1);
    }
}

bool MainWindow::fitsScreenHeight() {
    const QScreen* where = screen();
    if (!where)
        return true;
    // The layouts settle now rather than at the next turn of the event loop, so that the window's least
    // size can be read at once.
    for (const FieldWidgets& field : fields_)
        field.value->parentWidget()->layout()->activate();
    centralWidget()->layout()->activate();
    layout()->activate();
    const int room = where->availableGeometry().height() - kWindowFrameAllowance;
    if (minimumSizeHint().height() > room)
        return false;
    if (height() > room)
        resize(width(), room);
    return true;
}

void MainWindow::setFieldScale(double scale) {
    if (scale == fieldScale_)
        return;
    fieldScale_ = scale;
    QFont font = fieldFont_;
    if (fieldFont_.pointSizeF() > 0)
        font.setPointSizeF(fieldFont_.pointSizeF() * scale);
    else
        font.setPixelSize(qRound(fieldFont_.pixelSize() * scale));
    for (const FieldWidgets& field : fields_)
        field.value->setFont(font);
}

void MainWindow::setLastCheckTime(const QDateTime& time) {
    lastCheck_->setText(lastCheckText(time));
    lastCheck_->setAccessibleDescription(lastCheck_->text());
}

QString MainWindow::lastCheckText(const QDateTime& time) {
    return QStringLiteral("Last check: ") + QLocale().toString(time.toLocalTime(), QLocale::ShortFormat);
}

void MainWindow::setReferenceAge(const ReferenceAge& age) {
    listsAge_->setText(referenceAgeText(age, QDate::currentDate()));
    listsAge_->setAccessibleDescription(listsAge_->text());
    listsAge_->setToolTip(age.stale
                              ? QStringLiteral("The security data list is more than %1 days old and may "
                                               "not know the newest versions: an up-to-date Mac can then "
                                               "be shown as out of date.")
                                    .arg(kStaleListDays)
                              : QString());
}

QString MainWindow::referenceAgeText(const ReferenceAge& age, const QDate& today) {
    const QLocale locale;
    QString fetched;
    if (age.fetched) {
        const QDateTime local = age.fetched->toLocalTime();
        fetched = local.date() == today ? locale.toString(local.time(), QLocale::ShortFormat)
                                        : locale.toString(local, QLocale::ShortFormat);
    }
    if (!age.published)
        return fetched.isEmpty() ? QString() : QStringLiteral("Lists fetched ") + fetched;
    // Short enough to stand beside the time of the last check in a window 800 points wide.
    QString text = QStringLiteral("Lists of ") +
                   locale.toString(age.published->toLocalTime().date(), QLocale::ShortFormat);
    if (age.stale && age.securityDataDays)
        text = QStringLiteral("⚠️ ") + text + QStringLiteral(", %1 days old").arg(*age.securityDataDays);
    if (!fetched.isEmpty())
        text += QStringLiteral(" (fetched %1)").arg(fetched);
    return text;
}

void MainWindow::setSpinnerHidden(bool hidden) {
    spinner_->setHidden(hidden);
}

void MainWindow::setSpinnerAnimating(bool animating) {
    spinner_->setRange(0, animating ? 0 : 1);
}

void MainWindow::setUpdateButtonTitle(const QString& title) {
    updateButton_->setText(title);
    updateButton_->setAccessibleName(title);
    updateButton_->setAccessibleDescription(title.startsWith(QLatin1String("Download"))
                                                ? QStringLiteral("Downloads every pending update")
                                                : QStringLiteral("Installs every pending update"));
}

void MainWindow::setUpdateButtonHidden(bool hidden) {
    updateButton_->setHidden(hidden);
}

void MainWindow::setUpdateButtonEnabled(bool enabled) {
    updateButton_->setEnabled(enabled);
}

void MainWindow::setCheckEnabled(bool enabled) {
    checkButton_->setEnabled(enabled);
    // The Check menu item follows the button. It is changed in place: redrawing the menu bar would
    // close a menu the user has open.
    if (MenuItem* item = menus_.findItem(menutitles::file, menutitles::check))
        item->enabled = enabled;
    if (checkAction_)
        checkAction_->setEnabled(enabled);
}

void MainWindow::setWindowTitle(const QString& title) {
    QMainWindow::setWindowTitle(title);
}

QString MainWindow::windowTitle() const {
    return QMainWindow::windowTitle();
}

void MainWindow::showErrorAlert(const QString& informativeText) {
    QMessageBox alert(QMessageBox::Critical, QStringLiteral("Lanternquill"),
                      QStringLiteral("An error occurred:"), QMessageBox::Ok, this);
    alert.setInformativeText(informativeText);
    alert.exec();
}

void MainWindow::chooseSaveLocation(const QString& proposedName, const QStringList& fileTypes,
                                    std::function<void(std::optional<QString>)> done) {
    auto* panel = new QFileDialog(this, QStringLiteral("Export Report"));
    panel->setAcceptMode(QFileDialog::AcceptSave);
    panel->setFileMode(QFileDialog::AnyFile);
    panel->setOption(QFileDialog::ShowDirsOnly, false);
    QStringList patterns;
    for (const QString& type : fileTypes)
        patterns.append(QStringLiteral("*.") + type);
    panel->setNameFilter(QStringLiteral("Text (%1)").arg(patterns.join(QLatin1Char(' '))));
    panel->selectFile(proposedName);
    panel->setAttribute(Qt::WA_DeleteOnClose);
    connect(panel, &QFileDialog::finished, this, [panel, done = std::move(done)](int result) {
        const QStringList chosen = panel->selectedFiles();
        if (result == QDialog::Accepted && !chosen.isEmpty())
            done(chosen.first());
        else
            done(std::nullopt);
    });
    panel->open();
}

void MainWindow::requestQuit() {
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (event->spontaneous())
        return;
    // The check run holds the main thread with its synchronous tools: the window paints first. A
    // zero-time timer is not enough, as the window system's expose event usually comes later.
    runAfterFirstPaint(this, [this] { controller_->viewDidAppear(); });
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (controller_->windowShouldClose())
        event->accept();
    else
        event->ignore();
}

} // namespace lq
