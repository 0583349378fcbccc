// The latest installation of each kind of security data.
#include "check/ViewController.h"

namespace lq {

void ViewController::listInstallHistory() {}

} // namespace lq
