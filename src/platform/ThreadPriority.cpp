#include "platform/ThreadPriority.h"

#ifdef __APPLE__
#include <pthread.h>
#include <pthread/qos.h>
#else
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace lq {

void lowerThisThreadsPriority() {
    thread_local bool lowered = false;
    if (lowered)
        return;
    lowered = true;
#ifdef __APPLE__
    pthread_set_qos_class_self_np(QOS_CLASS_UTILITY, 0);
#else
    // A niceness of 5 gives the thread about a third of the window's share of a busy core; it is never
    // starved. Linux keeps niceness per thread, so only this thread (and what it starts) changes.
    constexpr int kBackgroundNiceness = 5;
    const int current = getpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)));
    if (current < kBackgroundNiceness)
        setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), kBackgroundNiceness);
#endif
}

} // namespace lq
