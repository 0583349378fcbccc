// Pure rules of the firmware checks.
#include "firmware/FirmwareRules.h"

#include <QStringList>

namespace lq {

namespace {

bool isSpace(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
           c == QLatin1Char('\v') || c == QLatin1Char('\f') || c == QLatin1Char('\r');
}

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The sign and the significant digits of the number at the start of a part, never reading past it.
struct LeadingNumber {
    bool negative = false;
    QStringView digits; // without leading zeros; empty for zero
};

LeadingNumber readLeadingNumber(QStringView text) {
    qsizetype i = 0;
    while (i < text.size() && isSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    while (i < text.size() && text[i] == QLatin1Char('0'))
        ++i;
    const qsizetype start = i;
    while (i < text.size() && isDigit(text[i]))
        ++i;
    LeadingNumber number;
    number.digits = text.mid(start, i - start);
    number.negative = negative && !number.digits.isEmpty(); // there is no negative zero
    return number;
}

int compareMagnitudes(QStringView a, QStringView b) {
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    const int order = a.compare(b);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

QStringList dottedParts(const QString& version) {
    return version.split(QLatin1Char('.'), Qt::SkipEmptyParts);
}

// 1 when installed is older on this part, -1 when newer, 0 on a tie.
int olderOnPart(const QStringList& installed, const QStringList& expected, qsizetype index) {
    return -compareLeadingNumbers(installed[index], expected[index]);
}

const QString kThirteenBlanks = QStringLiteral("             ");

} // namespace

int compareLeadingNumbers(QStringView a, QStringView b) {
    const LeadingNumber x = readLeadingNumber(a);
    const LeadingNumber y = readLeadingNumber(b);
    if (x.negative != y.negative)
        return x.negative ? -1 : 1;
    const int magnitude = compareMagnitudes(x.digits, y.digits);
    return x.negative ? -magnitude : magnitude;
}

bool efiNeedsUpdate(const QString& installed, const QString& expected) {
    const QStringList have = dottedParts(installed);
    const QStringList want = dottedParts(expected);
    if (have.size() < 3 || want.size() < 3)
        return true;
    for (qsizetype i = 0; i < 3; ++i) {
        if (const int older = olderOnPart(have, want, i); older != 0)
            return older > 0;
    }
    if (have.size() < 4 || want.size() < 4)
        return true;
    return olderOnPart(have, want, 3) > 0;
}

bool iBootNeedsUpdate(const QString& installed, const QString& expected) {
    const QStringList have = dottedParts(installed);
    const QStringList want = dottedParts(expected);
    if (have.size() < 3 || want.size() < 3)
        return true;
    for (qsizetype i = 0; i < 2; ++i) {
        if (const int older = olderOnPart(have, want, i); older != 0)
            return older > 0;
    }
    return olderOnPart(have, want, 2) > 0;
}

bool modelMatches(const QString& listed, const QString& macModel) {
    if (listed.isEmpty())
        return false;
    for (qsizetype at = macModel.indexOf(listed); at >= 0; at = macModel.indexOf(listed, at + 1)) {
        const qsizetype end = at + listed.size();
        const bool cleanStart = at == 0 || !macModel[at - 1].isLetterOrNumber();
        const bool cleanEnd = end == macModel.size() || !isDigit(macModel[end]);
        if (cleanStart && cleanEnd)
            return true;
    }
    return false;
}

QString oldStyleEfiValue(const QString& bootRomVersion) {
    const QStringList parts = dottedParts(bootRomVersion);
    if (parts.size() < 4)
        return QStringLiteral("(none found)");
    return parts.mid(2).join(QLatin1Char('.'));
}

FirmwareComparison compareEfiEntries(const std::vector<EfiListEntry>& entries, const QString& modelIdentifier,
                                     const QString& bootRomVersion, const QString& family) {
    FirmwareComparison result;
    result.status = bootRomVersion.split(QLatin1Char(' '), Qt::SkipEmptyParts).value(0);
    QString expected = QStringLiteral("0.0.0.0");
    QString iBridgeText;
    for (const EfiListEntry& entry : entries) {
        if (!modelMatches(entry.macModel, modelIdentifier))
            continue;
        if (entry.efiVersion15) {
            expected = *entry.efiVersion15;
            if (entry.iBridge15)
                iBridgeText = QStringLiteral(" (iBridge ") + *entry.iBridge15 + QStringLiteral(",0)");
        } else if (entry.efiVersion) {
            expected = *entry.efiVersion;
            if (entry.iBridge)
                iBridgeText = QStringLiteral(" (iBridge ") + *entry.iBridge + QStringLiteral(",0)");
        } else {
            // An entry that names no version gives nothing to compare with; judging against a
            // made-up value would report a verdict the list never gave.
            continue;
        }
        result.expected = expected;
        result.lines +=
            QStringLiteral("Mac model ") + modelIdentifier + QStringLiteral("\nEFI version found ");
        result.lines += bootRomVersion + QStringLiteral(";\n") + kThirteenBlanks +
                        QStringLiteral("expected ") + expected + QLatin1Char(' ') + iBridgeText;
        if (!efiNeedsUpdate(bootRomVersion, expected)) {
            result.lines += QStringLiteral("\n✅ EFI firmware appears up to date.\n");
            result.status = QStringLiteral("✅ ") + result.status + QStringLiteral(" is up to date");
        } else if (family == QLatin1String("MacPro")) {
            result.lines += QStringLiteral("\n⚠️ Need to update EFI firmware.\n");
            result.status = QStringLiteral("⚠️ ") + result.status + QStringLiteral(" needs updating");
        } else {
            result.lines += QStringLiteral("\n❌ Need to update EFI firmware.\n");
            result.status = QStringLiteral("❌ ") + result.status + QStringLiteral(" needs updating");
        }
    }
    return result;
}

FirmwareComparison compareIBootEntries(const std::vector<IBootListEntry>& entries,
                                       const QString& modelIdentifier, const QString& installedVersion) {
    FirmwareComparison result;
    result.status = installedVersion;
    bool found = false;
    auto handle = [&](const IBootListEntry& entry) {
        // As with the boot ROM lists: an entry that names no version gives nothing to compare with,
        // and "0.0.0.0" in its place would call any firmware up to date.
        if (!entry.iBootVersion)
            return;
        const QString expected = *entry.iBootVersion;
        result.expected = expected;
        result.lines +=
            QStringLiteral("Mac model ") + modelIdentifier + QStringLiteral("\niBoot version found ");
        result.lines += installedVersion + QStringLiteral("; expected ") + expected;
        if (!iBootNeedsUpdate(installedVersion, expected)) {
            result.lines += QStringLiteral("\n🍏 iBoot firmware appears up to date.\n");
            result.status = QStringLiteral("🍏 iBoot ") + result.status + QStringLiteral(" is up to date");
        } else {
            result.lines += QStringLiteral("\n❌ Need to update iBoot firmware.\n");
            result.status = QStringLiteral("❌ iBoot ") + result.status + QStringLiteral(" needs updating");
        }
        found = true;
    };
    for (const IBootListEntry& entry : entries)
        if (modelMatches(entry.macModel, modelIdentifier))
            handle(entry);
    if (!found)
        for (const IBootListEntry& entry : entries)
            if (entry.macModel == QLatin1String("other"))
                handle(entry);
    return result;
}

namespace {

std::optional<QString> optionalString(const plist::Node& entry, const char* key) {
    return entry[key].string();
}

} // namespace

std::vector<EfiListEntry> readEfiEntries(const plist::Node& root) {
    std::vector<EfiListEntry> entries;
    root.forEachElement([&](const plist::Node& element) {
        const std::optional<QString> model = element["MacModel"].string();
        if (!model)
            return;
        entries.push_back({*model, optionalString(element, "EFIversion15"),
                           optionalString(element, "iBridge15"), optionalString(element, "EFIversion"),
                           optionalString(element, "iBridge")});
    });
    return entries;
}

std::vector<IBootListEntry> readIBootEntries(const plist::Node& root) {
    std::vector<IBootListEntry> entries;
    root.forEachElement([&](const plist::Node& element) {
        const std::optional<QString> model = element["MacModel"].string();
        if (!model)
            return;
        entries.push_back({*model, optionalString(element, "iBootversion")});
    });
    return entries;
}

} // namespace lq
