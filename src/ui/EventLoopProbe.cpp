// The event-loop probe: a fast repeating timer on the main thread; a tick that comes late shows how
// long the thread was busy elsewhere.
#include "ui/EventLoopProbe.h"

#include "check/ViewController.h"
#include "ui/MainWindow.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

#include <algorithm>
#include <cstdio>

namespace lq {

namespace {
// Short enough that a stall of a few milliseconds shows, long enough not to load the thread itself.
constexpr int kTickMs = 2;
} // namespace

EventLoopProbe::EventLoopProbe(std::function<void(const Figures&)> report) : report_(std::move(report)) {
    clock_.start();
    ticks_.setTimerType(Qt::PreciseTimer);
    ticks_.setInterval(kTickMs);
    connect(&ticks_, &QTimer::timeout, this, [this] { worstMs_ = std::max(worstMs_, lateness()); });
    ticks_.start();
}

std::unique_ptr<EventLoopProbe> EventLoopProbe::fromEnvironment() {
    if (qEnvironmentVariable("LQ_EVENT_LOOP_PROBE") != QLatin1String("1"))
        return nullptr;
    return std::make_unique<EventLoopProbe>([](const Figures& figures) {
        std::fprintf(stderr, "probe: launch-stall-ms=%.1f check-stall-ms=%.1f check-wall-ms=%.1f\n",
                     figures.launchStallMs, figures.checkStallMs, figures.checkWallMs);
        std::fflush(stderr);
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    });
}

void EventLoopProbe::watchFirstPaint(QWidget& window) {
    window.installEventFilter(this);
}

void EventLoopProbe::watch(MainWindow& window) {
    watchFirstPaint(window);
    connect(&window.controller(), &ViewController::asyncIdle, this, &EventLoopProbe::checkRunFinished);
}

bool EventLoopProbe::eventFilter(QObject* watched, QEvent* event) {
    // Launch ends on the turn after the paint, once the frame is drawn; the window's own work waiting
    // for the paint (the check run) is released on that turn too, just after this.
    if (event->type() == QEvent::Paint) {
        watched->removeEventFilter(this);
        QTimer::singleShot(0, this, [this] { startCheckRun(); });
    }
    return false;
}

void EventLoopProbe::startCheckRun() {
    figures_.launchStallMs = std::max(worstMs_, lateness());
    worstMs_ = 0;
    checkStartMs_ = nowMs();
}

void EventLoopProbe::checkRunFinished() {
    if (checkStartMs_ < 0 || done_)
        return;
    done_ = true;
    figures_.checkStallMs = std::max(worstMs_, lateness());
    figures_.checkWallMs = nowMs() - checkStartMs_;
    ticks_.stop();
    report_(figures_);
}

double EventLoopProbe::nowMs() const {
    return static_cast<double>(clock_.nsecsElapsed()) / 1e6;
}

double EventLoopProbe::lateness() {
    const double now = nowMs();
    const double late = now - lastAnswerMs_ - kTickMs;
    lastAnswerMs_ = now;
    return std::max(late, 0.0);
}

} // namespace lq
