// The "Marks and Sources" window: what each mark means and where each verdict comes from, as read-only
// text.
#pragma once

#include "app/Interface.h"

#include <QWidget>

class QTextBrowser;

namespace lq {

inline const QString kMarksAndSourcesResource = QStringLiteral(":/manual/MarksAndSources.html");

class MarksWindow : public QWidget, public WindowController {
    Q_OBJECT

public:
    MarksWindow();
    void showWindow() override;
    QTextBrowser* textView() const { return text_; }

private:
    QTextBrowser* text_ = nullptr;
};

} // namespace lq
