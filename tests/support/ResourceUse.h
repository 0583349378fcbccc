// Time and peak memory of a piece of work in this process, for tests that hold work to a bound.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>

#include <functional>

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

} // namespace lq::test
