// The I/O Registry of a simulated Mac: <root>/IORegistry.plist, a dictionary of entries whose
// properties are <data> (raw bytes) or <string>.
#include "platform/sim/SimIORegistry.h"
#include "platform/PropertyList.h"
#include "platform/RegularFile.h"
#include "platform/SystemRoot.h"

namespace lq {

namespace {

class SimIORegistry : public IORegistry {
public:
    explicit SimIORegistry(const SystemRoot& root) : path_(root.map(QStringLiteral("/IORegistry.plist"))) {}

    QByteArray platformExpertProperty(const QString& name) const override {
        return property(QStringLiteral("IOPlatformExpertDevice"), name);
    }
    QByteArray deviceTreeProperty(const QString& path, const QString& name) const override {
        return property(path, name);
    }

private:
    // Read afresh each time, as IOKit would be asked afresh.
    QByteArray property(const QString& entry, const QString& name) const {
        constexpr qint64 kMaxBytes = 16 * 1024 * 1024;
        const FileRead read = readRegularFile(path_, QStringLiteral("IORegistry.plist"), kMaxBytes);
        if (!read.bytes)
            return {};
        const plist::ParseResult parsed = plist::parse(*read.bytes);
        if (!parsed.document)
            return {};
        const plist::Node value =
            parsed.document->root()[entry.toUtf8().constData()][name.toUtf8().constData()];
        if (auto bytes = value.data())
            return *bytes;
        if (auto text = value.string())
            return text->toUtf8();
        return {};
    }
    QString path_;
};

} // namespace

std::unique_ptr<IORegistry> makeSimIORegistry(const SystemRoot& root) {
    return std::make_unique<SimIORegistry>(root);
}

} // namespace lq
