// Shared pieces of the fuzz targets: a Qt application object, services that answer from the fuzzer's
// input instead of the system, a walk over a decoded property list, and the way a broken rule stops a
// run.
#pragma once

#include "platform/FileSystem.h"
#include "platform/HttpGetter.h"
#include "platform/IORegistry.h"
#include "platform/PropertyList.h"
#include "platform/Services.h"
#include "platform/SettingsStore.h"
#include "platform/SystemInfo.h"
#include "platform/ToolRunner.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>

#include <cstddef>
#include <cstdint>

namespace lq::fuzz {

// A rule that must hold for every input did not: libFuzzer records the input as a crash.
[[noreturn]] void fail(const char* rule);
inline void require(bool holds, const char* rule) {
    if (!holds)
        fail(rule);
}

inline QByteArray bytesOf(const uint8_t* data, size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

// Makes the QCoreApplication that controllers and timers need, once per process.
void ensureApplication();

// Reads every value of a decoded list the way the checks read them, and checks that no list is deeper
// than the decoder allows.
void walk(const plist::Node& node);

// Every value of a decoded list as text, to compare two decodings of the same bytes. Each value
// takes one from `budget`; once it is spent the rest reads "…", alike for two equal decodings.
QString describe(const plist::Node& node, qint64& budget);

// Services for a controller: tools answer what `answers` holds for their path (127 otherwise), and
// nothing else touches the system.
class InputTools : public ToolRunner {
public:
    ToolRun run(const QString& path, const QStringList& args, ErrorStream errorStream,
                const QByteArray* input) override;
    void endAll() override {} // it starts no processes
    QHash<QString, ToolRun> answers;
};
class NoFiles : public FileSystem {
public:
    FileRead readMacFile(const QString& macPath, qint64 maxBytes) const override;
    bool isMacDirectory(const QString&) const override { return false; }
    std::optional<qint64> countMacDirectoryEntries(const QString&) const override { return std::nullopt; }
    QString writeUserFile(const QString&, const QByteArray&) override { return QStringLiteral("no files"); }
};
class NoSettings : public SettingsStore {
public:
    bool boolValue(const QString&) const override { return false; }
    double doubleValue(const QString&) const override { return 0; }
    QString stringValue(const QString&) const override { return QString(); }
    void setBool(const QString&, bool) override {}
    void setDouble(const QString&, double) override {}
};
class FixedSystem : public SystemInfo {
public:
    OsVersion osVersion() const override { return {15, 5, QStringLiteral("Version 15.5 (Build 24F74)")}; }
    QString userName() const override { return QStringLiteral("fuzz"); }
    QDateTime now() const override;
};
class NoRegistry : public IORegistry {
public:
    QByteArray platformExpertProperty(const QString&) const override { return {}; }
    QByteArray deviceTreeProperty(const QString&, const QString&) const override { return {}; }
};
class NoHttp : public HttpGetter {
public:
    void get(const QString&, std::function<void(const HttpResponse&)>) override {}
};

struct InputServices {
    InputTools tools;
    NoFiles files;
    NoSettings settings;
    FixedSystem system;
    NoRegistry ioRegistry;
    NoHttp http;
    Services services() { return Services{tools, files, settings, system, ioRegistry, http}; }
};

} // namespace lq::fuzz
