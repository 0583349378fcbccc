// Time and peak memory of a piece of work in this process, for tests that hold work to a bound.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <functional>

#ifdef __APPLE__
#include <atomic>
#include <chrono>
#include <thread>

#include <mach/mach.h>
#endif

namespace lq::test {

#if defined(__SANITIZE_ADDRESS__)
#define LQ_TEST_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LQ_TEST_UNDER_ASAN 1
#endif
#endif

#ifdef LQ_TEST_UNDER_ASAN
// AddressSanitizer keeps freed memory in a quarantine (256 MiB by default) before it reuses it, so work
// that frees as much as it keeps peaks higher under it. Bounds on such work allow for that.
inline constexpr qint64 kSanitizerQuarantineKiB = 256 * 1024;
// Code checked by the sanitizers runs about three times slower; bounds on time allow for that.
inline constexpr double kSanitizerSlowdown = 3.0;
#else
inline constexpr qint64 kSanitizerQuarantineKiB = 0;
inline constexpr double kSanitizerSlowdown = 1.0;
#endif

struct ResourceUse {
    double seconds = 0;
    qint64 peakGrowthKiB = 0; // how far the peak resident size rose above the size before the work
};

#ifdef __APPLE__
// This process's resident size in KiB, 0 when unreadable.
inline qint64 residentKiB() {
    mach_task_basic_info_data_t info{};
    mach_msg_type_number_t count = MACH_TASK_BASIC_INFO_COUNT;
    if (task_info(mach_task_self(), MACH_TASK_BASIC_INFO, reinterpret_cast<task_info_t>(&info), &count) !=
        KERN_SUCCESS)
        return 0;
    return static_cast<qint64>(info.resident_size / 1024);
}

// Runs `work` and measures it. A Mac keeps no peak that can be reset, so the resident size is sampled
// every millisecond while the work runs, and the largest sample is its peak.
inline ResourceUse measure(const std::function<void()>& work) {
    const qint64 before = residentKiB();
    std::atomic<bool> done{false};
    std::atomic<qint64> peak{before};
    std::thread sampler([&] {
        while (!done.load()) {
            const qint64 now = residentKiB();
            if (now > peak.load())
                peak.store(now);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    QElapsedTimer timer;
    timer.start();
    work();
    ResourceUse use;
    use.seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    done.store(true);
    sampler.join();
    use.peakGrowthKiB = std::max(peak.load(), residentKiB()) - before;
    return use;
}
#else
// A "Vm…:" figure of /proc/self/status in KiB, 0 when unreadable.
inline qint64 procStatusKiB(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

// Runs `work` and measures it. The kernel's peak (VmHWM) is reset first where allowed, so the peak is
// the work's own and not an earlier test's.
inline ResourceUse measure(const std::function<void()>& work) {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
    clear.close();
    const qint64 before = procStatusKiB("VmRSS");
    QElapsedTimer timer;
    timer.start();
    work();
    ResourceUse use;
    use.seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    use.peakGrowthKiB = procStatusKiB("VmHWM") - before;
    return use;
}

#endif

} // namespace lq::test
