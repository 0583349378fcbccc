// Stand-ins for the system services.
#include "support/FakeServices.h"

#include <QMutexLocker>
#include <QTimer>

namespace lq::test {

QString FakeTools::keyOf(const QString& path, const QStringList& args) {
    return (QStringList{path} + args).join(QChar(0x1f));
}

ToolRun FakeTools::run(const QString& path, const QStringList& args, ErrorStream, const QByteArray* input) {
    QMutexLocker lock(&mutex_);
    calls_.push_back({path, args, input ? *input : QByteArray()});
    const auto found = answers_.constFind(keyOf(path, args));
    if (found == answers_.constEnd())
        return ToolRun{kToolNotStartedStatus, {}, {}};
    return *found;
}

void FakeTools::answer(const QString& path, const QStringList& args, ToolRun result) {
    QMutexLocker lock(&mutex_);
    answers_.insert(keyOf(path, args), std::move(result));
}

void FakeTools::answer(const QString& path, const QStringList& args, const QString& out, int status,
                       const QString& err) {
    answer(path, args, ToolRun{status, out.toUtf8(), err.toUtf8()});
}

std::vector<FakeTools::Call> FakeTools::calls() const {
    QMutexLocker lock(&mutex_);
    return calls_;
}

int FakeTools::callCount(const QString& path) const {
    QMutexLocker lock(&mutex_);
    int count = 0;
    for (const Call& call : calls_)
        count += call.path == path ? 1 : 0;
    return count;
}

FileRead FakeFileSystem::readMacFile(const QString& macPath, qint64 maxBytes) const {
    const auto found = files.constFind(macPath);
    if (found == files.constEnd())
        return {
            std::nullopt,
            QStringLiteral("The file “%1” couldn’t be opened because there is no such file.").arg(macPath)};
    if (found->size() > maxBytes)
        return {std::nullopt, QStringLiteral("too large")};
    return {*found, QString()};
}

std::optional<qint64> FakeFileSystem::countMacDirectoryEntries(const QString& macPath) const {
    const auto found = directories.constFind(macPath);
    if (found == directories.constEnd())
        return std::nullopt;
    return *found;
}

QString FakeFileSystem::writeUserFile(const QString& localPath, const QByteArray& bytes) {
    if (!writeError.isEmpty())
        return writeError;
    written.insert(localPath, bytes);
    return QString();
}

void FakeHttp::get(const QString& url, std::function<void(const HttpResponse&)> done) {
    requested.append(url);
    HttpResponse response;
    if (const auto found = responses.constFind(url); found != responses.constEnd()) {
        response = *found;
    } else {
        response.transportError = true;
        response.errorText = QStringLiteral("Could not connect to the server.");
    }
    auto answer = [response, done = std::move(done)] {
        QTimer::singleShot(0, [response, done] { done(response); });
    };
    if (holding)
        held_.emplace_back(url, std::move(answer));
    else
        answer();
}

bool FakeHttp::release(const QString& url) {
    for (auto it = held_.begin(); it != held_.end(); ++it) {
        if (it->first == url) {
            auto answer = std::move(it->second);
            held_.erase(it);
            answer();
            return true;
        }
    }
    return false;
}

QStringList FakeHttp::held() const {
    QStringList urls;
    for (const auto& entry : held_)
        urls << entry.first;
    return urls;
}

void HoldingQueue::start(const QString& name, std::function<void()> work) {
    if (holding)
        held_.emplace_back(name, std::move(work));
    else
        pool_.start(name, std::move(work));
}

QStringList HoldingQueue::held() const {
    QStringList names;
    for (const auto& entry : held_)
        names << entry.first;
    return names;
}

bool HoldingQueue::release(const QString& name) {
    for (auto it = held_.begin(); it != held_.end(); ++it) {
        if (it->first == name) {
            auto work = std::move(it->second);
            held_.erase(it);
            work();
            return true;
        }
    }
    return false;
}

int HoldingQueue::releaseAllExcept(const QStringList& keep) {
    int ran = 0;
    for (bool found = true; found;) {
        found = false;
        for (auto it = held_.begin(); it != held_.end(); ++it) {
            if (!keep.contains(it->first)) {
                auto work = std::move(it->second);
                held_.erase(it);
                work();
                ++ran;
                found = true;
                break;
            }
        }
    }
    return ran;
}

} // namespace lq::test
