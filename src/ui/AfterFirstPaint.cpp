// Deferring work until a window's first paint.
#include "ui/AfterFirstPaint.h"

#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <vector>

namespace lq {

namespace {

// Long enough for any real first paint; only a window that never paints waits this long.
constexpr int kFallbackMs = 1000;

class FirstPaintWaiter : public QObject {
public:
    explicit FirstPaintWaiter(QWidget* window) : QObject(window), window_(window) {
        setObjectName(QStringLiteral("lq-first-paint-waiter"));
        window->installEventFilter(this);
        QTimer::singleShot(kFallbackMs, this, [this] { release(); });
    }
    void add(std::function<void()> then) { pending_.push_back(std::move(then)); }

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        // Released on the next turn, after the painted frame has been handed to the window system.
        if (event->type() == QEvent::Paint)
            QTimer::singleShot(0, this, [this] { release(); });
        return false;
    }

private:
    void release() {
        if (released_)
            return;
        released_ = true;
        setObjectName(QString()); // later work waits for the next paint with a waiter of its own
        if (window_)
            window_->removeEventFilter(this);
        // Each piece of work keeps its own turn, as if each had been posted on its own.
        for (std::function<void()>& then : pending_)
            QTimer::singleShot(0, window_.data(), std::move(then));
        pending_.clear();
        deleteLater();
    }

    QPointer<QWidget> window_;
    std::vector<std::function<void()>> pending_;
    bool released_ = false;
};

} // namespace

void runAfterFirstPaint(QWidget* window, std::function<void()> then) {
    auto* waiter = static_cast<FirstPaintWaiter*>(
        window->findChild<QObject*>(QStringLiteral("lq-first-paint-waiter"), Qt::FindDirectChildrenOnly));
    if (!waiter)
        waiter = new FirstPaintWaiter(window);
    waiter->add(std::move(then));
}

} // namespace lq
