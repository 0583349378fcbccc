// The latest installation of each kind of security data, from the install history.
#pragma once

#include "platform/Background.h"
#include "updates/Receipts.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>

namespace lq {

inline const QString receiptsPath = QStringLiteral("/Library/Receipts/InstallHistory.plist");
inline const QString mrtString = QStringLiteral("MRTConfigData");
inline const QString xpcString = QStringLiteral("XProtectPlistConfigData");
inline const QString xprString = QStringLiteral("XProtectPayloads");
inline const QString ikeString = QStringLiteral("Incompatible Kernel Extension Configuration Data");
inline const QString tccString = QStringLiteral("TCC Configuration Data");

struct InstallHistoryListing {
    QString error; // the alert text when the history could not be read
    bool empty = true;
    InstallHistoryLines lines;
};

class InstallHistory {
public:
    // Reads and decodes the history off the main thread (it can hold thousands of entries), picks the
    // latest of each kind there, and hands the listing back once, on the main thread.
    static void start(const StepServices& step, const std::optional<QDateTime>& runDate,
                      std::function<void(const InstallHistoryListing&)> done);
};

} // namespace lq
