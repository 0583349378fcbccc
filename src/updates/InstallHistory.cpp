// The latest installation of each kind of security data.
#include "check/ViewController.h"
#include "platform/FileSystem.h"
#include "updates/Receipts.h"

namespace lq {

void ViewController::listInstallHistory(std::shared_ptr<RunSequence> run, int slot) {
    if (!run) {
        run = std::make_shared<RunSequence>(1);
        slot = 0;
    }
    // The history can hold thousands of entries: it is read and decoded off the main thread, and
    // the latest of each kind picked there too.
    struct Listing {
        QString error;
        bool empty = true;
        InstallHistoryLines lines;
    };
    const ReceiptNames names{mrtString, xpcString, xprString, ikeString, tccString};
    inBackground<Listing>(
        QStringLiteral("install history"),
        [&files = services.files, path = receiptsPath, names, date = runDate] {
            Listing listing;
            FileRead read = files.readMacFile(path);
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
        [this, run, slot](const Listing& listing) {
            run->fill(slot, [this, listing] {
                if (!listing.error.isEmpty()) {
                    showErrorAlert(listing.error);
                    return;
                }
                if (listing.empty)
                    return;
                appendReport(QStringLiteral("Latest updates installed:\n"));
                // Flags are only ever raised here: after an update run they keep what the check run found.
                auto raise = [&listing](bool& flag, ReceiptKind kind) {
                    flag = flag || listing.lines.recent[static_cast<std::size_t>(kind)];
                };
                raise(xprotIsUpd, ReceiptKind::XProtectData);
                raise(xpremIsUpd, ReceiptKind::XProtectRemediator);
                raise(mrtIsUpd, ReceiptKind::MalwareRemoval);
                raise(tccIsUpd, ReceiptKind::Tcc);
                raise(kextIsUpd, ReceiptKind::KextExcludeList);
                appendReport(listing.lines.text);
            });
        });
}

} // namespace lq
