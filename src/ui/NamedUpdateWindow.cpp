// The named update window's widgets.
#include "ui/NamedUpdateWindow.h"

#include "ui/WindowKeys.h"

#include <QAction>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

namespace lq {

NamedUpdateWindow::NamedUpdateWindow(Services services) : QWidget(nullptr, Qt::Window) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 14, 16, 14);
    column->setSpacing(10);
    auto* hint = new QLabel(QStringLiteral("Type the label of one update as the update check lists it "
                                           "(for example “Safari26.6VenturaAuto-26.6”):"),
                            this);
    hint->setWordWrap(true);
    column->addWidget(hint);

    auto* row = new QHBoxLayout;
    name_ = new QLineEdit(this);
    name_->setPlaceholderText(QStringLiteral("Update label"));
    install_ = new QPushButton(QStringLiteral("Install Named Update"), this);
    install_->setDefault(true);
    spinner_ = new QProgressBar(this);
    spinner_->setRange(0, 0);
    spinner_->setFixedWidth(60);
    spinner_->setTextVisible(false);
    row->addWidget(name_, 1);
    row->addWidget(spinner_);
    row->addWidget(install_);
    column->addLayout(row);

    output_ = new QTextEdit(this);
    output_->setReadOnly(true);
    output_->setAcceptRichText(false);
    output_->setTabChangesFocus(true);
    column->addWidget(output_, 1);

    auto* bigger = new QAction(QStringLiteral("Bigger Text"), this);
    bigger->setShortcut(QKeySequence::ZoomIn);
    auto* smaller = new QAction(QStringLiteral("Smaller Text"), this);
    smaller->setShortcut(QKeySequence::ZoomOut);
    addAction(bigger);
    addAction(smaller);
    resizeWithinScreen(this, QSize(640, 420));
    addCloseKeys(this);
    addFocusRing(this);
    name_->setAccessibleName(QStringLiteral("Update label"));
    install_->setAccessibleDescription(QStringLiteral("Downloads or installs the update named in the field"));
    spinner_->setAccessibleName(QStringLiteral("Working on the update"));
    spinner_->setAccessibleDescription(
        QStringLiteral("Shown while the named update is being downloaded or installed"));
    output_->setAccessibleName(QStringLiteral("Output"));
    output_->setAccessibleDescription(QStringLiteral("What softwareupdate wrote"));

    controller_ = std::make_unique<NamedViewController>(services, *this);
    connect(install_, &QPushButton::clicked, this, [this] { controller_->installNamedButton(); });
    connect(name_, &QLineEdit::returnPressed, this, [this] { controller_->installNamedButton(); });
    connect(bigger, &QAction::triggered, this, [this] { controller_->incFontSize(); });
    connect(smaller, &QAction::triggered, this, [this] { controller_->decFontSize(); });
    controller_->viewDidLoad();
}

NamedUpdateWindow::~NamedUpdateWindow() {
    controller_.reset();
}

void NamedUpdateWindow::showWindow() {
    // Asked for while it is open, the window comes to the front as it is, a run under way included.
    const bool comesOnScreen = !isVisible();
    bringToFront(this);
    if (comesOnScreen)
        controller_->viewDidAppear();
}

QString NamedUpdateWindow::updateName() const {
    return name_->text();
}

void NamedUpdateWindow::setInstallButtonTitle(const QString& title) {
    install_->setText(title);
}

void NamedUpdateWindow::setSpinnerHidden(bool hidden) {
    spinner_->setHidden(hidden);
}

void NamedUpdateWindow::setSpinnerAnimating(bool animating) {
    spinner_->setRange(0, animating ? 0 : 1);
}

void NamedUpdateWindow::appendOutput(const QString& text) {
    QTextCursor cursor(output_->document());
    cursor.movePosition(QTextCursor::End);
    QTextCharFormat format;
    format.setForeground(palette().brush(QPalette::Text));
    cursor.insertText(text, format);
}

QString NamedUpdateWindow::outputText() const {
    QString text = output_->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

void NamedUpdateWindow::restyleOutput(double pointSize) {
    const QString text = outputText();
    output_->clear();
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSizeF(pointSize);
    QTextCharFormat format;
    format.setFont(font);
    format.setForeground(palette().brush(QPalette::Text));
    QTextCursor cursor(output_->document());
    cursor.insertText(text, format);
}

} // namespace lq
