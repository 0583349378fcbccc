// The event-loop probe behind the benchmarks' main-thread figures: each stall must be counted in the
// phase it happens in, and the check run's wall time must run from the first paint to its end.
#include "support/Harness.h"
#include "ui/AfterFirstPaint.h"
#include "ui/EventLoopProbe.h"

#include <QThread>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <optional>

namespace lq::test {
namespace {

TEST(EventLoopProbe, PutsEachStallInItsPhaseAndTimesTheCheckRun) {
    std::optional<EventLoopProbe::Figures> figures;
    int reports = 0;
    EventLoopProbe probe([&](const EventLoopProbe::Figures& f) {
        figures = f;
        ++reports;
    });
    QWidget window;
    window.resize(200, 100);
    probe.watchFirstPaint(window);
    // A finish reported before the window is up is not the check run's.
    probe.checkRunFinished();

    // Launch: the thread is busy before the event loop first turns, as with work done before showing.
    QThread::msleep(400);
    window.show();
    // The check run: released after the paint like the real one, it holds the thread for 150 ms and
    // ends 100 ms later. The launch's longer stall must not count for it, nor its own for the launch.
    runAfterFirstPaint(&window, [&] {
        QThread::msleep(150);
        QTimer::singleShot(100, &window, [&] { probe.checkRunFinished(); });
    });
    ASSERT_TRUE(waitFor([&] { return figures.has_value(); }, 10000));

    EXPECT_GE(figures->launchStallMs, 395.0);
    EXPECT_GE(figures->checkStallMs, 145.0);
    EXPECT_LT(figures->checkStallMs, 395.0);
    EXPECT_GE(figures->checkWallMs, 250.0);
    EXPECT_LT(figures->checkWallMs, 5000.0);

    // Only the first run is measured.
    probe.checkRunFinished();
    EXPECT_EQ(reports, 1);
}

TEST(EventLoopProbe, OnlyTheVariableTurnsItOn) {
    qunsetenv("LQ_EVENT_LOOP_PROBE");
    EXPECT_EQ(EventLoopProbe::fromEnvironment(), nullptr);
    qputenv("LQ_EVENT_LOOP_PROBE", "0");
    EXPECT_EQ(EventLoopProbe::fromEnvironment(), nullptr);
    qputenv("LQ_EVENT_LOOP_PROBE", "1");
    EXPECT_NE(EventLoopProbe::fromEnvironment(), nullptr);
    qunsetenv("LQ_EVENT_LOOP_PROBE");
}

} // namespace
} // namespace lq::test
