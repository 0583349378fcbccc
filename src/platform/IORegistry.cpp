// Which I/O Registry a root is judged by.
#include "platform/IORegistry.h"
#include "platform/SystemRoot.h"
#include "platform/sim/SimIORegistry.h"

namespace lq {

std::unique_ptr<IORegistry> makeIORegistry(const SystemRoot& root) {
    if (root.isHostRoot()) {
        if (std::unique_ptr<IORegistry> host = makeHostIORegistry())
            return host;
    }
    return makeSimIORegistry(root);
}

} // namespace lq
