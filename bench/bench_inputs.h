// The two hot paths as the application runs them, shared by the timing benchmarks and the memory
// driver so that both measure exactly the same work.
#pragma once

#include "platform/FileSystem.h"
#include "securitydata/XPRClassifier.h"
#include "updates/Receipts.h"

#include <QDateTime>
#include <QString>

#include <variant>

namespace lq::bench {

// The names the main window's controller searches the install history for.
inline ReceiptNames receiptNames() {
    return ReceiptNames{QStringLiteral("MRTConfigData"), QStringLiteral("XProtectPlistConfigData"),
                        QStringLiteral("XProtectPayloads"),
                        QStringLiteral("Incompatible Kernel Extension Configuration Data"),
                        QStringLiteral("TCC Configuration Data")};
}

// Read the file whole, decode every entry, pick the latest of each kind and write the report text:
// the steps of the listing at the end of every check run. Gives the text the report would gain, or
// the alert's text.
inline QString installHistoryListing(const FileSystem& files, const QString& macPath,
                                     const QDateTime& runDate) {
    FileRead read = files.readMacFile(macPath);
    if (!read.bytes)
        return read.error;
    const ReceiptsDecode decoded = decodeReceipts(std::move(*read.bytes));
    if (const QString* error = std::get_if<QString>(&decoded))
        return *error;
    const auto& receipts = std::get<std::vector<theReceipts>>(decoded);
    if (receipts.empty())
        return {};
    const InstallHistoryLines lines = installHistoryLines(latestInstalls(receipts, receiptNames()), runDate);
    return QStringLiteral("Latest updates installed:\n") + lines.text;
}

} // namespace lq::bench
