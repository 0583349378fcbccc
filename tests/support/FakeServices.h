// Stand-ins for the system services, for tests that drive controllers without a Mac.
#pragma once

#include "platform/FileSystem.h"
#include "platform/HttpGetter.h"
#include "platform/IORegistry.h"
#include "platform/SettingsStore.h"
#include "platform/SystemInfo.h"
#include "platform/ToolRunner.h"
#include "platform/WorkQueue.h"

#include <QHash>
#include <QMap>
#include <QMutex>
#include <QTimeZone>
#include <QVariant>

#include <atomic>
#include <deque>
#include <functional>
#include <vector>

namespace lq::test {

// Answers tool runs from a table keyed by "path arg1 arg2 …" and records every call. Thread-safe,
// because background operations run tools too.
class FakeTools : public ToolRunner {
public:
    struct Call {
        QString path;
        QStringList args;
        QByteArray input;
    };
    ToolRun run(const QString& path, const QStringList& args, ErrorStream errorStream,
                const QByteArray* input) override;

    // What the tool answers; an unknown invocation exits 127 as a missing tool would.
    void answer(const QString& path, const QStringList& args, ToolRun result);
    void answer(const QString& path, const QStringList& args, const QString& out, int status = 0,
                const QString& err = QString());
    void endAll() override { ++endAllCalls; }
    std::vector<Call> calls() const;
    int callCount(const QString& path) const;
    std::atomic<int> endAllCalls = 0;

private:
    static QString keyOf(const QString& path, const QStringList& args);
    mutable QMutex mutex_;
    QHash<QString, ToolRun> answers_;
    std::vector<Call> calls_;
};

class MemorySettings : public SettingsStore {
public:
    bool boolValue(const QString& key) const override { return values.value(key).toBool(); }
    double doubleValue(const QString& key) const override { return values.value(key).toDouble(); }
    QString stringValue(const QString& key) const override { return values.value(key).toString(); }
    void setBool(const QString& key, bool value) override { values.insert(key, value); }
    void setDouble(const QString& key, double value) override { values.insert(key, value); }
    QMap<QString, QVariant> values;
};

class FakeSystemInfo : public SystemInfo {
public:
    OsVersion osVersion() const override { return version; }
    QString userName() const override { return user; }
    QDateTime now() const override { return clock; }
    OsVersion version{14, 5, QStringLiteral("Version 14.5 (Build 23F79)")};
    QString user = QStringLiteral("tester");
    QDateTime clock = QDateTime(QDate(2025, 3, 2), QTime(9, 30, 0), Qt::UTC);
};

class FakeIORegistry : public IORegistry {
public:
    QByteArray platformExpertProperty(const QString& name) const override { return expert.value(name); }
    QByteArray deviceTreeProperty(const QString& path, const QString& name) const override {
        return tree.value(path + QLatin1Char('#') + name);
    }
    QHash<QString, QByteArray> expert;
    QHash<QString, QByteArray> tree; // "IODeviceTree:/rom#version"
};

// Files of the judged Mac from a table; writes recorded.
class FakeFileSystem : public FileSystem {
public:
    FileRead readMacFile(const QString& macPath, qint64 maxBytes) const override;
    bool isMacDirectory(const QString& macPath) const override { return directories.contains(macPath); }
    std::optional<qint64> countMacDirectoryEntries(const QString& macPath) const override;
    QString writeUserFile(const QString& localPath, const QByteArray& bytes) override;

    QHash<QString, QByteArray> files;
    QHash<QString, qint64> directories; // path → number of entries
    QHash<QString, QByteArray> written;
    QString writeError; // when set, every write fails with it
};

// Answers GETs from a queue, on the next turn of the event loop like a real client. While `holding`
// is set, each answer waits until the test releases its URL.
class FakeHttp : public HttpGetter {
public:
    void get(const QString& url, std::function<void(const HttpResponse&)> done) override;
    QHash<QString, HttpResponse> responses; // by URL; an unknown URL is a transport error
    QStringList requested;

    bool holding = false;
    // Sends the held answer to the first request of `url`; false when none is held.
    bool release(const QString& url);
    // The URLs whose answers are held, in request order.
    QStringList held() const;

private:
    std::vector<std::pair<QString, std::function<void()>>> held_;
};

// Background work on a real thread pool, or, while `holding` is set, held until the test releases
// it; released work runs on the calling thread at once (its result reaches the main thread as usual,
// on the next turn of the event loop).
class HoldingQueue : public WorkQueue {
public:
    void start(const QString& name, std::function<void()> work) override;
    void waitForDone() override { pool_.waitForDone(); }

    bool holding = false;
    // The names of the held pieces of work, in the order they were started.
    QStringList held() const;
    // Runs the first held piece named `name`; false when there is none.
    bool release(const QString& name);
    // Runs every held piece whose name is not in `keep`, also those that released work starts;
    // gives back how many ran.
    int releaseAllExcept(const QStringList& keep = {});

private:
    ThreadPoolQueue pool_{8};
    std::deque<std::pair<QString, std::function<void()>>> held_;
};

} // namespace lq::test
