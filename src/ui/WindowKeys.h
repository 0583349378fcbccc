// What every window of the application does alike with the keyboard: the close keys, the window brought
// to the front when asked for again, and a focus ring that can be seen.
#pragma once

#include <QSize>

class QWidget;

namespace lq {

// ⌘W (Ctrl+W off the Mac) closes `window`; with `escapeToo`, so does Esc.
void addCloseKeys(QWidget* window, bool escapeToo = false);

// Shows `window` when it is hidden, and brings it to the front with the keyboard in it.
void bringToFront(QWidget* window);

// Gives `window` its `preferred` size where the screen has room for it, and no more than 95 % of the
// screen where it has not (an 800 by 600 screen, a scaled one), but never less than its layout needs.
void resizeWithinScreen(QWidget* window, QSize preferred);

// Draws a ring round whichever widget of `window` has the keyboard focus. The platform's own rings are
// faint or missing off the Mac; the native macOS style draws its own, so there nothing is added.
void addFocusRing(QWidget* window);

} // namespace lq
