// Property-list bytes as the install history, through the decoder and the receipts rules.
#include "FuzzSupport.h"

#include "platform/PropertyListElements.h"
#include "updates/Receipts.h"

#include <QTimeZone>

using namespace lq;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = fuzz::bytesOf(data, size);

    // The history is decoded a few elements at a time; that must give what decoding it whole gives.
    const plist::ParseResult whole = plist::parse(bytes);
    // Lists of shared binary objects may hold a million values; comparing the first 20,000 keeps a run
    // fast and still sees every piece of an ordinary list.
    constexpr qint64 kCompared = 20000;
    qint64 piecesBudget = kCompared;
    QStringList pieces;
    const plist::ElementsResult inPieces =
        plist::forEachTopLevelElement(bytes, [&](const plist::Node& element) {
            pieces.append(fuzz::describe(element, piecesBudget));
            return true;
        });
    fuzz::require(inPieces.error.isEmpty() == whole.document.has_value(),
                  "decoding in pieces fails exactly when decoding whole fails");
    if (whole.document) {
        fuzz::require(inPieces.rootType == whole.document->root().type(),
                      "both decodings see the same top level");
        qint64 wholeBudget = kCompared;
        QStringList elements;
        whole.document->root().forEachElement(
            [&](const plist::Node& element) { elements.append(fuzz::describe(element, wholeBudget)); });
        fuzz::require(pieces == elements, "decoding in pieces gives the elements a whole decoding gives");
    }

    const ReceiptsDecode decoded = decodeReceipts(bytes);
    if (const QString* error = std::get_if<QString>(&decoded)) {
        fuzz::require(!error->isEmpty(), "a failure is described");
        return 0;
    }
    const auto& receipts = std::get<std::vector<theReceipts>>(decoded);
    const ReceiptNames names{QStringLiteral("MRTConfigData"), QStringLiteral("XProtectPlistConfigData"),
                             QStringLiteral("XProtectPayloads"), QStringLiteral("IncompatibleKextsData"),
                             QStringLiteral("TCC")};
    for (const theReceipts& receipt : receipts)
        (void)receiptKind(receipt.displayName, names);
    const LatestInstalls latest = latestInstalls(receipts, names);
    qsizetype found = 0;
    for (const auto& install : latest)
        found += install.has_value();
    for (const auto& runDate :
         {std::optional<QDateTime>(),
          std::optional<QDateTime>(QDateTime(QDate(2026, 12, 10), QTime(8, 0), Qt::UTC))}) {
        const InstallHistoryLines lines = installHistoryLines(latest, runDate);
        fuzz::require(lines.text.count(QLatin1Char('\n')) >= found, "one line per kind found");
        if (!runDate)
            for (bool recent : lines.recent)
                fuzz::require(!recent, "without a run date nothing is recent");
    }
    return 0;
}
