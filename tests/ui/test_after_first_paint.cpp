// Work deferred until a window has painted: the first check run and the launch tasks run their tools
// on the main thread, so they must not start while the window is still blank.
#include "support/Harness.h"
#include "ui/AfterFirstPaint.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QWidget>

#include <gtest/gtest.h>

namespace lq::test {
namespace {

// Notes when the watched widget gets its first paint event.
struct PaintWatch : QObject {
    bool painted = false;
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        painted = painted || event->type() == QEvent::Paint;
        return false;
    }
};

TEST(AfterFirstPaint, WaitsForThePaintAndKeepsTheOrder) {
    QWidget window;
    PaintWatch watch;
    window.installEventFilter(&watch);
    QStringList ran;
    bool paintedFirst = false;
    runAfterFirstPaint(&window, [&] {
        paintedFirst = watch.painted;
        ran.append(QStringLiteral("check run"));
    });
    runAfterFirstPaint(&window, [&] { ran.append(QStringLiteral("launch tasks")); });

    // Turns of the event loop alone start nothing while the window is not on screen.
    QElapsedTimer idle;
    idle.start();
    while (idle.elapsed() < 200)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_TRUE(ran.isEmpty());

    window.show();
    ASSERT_TRUE(waitFor([&] { return ran.size() == 2; }, 5000)) << ran.join(',').toStdString();
    EXPECT_TRUE(paintedFirst);
    EXPECT_EQ(ran, (QStringList{QStringLiteral("check run"), QStringLiteral("launch tasks")}));
}

TEST(AfterFirstPaint, AWindowThatNeverPaintsStillGetsItsWorkDone) {
    QWidget window; // never shown, so never painted
    bool ran = false;
    runAfterFirstPaint(&window, [&] { ran = true; });
    EXPECT_TRUE(waitFor([&] { return ran; }, 5000));
}

TEST(AfterFirstPaint, WorkAddedByEarlierWorkStillRuns) {
    // The waiter that ran the first piece is finished with; the second must not be handed to it.
    QWidget window;
    bool second = false;
    runAfterFirstPaint(&window, [&] { runAfterFirstPaint(&window, [&] { second = true; }); });
    window.show();
    EXPECT_TRUE(waitFor([&] { return second; }, 5000));
}

} // namespace
} // namespace lq::test
