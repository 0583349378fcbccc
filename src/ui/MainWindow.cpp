// The main window's widgets.
#include "ui/MainWindow.h"

#include "check/ViewController.h"
#include "platform/ProcessClock.h"
#include "ui/AfterFirstPaint.h"
#include "ui/MenuActions.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

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
    column->setContentsMargins(16, 14, 16, 14);
    column->setSpacing(12);

    auto* groups = new QHBoxLayout;
    groups->setSpacing(12);
    auto addGroup = [&](const QString& title, const FieldPlace* places, std::size_t count) {
        auto* box = new QGroupBox(title, central);
        auto* grid = new QGridLayout(box);
        grid->setHorizontalSpacing(10);
        grid->setVerticalSpacing(6);
        grid->setColumnStretch(1, 1);
        for (std::size_t i = 0; i < count; ++i) {
            auto* caption = new QLabel(QString::fromUtf8(places[i].caption) + QLatin1Char(':'), box);
            caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            QPalette muted = caption->palette();
            muted.setColor(QPalette::WindowText, muted.color(QPalette::PlaceholderText));
            caption->setPalette(muted);
            auto* value = new QLabel(box);
            value->setTextInteractionFlags(Qt::TextSelectableByMouse);
            value->setMinimumWidth(150);
            value->setWordWrap(true);
            const int row = static_cast<int>(i);
            grid->addWidget(caption, row, 0);
            grid->addWidget(value, row, 1);
            fields_[index(places[i].field)] = {caption, value};
        }
        grid->setRowStretch(static_cast<int>(count), 1);
        groups->addWidget(box, 1);
    };
    addGroup(QStringLiteral("Protection"), kProtection, std::size(kProtection));
    addGroup(QStringLiteral("Security Data"), kSecurityData, std::size(kSecurityData));
    addGroup(QStringLiteral("Firmware and Software"), kSystem, std::size(kSystem));
    column->addLayout(groups);

    report_ = new QTextEdit(central);
    report_->setReadOnly(true);
    report_->setAcceptRichText(false);
    report_->setLineWrapMode(QTextEdit::WidgetWidth);
    // Tab stops every 28 points, as a Mac text view has them: the report indents its detail lines with tabs.
    report_->setTabStopDistance(28.0);
    column->addWidget(report_, 1);

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

    setCentralWidget(central);
    resize(980, 700);
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
            if (item.trigger) {
                // The trigger is copied: handling it may rebuild this very menu.
                connect(action, &QAction::triggered, this, [trigger = item.trigger] { trigger(); });
            }
        }
    }
}

void MainWindow::setFieldText(Field field, const QString& text) {
    fields_[index(field)].value->setText(text);
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
    appendReportText(text, pointSize);
}

void MainWindow::appendReportText(const QString& text, double pointSize) {
    QTextCursor cursor(report_->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text, reportFormat(report_, pointSize));
}

QString MainWindow::reportText() const {
    // The document stores line breaks as paragraph separators; give back the characters as written.
    QString text = report_->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
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
}

void MainWindow::setUpdateButtonHidden(bool hidden) {
    updateButton_->setHidden(hidden);
}

void MainWindow::setUpdateButtonEnabled(bool enabled) {
    updateButton_->setEnabled(enabled);
}

void MainWindow::setCheckEnabled(bool enabled) {
    checkButton_->setEnabled(enabled);
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
