// The settings window's widgets.
#include "ui/SettingsWindow.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace lq {

namespace {

std::size_t index(SettingsButton button) {
    return static_cast<std::size_t>(button);
}

// A short grey explanation under a control, indented to line up with the control's text.
QLabel* note(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setContentsMargins(22, 0, 0, 4);
    QPalette muted = label->palette();
    muted.setColor(QPalette::WindowText, muted.color(QPalette::PlaceholderText));
    label->setPalette(muted);
    QFont small = label->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    label->setFont(small);
    return label;
}

} // namespace

SettingsWindow::SettingsWindow(SettingsStore& settings) : QWidget(nullptr, Qt::Window) {
    QWidget::setWindowTitle(QStringLiteral("Lanternquill Settings"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 18, 20, 16);
    column->setSpacing(12);

    auto* scans = new QGroupBox(QStringLiteral("XProtect Remediator"), this);
    auto* scansColumn = new QVBoxLayout(scans);
    auto* checkXPRScans = new QCheckBox(QStringLiteral("Summarise the scans of the last day"), scans);
    scansColumn->addWidget(checkXPRScans);
    scansColumn->addWidget(
        note(QStringLiteral("Reads the unified log once per launch. Turned off by itself when the "
                            "log cannot be read on this Mac."),
             scans));
    column->addWidget(scans);

    auto* app = new QGroupBox(QStringLiteral("Lanternquill"), this);
    auto* appColumn = new QVBoxLayout(app);
    auto* checkAppUpdates =
        new QCheckBox(QStringLiteral("Look for a newer version of Lanternquill at launch"), app);
    appColumn->addWidget(checkAppUpdates);
    column->addWidget(app);

    auto* updates = new QGroupBox(QStringLiteral("Software Updates"), this);
    auto* updatesColumn = new QVBoxLayout(updates);
    auto* dontCheck = new QRadioButton(QStringLiteral("Don't check for updates"), updates);
    auto* downloadOnly = new QRadioButton(QStringLiteral("Check, and only download updates"), updates);
    auto* installToo = new QRadioButton(QStringLiteral("Check, download and install updates"), updates);
    updateChoice_ = new QButtonGroup(this);
    updateChoice_->setExclusive(true);
    for (QRadioButton* radio : {dontCheck, downloadOnly, installToo}) {
        updateChoice_->addButton(radio);
        updatesColumn->addWidget(radio);
    }
    auto* allowInstallAll =
        new QCheckBox(QStringLiteral("Offer a button for all pending updates at once"), updates);
    updatesColumn->addSpacing(6);
    updatesColumn->addWidget(allowInstallAll);
    updatesColumn->addWidget(
        note(QStringLiteral("Changes to the update check and the scan summary take effect at "
                            "the next launch."),
             updates));
    column->addWidget(updates);
    column->addStretch(1);

    auto* box = new QDialogButtonBox(this);
    cancel_ = box->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    ok_ = box->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok_->setDefault(true);
    ok_->setAutoDefault(true);
    column->addWidget(box);

    buttons_[index(SettingsButton::checkXPRScans)] = checkXPRScans;
    buttons_[index(SettingsButton::checkAppUpdates)] = checkAppUpdates;
    buttons_[index(SettingsButton::dontCheck)] = dontCheck;
    buttons_[index(SettingsButton::downloadOnly)] = downloadOnly;
    buttons_[index(SettingsButton::installToo)] = installToo;
    buttons_[index(SettingsButton::allowInstallAll)] = allowInstallAll;

    controller_ = std::make_unique<SettingsViewController>(settings, *this);
    connect(updateChoice_, &QButtonGroup::buttonClicked, this, [this] { controller_->doRadioButton(); });
    connect(ok_, &QPushButton::clicked, this, [this] { controller_->doOKButton(); });
    // Cancel, Escape and the close box all leave the stored settings as they were.
    connect(cancel_, &QPushButton::clicked, this, &QWidget::close);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    auto* enter = new QShortcut(QKeySequence(Qt::Key_Return), this);
    connect(enter, &QShortcut::activated, ok_, &QPushButton::click);

    setMinimumWidth(440);
    controller_->viewDidLoad();
}

SettingsWindow::~SettingsWindow() = default;

void SettingsWindow::showWindow() {
    show();
    raise();
    activateWindow();
    controller_->viewDidAppear();
}

QAbstractButton* SettingsWindow::button(SettingsButton which) const {
    return buttons_[index(which)];
}

bool SettingsWindow::isButtonOn(SettingsButton which) const {
    return button(which)->isChecked();
}

void SettingsWindow::setButtonOn(SettingsButton which, bool on) {
    button(which)->setChecked(on);
}

void SettingsWindow::giveFocus(SettingsButton which) {
    button(which)->setFocus(Qt::OtherFocusReason);
}

} // namespace lq
