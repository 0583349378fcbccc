// Runs a tool to its end on the calling (background) thread, keeping standard output and standard error.
#pragma once

#include "updates/OutputPair.h"

#include <QStringList>

namespace lq {

class ToolRunner;

// Exit status 0 gives both texts; any other status gives "" and "Failed, error = <status>", followed by
// ": <reason>" when the runner ended the tool itself.
OutputPair runToolBothStreams(ToolRunner& tools, const QString& path, const QStringList& args);

} // namespace lq
