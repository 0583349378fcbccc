// AppleScript through the root's /usr/bin/osascript, script source on standard input.
#pragma once

#include <QString>

namespace lq {

class ToolRunner;

// The script's result (its output less one final line break), or "Failed, error executing script".
QString runAppleScript(ToolRunner& tools, const QString& source);

} // namespace lq
