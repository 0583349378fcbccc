// Decoding and reading the install history.
#include "updates/Receipts.h"

#include "platform/DateText.h"
#include "platform/PropertyList.h"
#include "platform/PropertyListElements.h"

namespace lq {

namespace {

// Phrased like the platform's own decoding errors, so the alert reads the same whatever went wrong.
QString cannotRead(const QString& because) {
    return QStringLiteral("The data couldn’t be read because ") + because + QLatin1Char('.');
}

QString typeName(plist::Type type) {
    switch (type) {
    case plist::Type::Boolean:
        return QStringLiteral("a boolean");
    case plist::Type::Integer:
    case plist::Type::Real:
        return QStringLiteral("a number");
    case plist::Type::String:
        return QStringLiteral("a string");
    case plist::Type::Array:
        return QStringLiteral("an array");
    case plist::Type::Dictionary:
        return QStringLiteral("a dictionary");
    case plist::Type::Date:
        return QStringLiteral("a date");
    case plist::Type::Data:
        return QStringLiteral("data");
    case plist::Type::Other:
    case plist::Type::Absent:
        break;
    }
    return QStringLiteral("another kind of value");
}

QString entryName(qsizetype index) {
    return QStringLiteral("the entry at index %1").arg(index);
}

// Gives the problem with `value` under `key` of entry `index` when it is missing or not `wanted`.
std::optional<QString> fieldProblem(const plist::Node& value, const char* key, plist::Type wanted,
                                    qsizetype index) {
    // Every entry passes through here: the common case must not build any text.
    if (value.type() == wanted)
        return std::nullopt;
    const QString quotedKey = QStringLiteral("“") + QString::fromLatin1(key) + QStringLiteral("”");
    if (value.isAbsent())
        return cannotRead(entryName(index) + QStringLiteral(" has no value for ") + quotedKey);
    return cannotRead(entryName(index) + QStringLiteral(" has ") + typeName(value.type()) +
                      QStringLiteral(" for ") + quotedKey + QStringLiteral(" where ") + typeName(wanted) +
                      QStringLiteral(" belongs"));
}

} // namespace

ReceiptsDecode decodeReceipts(QByteArray bytes) {
    std::vector<theReceipts> receipts;
    std::optional<QString> problem;
    qsizetype index = 0;
    // The entries are decoded a few at a time and walked once from the start: a long history would
    // take many times its size as one decoded tree.
    const plist::ElementsResult decoded =
        plist::forEachTopLevelElement(std::move(bytes), [&](const plist::Node& entry) {
            if (!entry.isDictionary()) {
                problem = cannotRead(entryName(index) + QStringLiteral(" is ") + typeName(entry.type()) +
                                     QStringLiteral(", not a dictionary"));
                return false;
            }
            const plist::Node date = entry["date"];
            const plist::Node name = entry["displayName"];
            const plist::Node version = entry["displayVersion"];
            problem = fieldProblem(date, "date", plist::Type::Date, index);
            if (!problem)
                problem = fieldProblem(name, "displayName", plist::Type::String, index);
            if (!problem)
                problem = fieldProblem(version, "displayVersion", plist::Type::String, index);
            if (problem)
                return false;
            receipts.push_back(theReceipts{*date.date(), *name.string(), *version.string()});
            ++index;
            return true;
        });
    if (!decoded.error.isEmpty())
        return decoded.error;
    if (decoded.rootType != plist::Type::Array)
        return cannotRead(QStringLiteral("the install history is ") + typeName(decoded.rootType) +
                          QStringLiteral(", not a list of entries"));
    if (problem)
        return *problem;
    return receipts;
}

std::optional<ReceiptKind> receiptKind(const QString& displayName, const ReceiptNames& names) {
    if (displayName == names.mrt)
        return ReceiptKind::MalwareRemoval;
    if (displayName == names.xpc)
        return ReceiptKind::XProtectData;
    if (displayName == names.xpr)
        return ReceiptKind::XProtectRemediator;
    if (displayName == names.ike)
        return ReceiptKind::KextExcludeList;
    // The TCC data's name may carry more text around its common part, so it is searched for.
    if (displayName.contains(names.tcc))
        return ReceiptKind::Tcc;
    return std::nullopt;
}

LatestInstalls latestInstalls(const std::vector<theReceipts>& receipts, const ReceiptNames& names) {
    LatestInstalls latest;
    for (const theReceipts& receipt : receipts) {
        const std::optional<ReceiptKind> kind = receiptKind(receipt.displayName, names);
        if (!kind)
            continue;
        std::optional<LatestInstall>& slot = latest[static_cast<std::size_t>(*kind)];
        // Only a strictly later date replaces: of two installations at the same moment the first listed
        // stays.
        if (!slot || slot->date < receipt.date)
            slot = LatestInstall{receipt.date, receipt.displayVersion};
    }
    return latest;
}

InstallHistoryLines installHistoryLines(const LatestInstalls& latest,
                                        const std::optional<QDateTime>& runDate) {
    static const std::array<QString, kReceiptKindCount> labels = {
        QStringLiteral("\tXProtectPlistConfigData "), QStringLiteral("\tXProtectPayloads "),
        QStringLiteral("\tMRTConfigData "), QStringLiteral("\tTCC "), QStringLiteral("\tKEXT block ")};
    constexpr qint64 kOneDayMs = 86400LL * 1000;

    InstallHistoryLines lines;
    for (std::size_t kind = 0; kind < kReceiptKindCount; ++kind) {
        if (!latest[kind])
            continue;
        const LatestInstall& install = *latest[kind];
        lines.text += labels[kind] + standardDateDescription(install.date) + QStringLiteral(" : ") +
                      install.version + QLatin1Char('\n');
        // A date after the run (a clock set back, a history from elsewhere) counts as recent too.
        if (runDate && runDate->toMSecsSinceEpoch() - install.date.toMSecsSinceEpoch() < kOneDayMs)
            lines.recent[kind] = true;
    }
    return lines;
}

} // namespace lq
