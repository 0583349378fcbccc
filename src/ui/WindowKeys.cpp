// The keys and the focus ring every window shares.
#include "ui/WindowKeys.h"

#include <QAction>
#include <QApplication>
#include <QFocusFrame>
#include <QKeySequence>
#include <QScreen>
#include <QStyle>
#include <QWidget>

namespace lq {

void addCloseKeys(QWidget* window, bool escapeToo) {
    auto* close = new QAction(window);
    close->setObjectName(QStringLiteral("closeWindow"));
    QList<QKeySequence> keys = QKeySequence::keyBindings(QKeySequence::Close);
    // Some platforms bind only Ctrl+F4; Ctrl+W is the key Mac users reach for (it is ⌘W on the Mac).
    const QKeySequence closeKey(Qt::CTRL | Qt::Key_W);
    if (!keys.contains(closeKey))
        keys.append(closeKey);
    if (escapeToo)
        keys.append(QKeySequence(Qt::Key_Escape));
    close->setShortcuts(keys);
    close->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(close, &QAction::triggered, window, &QWidget::close);
    window->addAction(close);
}

void bringToFront(QWidget* window) {
    window->show();
    window->raise();
    window->activateWindow();
}

void resizeWithinScreen(QWidget* window, QSize preferred) {
    if (const QScreen* screen = window->screen())
        preferred = preferred.boundedTo(screen->availableGeometry().size() * 0.95);
    window->resize(preferred.expandedTo(window->minimumSizeHint()));
}

void addFocusRing(QWidget* window) {
    const QStyle* style = window->style();
    if (style->name() == QLatin1String("macos") || style->inherits("QMacStyle"))
        return;
    auto* ring = new QFocusFrame(window);
    ring->setObjectName(QStringLiteral("focusRing"));
    // A style sheet on the ring alone: every other widget keeps the platform's own look.
    ring->setStyleSheet(
        QStringLiteral("QFocusFrame { border: 2px solid palette(highlight); border-radius: 4px; }"));
    QObject::connect(qApp, &QApplication::focusChanged, ring, [ring, window](QWidget*, QWidget* now) {
        // Only the window that has the keyboard shows a ring.
        ring->setWidget(now && now->window() == window ? now : nullptr);
    });
}

} // namespace lq
