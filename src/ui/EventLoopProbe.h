// Main-thread responsiveness for bench/run.py. With LQ_EVENT_LOOP_PROBE=1 the windowed application
// measures the longest time its main thread left events unanswered during launch (until the window's
// first paint) and during the first check run (from that paint until the controller has every
// asynchronous result), and the check run's wall time; it prints them on one line of standard error
// and quits. Nothing else uses it.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

class QWidget;

namespace lq {

class MainWindow;

class EventLoopProbe : public QObject {
public:
    struct Figures {
        double launchStallMs = 0;
        double checkStallMs = 0;
        double checkWallMs = 0;
    };

    // Starts counting now: whatever holds the main thread from here until the event loop turns counts.
    explicit EventLoopProbe(std::function<void(const Figures&)> report);
    // A probe that prints its line and quits, when LQ_EVENT_LOOP_PROBE=1; none otherwise.
    static std::unique_ptr<EventLoopProbe> fromEnvironment();

    // Launch ends once `window` has painted, and the first check run starts then.
    void watchFirstPaint(QWidget& window);
    // The first check run has finished (ignored before the first paint and after the first run).
    void checkRunFinished();
    // Both of the above for the main window and its controller's asyncIdle().
    void watch(MainWindow& window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    double nowMs() const;
    // How far past its due time the main thread answers at this moment; the count restarts here.
    double lateness();
    void startCheckRun();

    std::function<void(const Figures&)> report_;
    QElapsedTimer clock_;
    QTimer ticks_;
    double lastAnswerMs_ = 0;
    double worstMs_ = 0;
    double checkStartMs_ = -1;
    bool done_ = false;
    Figures figures_;
};

} // namespace lq
