// The keys of the per-user settings. No defaults are registered: an absent key reads as false or 0.0.
#pragma once

#include <QString>

namespace lq::keys {

inline const QString fontSize = QStringLiteral("fontSize");           // double, points
inline const QString noCheckSWU = QStringLiteral("noCheckSWU");       // bool
inline const QString noInstallSWU = QStringLiteral("noInstallSWU");   // bool
inline const QString noCheckXPRem = QStringLiteral("noCheckXPRem");   // bool
inline const QString singleInstall = QStringLiteral("singleInstall"); // bool
inline const QString noUpdateCheck = QStringLiteral("noUpdateCheck"); // bool
inline const QString dateLastUpdateCheck =
    QStringLiteral("dateLastUpdateCheck");                              // double, seconds since 2001
inline const QString updateCheckInt = QStringLiteral("updateCheckInt"); // double, seconds

} // namespace lq::keys
