// The help window's controller: shows the application's manual, a PDF shipped inside the application,
// loading it afresh each time the window appears.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <utility>

namespace lq {

// Where the manual is shipped: a resource of the application.
inline const QString kManualResource = QStringLiteral(":/LanternquillHelp.pdf");

// The window's PDF view.
class RefView {
public:
    virtual ~RefView() = default;
    // Shows the PDF `document` in place of what was shown; false (and nothing changed) when it is not a
    // readable PDF.
    virtual bool showDocument(const QByteArray& document) = 0;
    // Scales the pages to the width of the view, following the window's size.
    virtual void setAutoScales(bool on) = 0;
};

class RefViewController {
public:
    explicit RefViewController(RefView& view, QString manualPath = kManualResource)
        : helpPDFView(view), manualPath_(std::move(manualPath)) {}

    // The manual as last loaded.
    std::optional<QByteArray> thePDFDocument;
    RefView& helpPDFView;

    void viewDidLoad() {}
    void viewDidAppear();

private:
    QString manualPath_;
};

} // namespace lq
