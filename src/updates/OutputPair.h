// The result of a tool run that keeps both output streams.
#pragma once

#include <QString>

namespace lq {

struct OutputPair {
    QString first;  // standard output, or "" when the tool failed
    QString second; // standard error, or "Failed, error = <status>" when the tool failed

    // Both texts joined with one space, which is always there.
    QString combined() const { return first + QLatin1Char(' ') + second; }
};

} // namespace lq
