// How long this process has been running, for start-up timing. Header-only, so that a program that
// links nothing of the application (the benchmarks' minimal Qt program) measures the same way.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>

#ifdef __linux__
#include <ctime>
#include <unistd.h>
#endif

namespace lq {

// Milliseconds since the kernel started this process (Linux keeps the start time in clock ticks
// since boot); -1 where the system does not say.
inline double msSinceProcessStart() {
#ifndef __linux__
    return -1;
#else
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    // The fields after the command name, which is in parentheses and may hold blanks.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 20)
        return -1;
    const double startTicks = fields[19].toDouble();
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const double nowMs = static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
    return nowMs - startTicks * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
#endif
}

} // namespace lq
