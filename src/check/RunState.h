// What the main window's controller keeps between and during check runs, apart from the hardware
// facts: the settings read at load, the system's version and the marks of recent installations.
#pragma once

#include <QDateTime>

#include <optional>

namespace lq {

struct RunState {
    std::optional<QDateTime> runDate; // when the latest check run started
    double theFontSize = 12.0;
    // Raised by the install history when that kind of data was installed in the day before the run;
    // the security data fields mark it.
    bool xprotIsUpd = false;
    bool xpremIsUpd = false;
    bool mrtIsUpd = false;
    bool tccIsUpd = false;
    bool kextIsUpd = false;
    bool firstRun = true;
    bool checkXPRem = true;
    bool noCheckSWU = false;
    bool noInstallSWU = false;
    int osVersion = 15;         // the version code
    bool osVersionKnown = true; // false when the system's version could not be read at load
};

} // namespace lq
