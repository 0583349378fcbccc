// Boot firmware currency: EFI on Intel Macs, iBoot on Apple silicon.
#include "check/ViewController.h"

namespace lq {

void ViewController::checkFirmware() {}

} // namespace lq
