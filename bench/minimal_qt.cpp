// The smallest Qt Widgets application: one window holding one label. The whole-process figures of
// Lanternquill are compared with it. With LQ_EXIT_AFTER_FIRST_PAINT=1 it prints the milliseconds from
// process start to its window's first paint and quits, as the main window does.
#include "platform/ProcessClock.h"

#include <QApplication>
#include <QLabel>
#include <QTimer>

#include <cstdio>

namespace {

class Label : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override {
        QLabel::paintEvent(event);
        if (painted_ || !qEnvironmentVariableIsSet("LQ_EXIT_AFTER_FIRST_PAINT"))
            return;
        painted_ = true;
        std::printf("first paint after %.1f ms\n", lq::msSinceProcessStart());
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
