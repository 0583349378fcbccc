// Work that a window's controller hands off the main thread. Each piece runs on a work queue and gives
// its result back with a queued call to the owner's thread, the main thread, where it is applied; the
// owner counts the piece as pending from the start until its result has been applied.
#pragma once

#include "platform/Services.h"
#include "platform/WorkQueue.h"

#include <QMetaObject>
#include <QObject>
#include <QString>

#include <functional>
#include <utility>

namespace lq {

class Background {
public:
    // `beginWork` and `endWork` run on the main thread around each piece of work (and each fetch that
    // a step starts), so that the owner knows when nothing is left.
    Background(WorkQueue& queue, QObject& owner, std::function<void()> beginWork,
               std::function<void()> endWork)
        : queue_(queue), owner_(owner), beginWork_(std::move(beginWork)), endWork_(std::move(endWork)) {}

    WorkQueue& queue() const { return queue_; }
    QObject& owner() const { return owner_; }
    void beginWork() const {
        if (beginWork_)
            beginWork_();
    }
    void endWork() const {
        if (endWork_)
            endWork_();
    }

    // Runs `work` on the main thread once the current event has been handled.
    void post(std::function<void()> work) const {
        QMetaObject::invokeMethod(&owner_, std::move(work), Qt::QueuedConnection);
    }

    // Runs `work` off the main thread, then `apply` with its result on the main thread. The work gets
    // copies of what it needs: it must read nothing that the main thread owns.
    template <typename Result>
    void run(const QString& name, std::function<Result()> work, std::function<void(Result)> apply) const {
        beginWork();
        queue_.start(name,
                     [owner = &owner_, end = endWork_, work = std::move(work), apply = std::move(apply)] {
                         Result result = work();
                         QMetaObject::invokeMethod(
                             owner,
                             [result = std::move(result), apply, end] {
                                 apply(result);
                                 if (end)
                                     end();
                             },
                             Qt::QueuedConnection);
                     });
    }

private:
    WorkQueue& queue_;
    QObject& owner_;
    std::function<void()> beginWork_;
    std::function<void()> endWork_;
};

// What every step of a check run is handed: the system's services and the way off the main thread.
struct StepServices {
    Services services;
    const Background& background;
};

} // namespace lq
