// Property-list bytes as a published firmware list (an Intel family list or the Apple-silicon list),
// through the decoder, the entry readers and the comparisons.
#include "FuzzSupport.h"

#include "firmware/FirmwareRules.h"
#include "securitydata/ReferenceList.h"

using namespace lq;

namespace {

void compareVersions(const QString& a, const QString& b) {
    fuzz::require(compareLeadingNumbers(a, b) == -compareLeadingNumbers(b, a), "comparison is antisymmetric");
    fuzz::require(compareLeadingNumbers(a, a) == 0, "a number equals itself");
    (void)efiNeedsUpdate(a, b);
    (void)iBootNeedsUpdate(a, b);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = fuzz::bytesOf(data, size);
    int alerts = 0;
    const auto alert = [&](const QString&) { ++alerts; };
    const std::optional<plist::Document> list = parseReferenceList(bytes, alert, ListShape::Array);
    if (!list) {
        fuzz::require(alerts == 1, "an unreadable list gives exactly one alert");
        return 0;
    }
    const plist::Node root = list->root();
    fuzz::walk(root);
    if (!checkHasEntries(root, alert)) {
        fuzz::require(alerts == 1 && root.size() == 0, "only an empty list has no entries");
        return 0;
    }

    const QString models[] = {QStringLiteral("MacBookPro16,2"), QStringLiteral("iMac20,1") + QChar(0),
                              QStringLiteral("Mac16,13"), QString()};
    const QString bootRoms[] = {QStringLiteral("2069.40.2.0.0 (iBridge: 22.16.10353.0.0,0)"),
                                QStringLiteral("MBP161.88Z.F000.B00.2106131819"), QStringLiteral("Unknown"),
                                QString()};
    const std::vector<EfiListEntry> efi = readEfiEntries(root);
    const std::vector<IBootListEntry> iBoot = readIBootEntries(root);
    fuzz::require(efi.size() == iBoot.size(), "both readers take the entries that name a model");
    fuzz::require(static_cast<qsizetype>(efi.size()) <= root.size(), "no reader invents entries");
    for (const QString& model : models) {
        for (const QString& rom : bootRoms) {
            const FirmwareComparison intel = compareEfiEntries(efi, model, rom, QStringLiteral("MacBookPro"));
            const FirmwareComparison silicon = compareIBootEntries(iBoot, model, rom);
            fuzz::require(intel.lines.isEmpty() || intel.lines.endsWith(QLatin1Char('\n')),
                          "lines end whole");
            fuzz::require(silicon.lines.isEmpty() || silicon.lines.endsWith(QLatin1Char('\n')),
                          "lines end whole");
        }
    }
    for (const EfiListEntry& entry : efi) {
        (void)modelMatches(entry.macModel, models[0]);
        (void)oldStyleEfiValue(entry.macModel);
        for (const auto& version : {entry.efiVersion, entry.efiVersion15, entry.iBridge, entry.iBridge15})
            if (version)
                compareVersions(*version, bootRoms[0]);
    }
    for (const IBootListEntry& entry : iBoot)
        if (entry.iBootVersion)
            compareVersions(*entry.iBootVersion, QStringLiteral("11881.61.3"));
    return 0;
}
