// The I/O Registry of the running Mac through IOKit. Every handle is released by a scoped owner.
// MACH_PORT_NULL asks for the default main port on every macOS version; kIOMainPortDefault, its
// newer name, exists only from macOS 12 on.
#include "platform/IORegistry.h"

#include <CoreFoundation/CoreFoundation.h>
#include <IOKit/IOKitLib.h>

namespace lq {

namespace {

struct IOObject {
    io_registry_entry_t entry = 0;
    explicit IOObject(io_registry_entry_t e) : entry(e) {}
    ~IOObject() {
        if (entry)
            IOObjectRelease(entry);
    }
    IOObject(const IOObject&) = delete;
    IOObject& operator=(const IOObject&) = delete;
};

struct CFOwner {
    CFTypeRef ref = nullptr;
    explicit CFOwner(CFTypeRef r) : ref(r) {}
    ~CFOwner() {
        if (ref)
            CFRelease(ref);
    }
    CFOwner(const CFOwner&) = delete;
    CFOwner& operator=(const CFOwner&) = delete;
};

QByteArray readProperty(io_registry_entry_t entry, const QString& name) {
    if (!entry)
        return {};
    CFOwner key(
        CFStringCreateWithCString(kCFAllocatorDefault, name.toUtf8().constData(), kCFStringEncodingUTF8));
    CFOwner value(
        IORegistryEntryCreateCFProperty(entry, static_cast<CFStringRef>(key.ref), kCFAllocatorDefault, 0));
    if (!value.ref)
        return {};
    if (CFGetTypeID(value.ref) == CFDataGetTypeID()) {
        const auto data = static_cast<CFDataRef>(value.ref);
        return QByteArray(reinterpret_cast<const char*>(CFDataGetBytePtr(data)), CFDataGetLength(data));
    }
    if (CFGetTypeID(value.ref) == CFStringGetTypeID()) {
        char buffer[1024] = {};
        if (CFStringGetCString(static_cast<CFStringRef>(value.ref), buffer, sizeof buffer,
                               kCFStringEncodingUTF8))
            return QByteArray(buffer);
    }
    return {};
}

class IOKitRegistry : public IORegistry {
public:
    QByteArray platformExpertProperty(const QString& name) const override {
        IOObject expert(
            IOServiceGetMatchingService(MACH_PORT_NULL, IOServiceMatching("IOPlatformExpertDevice")));
        return readProperty(expert.entry, name);
    }
    QByteArray deviceTreeProperty(const QString& path, const QString& name) const override {
        IOObject entry(IORegistryEntryFromPath(MACH_PORT_NULL, path.toUtf8().constData()));
        return readProperty(entry.entry, name);
    }
};

} // namespace

std::unique_ptr<IORegistry> makeHostIORegistry() {
    return std::make_unique<IOKitRegistry>();
}

} // namespace lq
