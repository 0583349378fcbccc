// The settings window's widgets.
#include "ui/SettingsWindow.h"

#include "ui/WindowKeys.h"

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

#include <algorithm>

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
    const QString scansNote = QStringLiteral("Reads the unified log once per launch. Turned off by itself "
                                             "when the log cannot be read on this Mac.");
    scansColumn->addWidget(note(scansNote, scans));
    // The grey notes are what a screen reader says after a control's name.
    checkXPRScans->setAccessibleDescription(scansNote);
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
    const QString updatesNote =
        QStringLiteral("Changes to the update check and the scan summary take effect at the next launch.");
    updatesColumn->addWidget(note(updatesNote, updates));
    for (QRadioButton* radio : {dontCheck, downloadOnly, installToo})
        radio->setAccessibleDescription(updatesNote);
    checkAppUpdates->setAccessibleDescription(
        QStringLiteral("At launch, looks whether a newer version of Lanternquill is published"));
    allowInstallAll->setAccessibleDescription(
        QStringLiteral("Shows the main window's button that installs or downloads every pending update"));
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
    // Cancel, Esc, ⌘W and the close box all leave the stored settings as they were.
    connect(cancel_, &QPushButton::clicked, this, &QWidget::close);
    addCloseKeys(this, true);
    addFocusRing(this);
    auto* enter = new QShortcut(QKeySequence(Qt::Key_Return), this);
    connect(enter, &QShortcut::activated, ok_, &QPushButton::click);

    setMinimumWidth(440);
    // Left to itself, a window opens no taller than two thirds of the screen, which on a small screen
    // squeezes the wrapped notes over one another: it takes the height its contents need at its width.
    const int width = std::max(minimumWidth(), sizeHint().width());
    resizeWithinScreen(this, QSize(width, heightForWidth(width)));
    controller_->viewDidLoad();
}

SettingsWindow::~SettingsWindow() = default;

void SettingsWindow::showWindow() {
    // Asked for while it is open, the window comes to the front with the user's unsaved choices; the
    // stored settings are loaded only as it comes on screen.
    const bool comesOnScreen = !isVisible();
    bringToFront(this);
    if (comesOnScreen)
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
