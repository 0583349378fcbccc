// Pure text builders of the main window: the OS version code, the report's font size, the window title
// and the export's footer and file name.
#pragma once

#include "platform/DateText.h"
#include "platform/SettingsKeys.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace lq {

// One integer that orders macOS versions: the minor version on 10.x, the major version plus 5 from 11 on.
int osVersionCode(int major, int minor);

// "Lanternquill 2 – macOS <version text>", with "⚠️ " in front in download-only mode.
QString mainWindowTitle(bool noInstallSWU, const QString& osVersionText);

// "\nChecked by Lanternquill 2 at <date>\n".
QString exportFooter(const QDateTime& runDate);

// "LQ_2025-01-31T14_05_09Z.text", or "LQ_undated.text" before any check run.
QString exportFileName(const std::optional<QDateTime>& runDate);

} // namespace lq
