// The I/O Registry of a simulated Mac, read from <root>/IORegistry.plist.
#pragma once

#include "platform/IORegistry.h"

namespace lq {

std::unique_ptr<IORegistry> makeSimIORegistry(const SystemRoot& root);

} // namespace lq
