// Downloading or installing every pending update, and the scripts that go with update runs (showing
// the downloads in the Finder, switching content caching on or off). Each runs off the main thread:
// an update run takes minutes, and a script may wait for the user to type a password.
#pragma once

#include "platform/Background.h"
#include "updates/OutputPair.h"

#include <functional>

namespace lq {

class UpdateRun {
public:
    // Runs softwareupdate with -da (download only) or -ia and hands back both streams once, on the
    // main thread.
    static void start(const StepServices& step, bool downloadOnly,
                      std::function<void(const OutputPair&)> done);
};

class ScriptRun {
public:
    // Runs an AppleScript and hands back its result (or its failure text) once, on the main thread;
    // `done` may be empty when nobody needs the result.
    static void start(const StepServices& step, const QString& name, const QString& source,
                      std::function<void(const QString&)> done);
};

} // namespace lq
