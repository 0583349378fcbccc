// The tool that describes the hardware, and the reports of it that identification and the firmware
// check ask for.
#pragma once

#include <QString>
#include <QStringList>

namespace lq {

inline const QString theEFI1Cmd = QStringLiteral("/usr/sbin/system_profiler");
inline const QStringList theEFI0Par = {QStringLiteral("SPiBridgeDataType")};
inline const QStringList theEFI1Par = {QStringLiteral("SPHardwareDataType")};
inline const QStringList theEFI2Par = {QStringLiteral("SPDisplaysDataType")};

} // namespace lq
