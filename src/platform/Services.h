// The system services a controller is handed when it is made. Tests hand in their own.
#pragma once

namespace lq {

class ToolRunner;
class FileSystem;
class SettingsStore;
class SystemInfo;
class IORegistry;
class HttpGetter;

struct Services {
    ToolRunner& tools;
    FileSystem& files;
    SettingsStore& settings;
    SystemInfo& system;
    IORegistry& ioRegistry;
    HttpGetter& http;
};

} // namespace lq
