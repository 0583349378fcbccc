// The help window's controller.
#include "app/RefViewController.h"

#include <QFile>

namespace lq {

void RefViewController::viewDidAppear() {
    QFile manual(manualPath_);
    // An application shipped without its manual shows an empty window: there is nothing to say that
    // the user could act on.
    if (!manual.open(QIODevice::ReadOnly))
        return;
    QByteArray document = manual.readAll();
    // A damaged manual leaves whatever the view showed before, as a missing one does.
    if (!helpPDFView.showDocument(document))
        return;
    thePDFDocument = std::move(document);
    helpPDFView.setAutoScales(true);
}

} // namespace lq
