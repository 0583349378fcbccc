// What every window of the application does alike with the keyboard: the close keys, the window brought
// to the front when asked for again, and a focus ring that can be seen.
#pragma once

class QWidget;

namespace lq {

// ⌘W (Ctrl+W off the Mac) closes `window`; with `escapeToo`, so does Esc.
void addCloseKeys(QWidget* window, bool escapeToo = false);

// Shows `window` when it is hidden, and brings it to the front with the keyboard in it.
void bringToFront(QWidget* window);

// Draws a ring round whichever widget of `window` has the keyboard focus. The platform's own rings are
// faint or missing off the Mac; the native macOS style draws its own, so there nothing is added.
void addFocusRing(QWidget* window);

} // namespace lq
