// The help window: the application's manual in a PDF view whose pages follow the window's width.
#pragma once

#include "app/Interface.h"
#include "app/RefViewController.h"

#include <QWidget>

#include <memory>

class QPdfDocument;
class QPdfView;

namespace lq {

class RefWindow : public QWidget, public RefView, public WindowController {
    Q_OBJECT

public:
    explicit RefWindow(const QString& manualPath = kManualResource);
    ~RefWindow() override;

    void showWindow() override;
    RefViewController& controller() { return *controller_; }
    QPdfView* pdfView() const { return view_; }
    // The document on show, or null.
    QPdfDocument* document() const;

    bool showDocument(const QByteArray& document) override;
    void setAutoScales(bool on) override;

private:
    QPdfView* view_ = nullptr;
    std::unique_ptr<RefViewController> controller_;
};

} // namespace lq
