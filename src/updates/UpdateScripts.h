// The AppleScripts of the update actions.
#pragma once

#include <QString>

namespace lq {

// Asks the Finder to show the folder that receives downloaded updates.
inline QString revealUpdatesScript() {
    return QStringLiteral(
        "set thePath to POSIX file \"/Library/Updates\"\ntell application \"Finder\" to reveal thePath");
}

// Content caching on and off; the system asks for an administrator's name and password first.
inline QString contentCachingOnScript() {
    return QStringLiteral("do shell script \"AssetCacheManagerUtil activate\" with administrator privileges");
}
inline QString contentCachingOffScript() {
    return QStringLiteral(
        "do shell script \"AssetCacheManagerUtil deactivate\" with administrator privileges");
}

} // namespace lq
