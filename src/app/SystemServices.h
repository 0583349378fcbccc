// The real system services for one root, owned together for the life of the application.
#pragma once

#include "platform/FileSystem.h"
#include "platform/IORegistry.h"
#include "platform/ProcessToolRunner.h"
#include "platform/QtHttpGetter.h"
#include "platform/QtSettingsStore.h"
#include "platform/ReferenceGetter.h"
#include "platform/RootFileSystem.h"
#include "platform/RootSystemInfo.h"
#include "platform/Services.h"

#include <memory>

namespace lq {

class SystemServices {
public:
    explicit SystemServices(const QString& root)
        : tools(SystemRoot(root)), files(SystemRoot(root)), system(SystemRoot(root)),
          ioRegistry(makeIORegistry(SystemRoot(root))) {}

    Services services() { return Services{tools, files, settings, system, *ioRegistry, http}; }

    ProcessToolRunner tools;
    RootFileSystem files;
    QtSettingsStore settings;
    RootSystemInfo system;
    std::unique_ptr<IORegistry> ioRegistry;
    QtHttpGetter network;
    ReferenceGetter http{network}; // every list goes through it: https, http on this machine, file://
};

} // namespace lq
