// The tools that list, download and install software updates, and the one that tells whether this
// Mac is a content caching server.
#pragma once

#include <QString>
#include <QStringList>

namespace lq {

inline const QString theCSUPath = QStringLiteral("/usr/sbin/softwareupdate");
inline const QStringList theCSUCmd = {QStringLiteral("-ia"), QStringLiteral("--include-config-data")};
inline const QStringList theCSUDownloadCmd = {QStringLiteral("-da"), QStringLiteral("--include-config-data")};
inline const QStringList theCSUListCmd = {QStringLiteral("-l"), QStringLiteral("--include-config-data")};
inline const QStringList theCSUListECCmd = {QStringLiteral("-l")};
inline const QString theCheckConCacheCmd = QStringLiteral("/usr/bin/AssetCacheManagerUtil");
inline const QStringList theCheckConCachePar = {QStringLiteral("isActivated")};

} // namespace lq
