// Background threads yield to the window's thread when the processor is busy: a check run starts a
// dozen tools at once, and on a machine with few cores the starting and reading of them would otherwise
// take turns with the painting of the window.
#pragma once

namespace lq {

// Lowers the calling thread's scheduling priority a little (once per thread; later calls do nothing).
// On Linux the tools the thread starts inherit it; on a Mac the thread runs at the utility service class.
void lowerThisThreadsPriority();

} // namespace lq
