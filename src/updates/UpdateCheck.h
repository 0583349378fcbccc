// Pending software updates, and whether content caching is on, asked off the main thread.
#pragma once

#include "platform/Background.h"
#include "updates/OutputPair.h"

#include <functional>

namespace lq {

struct UpdateListing {
    OutputPair listing; // softwareupdate's list
    OutputPair caching; // whether this Mac serves content caching
};

// What a listing shows: the update field, the report text and whether updates were found.
struct UpdateCheckText {
    QString field;
    QString report;
    bool updatesFound = false;
};
UpdateCheckText updateCheckText(const OutputPair& listing, const OutputPair& caching);

class UpdateCheck {
public:
    // Runs the listing (with the option that includes configuration data from macOS 12 on, version
    // code above 11) and the caching question, and hands both back once, on the main thread.
    static void start(const StepServices& step, int osVersion,
                      std::function<void(const UpdateListing&)> done);
};

} // namespace lq
