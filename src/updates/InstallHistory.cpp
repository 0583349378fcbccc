// The latest installation of each kind of security data.
#include "updates/InstallHistory.h"

#include "platform/FileSystem.h"

namespace lq {

void InstallHistory::start(const StepServices& step, const std::optional<QDateTime>& runDate,
                           std::function<void(const InstallHistoryListing&)> done) {
    const ReceiptNames names{mrtString, xpcString, xprString, ikeString, tccString};
    step.background.run<InstallHistoryListing>(
        QStringLiteral("install history"),
        [&files = step.services.files, names, date = runDate] {
            InstallHistoryListing listing;
            FileRead read = files.readMacFile(receiptsPath);
            if (!read.bytes) {
                listing.error = read.error;
                return listing;
            }
            const ReceiptsDecode decoded = decodeReceipts(std::move(*read.bytes));
            if (const QString* error = std::get_if<QString>(&decoded)) {
                listing.error = *error;
                return listing;
            }
            const auto& receipts = std::get<std::vector<theReceipts>>(decoded);
            listing.empty = receipts.empty();
            if (!listing.empty)
                listing.lines = installHistoryLines(latestInstalls(receipts, names), date);
            return listing;
        },
        std::move(done));
}

} // namespace lq
