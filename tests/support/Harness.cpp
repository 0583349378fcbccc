// The controller harness and temporary simulated Macs.
#include "support/Harness.h"

#include "app/MainMenu.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <stdexcept>

namespace lq::test {

Harness::Harness(const QString& referenceBaseUrl)
    : vc(std::make_unique<ViewController>(services(), view, menus, referenceBaseUrl, &queue)) {}

ViewController& Harness::make() {
    const QString url = vc->referenceBaseUrl;
    vc.reset();
    vc = std::make_unique<ViewController>(services(), view, menus, url, &queue);
    return *vc;
}

void Harness::hold() {
    queue.holding = true;
    http.holding = true;
}

bool Harness::settleExcept(const QStringList& keep, int timeoutMs) {
    return waitFor(
        [&] {
            int released = queue.releaseAllExcept(keep);
            for (const QString& url : http.held()) {
                if (!keep.contains(url))
                    released += http.release(url) ? 1 : 0;
            }
            return released == 0 && vc->pendingWork() == queue.held().size() + http.held().size();
        },
        timeoutMs);
}

bool Harness::finish(int timeoutMs) {
    queue.holding = false;
    http.holding = false;
    return waitFor(
        [&] {
            queue.releaseAllExcept();
            for (const QString& url : http.held())
                http.release(url);
            return vc->pendingWork() == 0;
        },
        timeoutMs);
}

void Harness::addMainMenu() {
    buildMainMenu(menus, *vc, nullptr);
}

bool waitFor(const std::function<bool()>& done, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(1);
    }
    return true;
}

bool waitUntilIdle(ViewController& vc, int timeoutMs) {
    return waitFor([&vc] { return vc.pendingWork() == 0; }, timeoutMs);
}

TempRoot::TempRoot(const QString& bundledName) {
    if (!dir_.isValid())
        throw std::runtime_error("no temporary folder");
    path_ = dir_.path() + QStringLiteral("/root");
    const QString source = QStringLiteral(LQ_SOURCE_DIR "/sim/") + bundledName;
    if (!QFileInfo(source).isDir())
        throw std::runtime_error("no such simulated Mac: " + bundledName.toStdString());
    QDirIterator it(source, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories | QDirIterator::FollowSymlinks);
    QDir().mkpath(path_);
    while (it.hasNext()) {
        const QString from = it.next();
        const QFileInfo info(from);
        const QString to = path_ + from.mid(source.size());
        if (info.isDir()) {
            QDir().mkpath(to);
        } else {
            QDir().mkpath(QFileInfo(to).path());
            QFile::copy(info.canonicalFilePath(), to);
            QFile::setPermissions(to, QFileInfo(info.canonicalFilePath()).permissions() |
                                          QFileDevice::WriteOwner);
        }
    }
}

void TempRoot::overrideTool(const QString& key, const QByteArray& out, int status, const QByteArray& err) {
    const QString dir = path_ + QStringLiteral("/.sim/override/");
    QDir().mkpath(dir);
    auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile file(dir + name);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(bytes);
    };
    write(key + QStringLiteral(".out"), out);
    write(key + QStringLiteral(".err"), err);
    write(key + QStringLiteral(".status"), QByteArray::number(status));
}

void TempRoot::recordCalls() {
    QDir().mkpath(path_ + QStringLiteral("/.sim"));
    QFile file(path_ + QStringLiteral("/.sim/calls.log"));
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
}

QStringList TempRoot::calls() const {
    QFile file(path_ + QStringLiteral("/.sim/calls.log"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void TempRoot::writeFile(const QString& macPath, const QByteArray& bytes) {
    const QString to = path_ + macPath;
    QDir().mkpath(QFileInfo(to).path());
    QFile file(to);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

QString writeScript(const QString& dir, const QString& name, const QByteArray& body) {
    const QString path = dir + QLatin1Char('/') + name;
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write("#!/bin/sh\n");
        file.write(body);
    }
    file.close();
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                    QFileDevice::ReadGroup | QFileDevice::ExeGroup);
    return path;
}

} // namespace lq::test
