// Property-list bytes as the published security data list and as a bundle's Info.plist, through the
// decoder and the comparison rules.
#include "FuzzSupport.h"

#include "securitydata/ReferenceList.h"
#include "securitydata/SecurityDataRules.h"

using namespace lq;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = fuzz::bytesOf(data, size);
    const QString installedVersion = versionFromInfoPlist(bytes);
    fuzz::require(!installedVersion.isNull(), "a bundle always has a version text");

    int alerts = 0;
    const std::optional<plist::Document> list = parseReferenceList(
        bytes, [&](const QString&) { ++alerts; }, ListShape::Dictionary);
    if (!list) {
        fuzz::require(alerts == 1, "an unreadable list gives exactly one alert");
        return 0;
    }
    fuzz::require(alerts == 0, "a readable list gives no alert");
    const plist::Node root = list->root();
    fuzz::walk(root);

    const QString installed[] = {installedVersion, kVersionNotFound, QString(), QStringLiteral("5321")};
    for (int osVersionCode : {14, 15, 16, 17, 18, 19, 20, 21, 31}) {
        const OsDependentKeys keys = securityDataKeysFor(osVersionCode);
        for (const QStringList& key :
             {QStringList{QStringLiteral("XProtect15")}, QStringList{QStringLiteral("XPremed")},
              QStringList{QStringLiteral("MRT")}, keys.tcc, keys.kext}) {
            const QString reference = firstReferenceString(root, key);
            for (const QString& version : installed) {
                const std::optional<ItemVerdict> verdict =
                    compareSecurityItem(QStringLiteral("XProtect"), version, reference);
                fuzz::require(
                    verdict.has_value() ==
                        (!version.isEmpty() && !(reference.isEmpty() && version == kVersionNotFound)),
                    "an item with an empty version, or with nothing installed or published, has no verdict");
                if (verdict && reference.isEmpty())
                    fuzz::require(verdict->reportLine.isEmpty() &&
                                      !verdict->statusText.startsWith(QStringLiteral("✅")) &&
                                      !verdict->statusText.startsWith(QStringLiteral("❌")),
                                  "an unpublished item is shown without a mark and a line");
                else if (verdict)
                    fuzz::require(verdict->statusText.startsWith(QStringLiteral("✅ ")) ==
                                      (version == reference),
                                  "only an identical version is current");
            }
        }
    }
    const QString display = referenceString(root, "StudioDisplay");
    const ItemVerdict verdict =
        compareDisplayFirmware({display, QStringLiteral("17.0")}, QStringLiteral("3A45)"), display);
    fuzz::require(verdict.statusText.startsWith(QStringLiteral("✅ ")) == (display == QStringLiteral("17.0")),
                  "displays are current only when every one has the listed firmware");
    for (bool recent : {false, true})
        fuzz::require(withRecentMark(verdict.statusText, recent).startsWith(verdict.statusText),
                      "the recent mark only ever follows the text");
    return 0;
}
