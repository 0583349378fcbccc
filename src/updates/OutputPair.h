// The result of a tool run that keeps both output streams.
#pragma once

#include <QString>

namespace lq {

struct OutputPair {
    QString first;  // standard output, or "" when the tool failed
    QString second; // standard error, or "Failed, error = <status>" when the tool failed
    int status = 0; // the tool's exit status
    // What the tool wrote, kept whatever its status: a failed run's own words are its best explanation.
    QString out{};
    QString err{};

    bool failed() const { return status != 0; }
    // Both texts joined with one space, which is always there.
    QString combined() const { return first + QLatin1Char(' ') + second; }
    // A failed run told in the tool's words: its standard error, its standard output and
    // "error <status>", each trimmed and joined with one space, the empty ones left out.
    QString failureText() const;
};

} // namespace lq
