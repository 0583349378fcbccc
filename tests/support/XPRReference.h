// The scan summary as it was before it read the log with simdjson: one QJsonDocument of the whole
// output, and the same rules. Only the tests and the fuzz target use it, to check that the summary
// counts what this straightforward reading counts, on every input.
#pragma once

#include "securitydata/XPRClassifier.h"

#include <QByteArray>

#include <optional>

namespace lq::reference {

// What decodeXPRReport gave: the message read by Qt's JSON reader.
std::optional<XPRReport> decodeXPRReport(const QByteArray& message);

// What classifyXPREvents gave: the whole output read by Qt's JSON reader as one document.
XPRCounts classifyXPREvents(const QByteArray& logOutput);

} // namespace lq::reference
