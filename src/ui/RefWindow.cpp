// The help window's widgets.
#include "ui/RefWindow.h"

#include "ui/WindowKeys.h"

#include <QBuffer>
#include <QPdfDocument>
#include <QPdfView>
#include <QVBoxLayout>

namespace lq {

RefWindow::RefWindow(const QString& manualPath) : QWidget(nullptr, Qt::Window) {
    QWidget::setWindowTitle(QStringLiteral("Lanternquill Manual"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    view_ = new QPdfView(this);
    view_->setPageMode(QPdfView::PageMode::MultiPage);
    view_->setPageSpacing(12);
    view_->setDocumentMargins(QMargins(12, 12, 12, 12));
    column->addWidget(view_);
    resizeWithinScreen(this, QSize(720, 860));
    // Esc puts the manual away, as it does a help viewer's window.
    addCloseKeys(this, true);
    addFocusRing(this);
    controller_ = std::make_unique<RefViewController>(*this, manualPath);
    controller_->viewDidLoad();
}

RefWindow::~RefWindow() = default;

void RefWindow::showWindow() {
    // Asked for while it is open, the manual comes to the front where the reader left it.
    const bool comesOnScreen = !isVisible();
    bringToFront(this);
    if (comesOnScreen)
        controller_->viewDidAppear();
}

QPdfDocument* RefWindow::document() const {
    return view_->document();
}

bool RefWindow::showDocument(const QByteArray& bytes) {
    // The document reads its pages from the buffer while it lives, so the buffer belongs to it.
    auto* document = new QPdfDocument(this);
    auto* buffer = new QBuffer(document);
    buffer->setData(bytes);
    buffer->open(QIODevice::ReadOnly);
    document->load(buffer);
    if (document->status() != QPdfDocument::Status::Ready || document->pageCount() < 1) {
        delete document;
        return false;
    }
    QPdfDocument* earlier = view_->document();
    view_->setDocument(document);
    delete earlier;
    return true;
}

void RefWindow::setAutoScales(bool on) {
    view_->setZoomMode(on ? QPdfView::ZoomMode::FitToWidth : QPdfView::ZoomMode::Custom);
}

} // namespace lq
