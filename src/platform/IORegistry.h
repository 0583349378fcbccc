// Reads of I/O Registry properties: IOKit on a Mac, the simulated root's IORegistry.plist elsewhere.
#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

namespace lq {

class SystemRoot;

class IORegistry {
public:
    virtual ~IORegistry() = default;
    // The raw bytes of a property of the platform expert device; empty when it is missing.
    virtual QByteArray platformExpertProperty(const QString& name) const = 0;
    // The raw bytes of a property of the device-tree entry at `path` ("IODeviceTree:/rom"); empty when
    // missing.
    virtual QByteArray deviceTreeProperty(const QString& path, const QString& name) const = 0;
};

// The registry of the Mac under `root`: the running system's own when the root is this machine's "/"
// and the platform has one (IOKit on macOS), the root's IORegistry.plist otherwise. So a simulated Mac
// is judged the same way on a Mac as on Linux.
std::unique_ptr<IORegistry> makeIORegistry(const SystemRoot& root);

// The running system's registry; none where the platform has no I/O Registry. Which implementation is
// built is chosen when the project is configured.
std::unique_ptr<IORegistry> makeHostIORegistry();

} // namespace lq
