// Pure text builders of the main window: the OS version code, the report's font size, the window title
// and the export's footer and file name.
#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

namespace lq {

// One integer that orders macOS versions: the minor version on 10.x, the major version plus 5 from 11 on.
int osVersionCode(int major, int minor);

// The largest stored report font size that is taken as it stands. Text layout at a size like 1e10
// points never ends, so a damaged or hand-edited setting must not reach the window.
inline constexpr double kMaxStoredFontSize = 200.0;

// The report's font size from the stored "fontSize": below 4 points, above kMaxStoredFontSize or not
// a number at all gives the default of 12 points; anything else stands (the font size actions keep
// their own bounds of 4 to 60).
double fontSizeFromSetting(double stored);

// "Lanternquill 2 – macOS <version text>", with "⚠️ " in front in download-only mode.
QString mainWindowTitle(bool noInstallSWU, const QString& osVersionText);

// The platform's standard description of a date: "2025-01-31 14:05:09 +0000" (UTC).
QString standardDateDescription(const QDateTime& date);

// "\nChecked by Lanternquill 2 at <date>\n".
QString exportFooter(const QDateTime& runDate);

// "LQ_2025-01-31T14_05_09Z.text", or "LQ_undated.text" before any check run.
QString exportFileName(const std::optional<QDateTime>& runDate);

} // namespace lq
