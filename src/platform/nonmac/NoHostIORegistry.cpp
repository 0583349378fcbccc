// Off macOS the running system has no I/O Registry: every root, "/" included, is read as a simulated Mac.
#include "platform/IORegistry.h"

namespace lq {

std::unique_ptr<IORegistry> makeHostIORegistry() {
    return nullptr;
}

} // namespace lq
