// The system's install history: its entries decoded strictly, the latest installation of each kind of
// security data, and the report lines about them. No I/O here.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <array>
#include <cstddef>
#include <optional>
#include <variant>
#include <vector>

namespace lq {

// One entry of the install history, in file order.
struct theReceipts {
    QDateTime date;
    QString displayName;
    QString displayVersion;
};

// Either every entry, or a readable description of what is wrong with the file.
using ReceiptsDecode = std::variant<std::vector<theReceipts>, QString>;

// Decodes XML or binary property-list bytes whose top level is an array of dictionaries, each with a
// date "date" and strings "displayName" and "displayVersion". One bad entry fails the whole file.
ReceiptsDecode decodeReceipts(QByteArray bytes);

// The kinds of security data the history is searched for, in the order of the report lines.
enum class ReceiptKind : std::size_t {
    XProtectData,
    XProtectRemediator,
    MalwareRemoval,
    Tcc,
    KextExcludeList
};
inline constexpr std::size_t kReceiptKindCount = 5;

// The display names that identify each kind.
struct ReceiptNames {
    QString mrt; // malware removal tool, equal
    QString xpc; // XProtect data, equal
    QString xpr; // XProtect Remediator, equal
    QString ike; // kernel extension exclude list, equal
    QString tcc; // TCC data, contained anywhere in the name
};

// The kind an entry belongs to, tested in a fixed order (MRT, XProtect data, XProtect Remediator,
// kernel extensions, TCC); nothing when it is none of them.
std::optional<ReceiptKind> receiptKind(const QString& displayName, const ReceiptNames& names);

struct LatestInstall {
    QDateTime date;
    QString version;
};
// Indexed by ReceiptKind; empty for a kind with no entry.
using LatestInstalls = std::array<std::optional<LatestInstall>, kReceiptKindCount>;

// The latest entry of each kind; of entries with equal dates the first in the file wins.
LatestInstalls latestInstalls(const std::vector<theReceipts>& receipts, const ReceiptNames& names);

struct InstallHistoryLines {
    QString text;                                 // one line per kind found, in ReceiptKind order
    std::array<bool, kReceiptKindCount> recent{}; // installed less than a day before the run
};

// "\t<label> <date> : <version>\n" per kind found. A kind counts as recent when it was installed less
// than 86400 seconds before `runDate` (an installation dated after it counts too); without a run date
// nothing is recent.
InstallHistoryLines installHistoryLines(const LatestInstalls& latest,
                                        const std::optional<QDateTime>& runDate);

} // namespace lq
