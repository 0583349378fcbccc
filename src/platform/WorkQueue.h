// Where a controller's background work runs: a pool of threads, or, in tests, a queue that holds each
// piece of work until the test lets it go, so that every order of completion can be tried.
#pragma once

#include "platform/ThreadPriority.h"

#include <QString>
#include <QThreadPool>

#include <functional>

namespace lq {

class WorkQueue {
public:
    virtual ~WorkQueue() = default;
    // Runs `work` off the calling thread, some time later. `name` says what the work is (for tests
    // and probes); it changes nothing about how the work runs.
    virtual void start(const QString& name, std::function<void()> work) = 0;
    // Returns once every piece of work started so far has ended.
    virtual void waitForDone() = 0;
};

// The real queue: a thread pool of at most `maxThreads` threads.
class ThreadPoolQueue : public WorkQueue {
public:
    explicit ThreadPoolQueue(int maxThreads) { pool_.setMaxThreadCount(maxThreads); }
    ~ThreadPoolQueue() override { pool_.waitForDone(); }
    void start(const QString&, std::function<void()> work) override {
        pool_.start([work = std::move(work)] {
            lowerThisThreadsPriority();
            work();
        });
    }
    void waitForDone() override { pool_.waitForDone(); }

private:
    QThreadPool pool_;
};

} // namespace lq
