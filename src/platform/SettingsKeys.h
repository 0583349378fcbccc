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
// Where the reference lists are fetched from: an https address, a file:// address or a folder. Set by
// the user or by a configuration profile; the application never writes it.
inline const QString referenceBaseURL = QStringLiteral("ReferenceBaseURL"); // string

} // namespace lq::keys

namespace lq {

// The largest stored report font size that is taken as it stands. Text layout at a size like 1e10
// points never ends, so a damaged or hand-edited setting must not reach the window.
inline constexpr double kMaxStoredFontSize = 200.0;

// The report's font size from the stored "fontSize": below 4 points, above kMaxStoredFontSize or not
// a number at all gives the default of 12 points; anything else stands (the font size actions keep
// their own bounds of 4 to 60).
inline double fontSizeFromSetting(double stored) {
    constexpr double kDefault = 12.0;
    // Written so that NaN, which fails every comparison, falls to the default too.
    if (!(stored >= 4.0 && stored <= kMaxStoredFontSize))
        return kDefault;
    return stored;
}

} // namespace lq
