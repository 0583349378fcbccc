// What the named update window's controller can do to its window.
#pragma once

#include <QString>

namespace lq {

class NamedView {
public:
    virtual ~NamedView() = default;
    virtual QString updateName() const = 0;
    virtual void setWindowTitle(const QString& title) = 0;
    virtual void setInstallButtonTitle(const QString& title) = 0;
    virtual void setSpinnerHidden(bool hidden) = 0;
    virtual void setSpinnerAnimating(bool animating) = 0;
    // Appends in the standard text colour and the view's own default font.
    virtual void appendOutput(const QString& text) = 0;
    virtual QString outputText() const = 0;
    // Redraws the whole output in the system font at `pointSize`.
    virtual void restyleOutput(double pointSize) = 0;
};

} // namespace lq
