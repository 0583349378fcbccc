// The smallest Qt Widgets application: one window holding one label. The whole-process figures of
// Lanternquill are compared with it. With LQ_EXIT_AFTER_FIRST_PAINT=1 it prints the milliseconds from
// process start to its window's first paint and quits, as the main window does.
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace {

// Milliseconds since the kernel started this process (its start time in /proc is in clock ticks);
// -1 off Linux.
double msSinceProcessStart() {
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

class Label : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override {
        QLabel::paintEvent(event);
        if (painted_ || !qEnvironmentVariableIsSet("LQ_EXIT_AFTER_FIRST_PAINT"))
            return;
        painted_ = true;
        std::printf("first paint after %.1f ms\n", msSinceProcessStart());
        std::fflush(stdout);
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    }

private:
    bool painted_ = false;
};

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    Label label(QStringLiteral("Hello"));
    label.setWindowTitle(QStringLiteral("Minimal"));
    label.resize(240, 80);
    label.show();
    return QApplication::exec();
}
