// The latest installation of each kind of security data.
#include "check/ViewController.h"
#include "platform/FileSystem.h"
#include "updates/Receipts.h"

namespace lq {

void ViewController::listInstallHistory() {
    FileRead read = services.files.readMacFile(receiptsPath);
    if (!read.bytes) {
        showErrorAlert(read.error);
        return;
    }
    const ReceiptsDecode decoded = decodeReceipts(std::move(*read.bytes));
    if (const QString* error = std::get_if<QString>(&decoded)) {
        showErrorAlert(*error);
        return;
    }
    const auto& receipts = std::get<std::vector<theReceipts>>(decoded);
    if (receipts.empty())
        return;

    const ReceiptNames names{mrtString, xpcString, xprString, ikeString, tccString};
    const InstallHistoryLines lines = installHistoryLines(latestInstalls(receipts, names), runDate);
    appendReport(QStringLiteral("Latest updates installed:\n"));

    // Flags are only ever raised here: after an update run they keep what the check run found.
    auto raise = [&lines](bool& flag, ReceiptKind kind) {
        flag = flag || lines.recent[static_cast<std::size_t>(kind)];
    };
    raise(xprotIsUpd, ReceiptKind::XProtectData);
    raise(xpremIsUpd, ReceiptKind::XProtectRemediator);
    raise(mrtIsUpd, ReceiptKind::MalwareRemoval);
    raise(tccIsUpd, ReceiptKind::Tcc);
    raise(kextIsUpd, ReceiptKind::KextExcludeList);

    appendReport(lines.text);
}

} // namespace lq
