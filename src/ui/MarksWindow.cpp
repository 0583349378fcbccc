// The "Marks and Sources" window's widgets. Its text is the manual's last section, shipped as a resource.
#include "ui/MarksWindow.h"

#include "ui/WindowKeys.h"

#include <QFile>
#include <QTextBrowser>
#include <QTextFrame>
#include <QTextTable>
#include <QVBoxLayout>

namespace lq {

MarksWindow::MarksWindow() : QWidget(nullptr, Qt::Window) {
    QWidget::setWindowTitle(QStringLiteral("Marks and Sources"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    text_ = new QTextBrowser(this);
    text_->setReadOnly(true);
    text_->setOpenLinks(false);
    text_->document()->setDocumentMargin(14);
    text_->document()->setDefaultStyleSheet(
        QStringLiteral("h3 { margin-top: 12px; } code { font-family: monospace; }"));
    QFile page(kMarksAndSourcesResource);
    if (page.open(QIODevice::ReadOnly))
        text_->setHtml(QString::fromUtf8(page.readAll()));
    // The page's tables have the double rules that print well; on screen one rule per cell reads better.
    for (QTextFrame* frame : text_->document()->rootFrame()->childFrames()) {
        if (auto* table = qobject_cast<QTextTable*>(frame)) {
            QTextTableFormat format = table->format();
            format.setBorderCollapse(true);
            table->setFormat(format);
        }
    }
    column->addWidget(text_);
    resizeWithinScreen(this, QSize(720, 640));
    addCloseKeys(this, true);
    addFocusRing(this);
}

void MarksWindow::showWindow() {
    bringToFront(this);
}

} // namespace lq
