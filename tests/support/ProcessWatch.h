// Watching the processes a tool started, for the tests of quitting and of signals: tool scripts that
// hang after writing their process ids, and checks that those processes have ended.
#pragma once

#include "support/Harness.h"

#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QThread>

#include <algorithm>

#ifdef __APPLE__
#include <sys/proc.h>
#include <sys/sysctl.h>
#include <sys/types.h>
#endif

namespace lq::test {

// Whether the process `pid` has ended; one that has ended but is not yet reaped counts as ended.
#ifdef __APPLE__
// A Mac has no /proc: the kernel's process table says whether the process is there, and a zombie.
inline bool processEnded(qint64 pid) {
    int query[4] = {CTL_KERN, KERN_PROC, KERN_PROC_PID, static_cast<int>(pid)};
    kinfo_proc info{};
    size_t size = sizeof info;
    if (sysctl(query, 4, &info, &size, nullptr, 0) != 0 || size == 0)
        return true;
    return info.kp_proc.p_stat == SZOMB;
}
#else
inline bool processEnded(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray text = stat.readAll();
    const qsizetype nameEnd = text.lastIndexOf(')');
    return nameEnd < 0 || text.mid(nameEnd + 2, 1) == "Z";
}
#endif

// Waits up to `timeoutMs` for every process in `pids` to end.
inline bool allEnded(const QList<qint64>& pids, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        if (std::all_of(pids.begin(), pids.end(), processEnded))
            return true;
        if (timer.elapsed() > timeoutMs)
            return false;
        QThread::msleep(10);
    }
}

// The process ids written into `file`, one a line, once there are `count` of them (or what there is
// after `timeoutMs`).
inline QList<qint64> waitForPids(const QString& file, int count, int timeoutMs = 10000) {
    QList<qint64> pids;
    waitFor(
        [&] {
            QFile list(file);
            pids.clear();
            if (list.open(QIODevice::ReadOnly))
                for (const QByteArray& line : list.readAll().split('\n'))
                    if (!line.trimmed().isEmpty())
                        pids.append(line.trimmed().toLongLong());
            return pids.size() >= count;
        },
        timeoutMs);
    return pids;
}

// The body of a tool script that starts a child, writes the child's process id and its own into
// `pidFile`, and waits for ever.
inline QByteArray hangingScript(const QString& pidFile) {
    const QByteArray file = pidFile.toLocal8Bit();
    return "sleep 1000 &\necho $! >> '" + file + "'\necho $$ >> '" + file + "'\nwait\n";
}

} // namespace lq::test
