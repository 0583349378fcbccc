// Boot firmware currency: the Intel boot ROM (EFI) against its family's list, the Apple-silicon system
// firmware (iBoot) against the Apple-silicon list.
#include "check/ViewController.h"
#include "firmware/FirmwareRules.h"
#include "firmware/HardwareParsers.h"
#include "securitydata/ReferenceList.h"

#include <memory>

namespace lq {

namespace {

bool startsWithDigit(const QString& text) {
    return !text.isEmpty() && text[0] >= QLatin1Char('0') && text[0] <= QLatin1Char('9');
}

// Parses a fetched list and, when it is a non-empty array, hands its root to `compare`; the status
// text falls back to `unmarked` when the list cannot be read.
template <typename Compare>
FirmwareComparison readListAndCompare(ViewController& vc, const QByteArray& body, const QString& unmarked,
                                      Compare compare) {
    const AlertFunction alert = [&vc](const QString& text) { vc.showErrorAlert(text); };
    const std::optional<plist::Document> list = parseReferenceList(body, alert, ListShape::Array);
    if (!list || !checkHasEntries(list->root(), alert))
        return {QString(), unmarked};
    return compare(list->root());
}

} // namespace

void ViewController::checkFirmware() {
    const QString modelIdentifier = readModelIdentifier();

    if (hasARM) {
        const QString installed = readSystemFirmwareVersion();
        auto pending = std::make_shared<QString>();
        fetchReferenceList(
            checkRunFetch(*this, pending), referenceBaseUrl + QStringLiteral("applesilicon.plist"),
            [this, pending, modelIdentifier, installed](const QByteArray& body) {
                const FirmwareComparison result =
                    readListAndCompare(*this, body, installed, [&](const plist::Node& root) {
                        return compareIBootEntries(readIBootEntries(root), modelIdentifier, installed);
                    });
                *pending += result.lines;
                appendReport(*pending);
                setText(Field::efiVersionText, result.status);
            });
        setText(Field::macTypeText, QStringLiteral("🍏 Mac model ") + modelIdentifier);
        appendReport(QStringLiteral("🍏 Mac model ") + modelIdentifier + QLatin1Char('\n'));
        return;
    }

    const QString bootRom = readBootROMVersion();
    const QString firstWord = bootRom.split(QLatin1Char(' '), Qt::SkipEmptyParts).value(0);
    const ModelClass model = classifyModel(modelIdentifier);

    if (firstWord.isEmpty()) {
        // Without a version there is nothing to judge; say so rather than call it old.
        appendReport(QStringLiteral("⚠️ EFI firmware version could not be read.\n"));
        setText(Field::efiVersionText, QStringLiteral("⚠️ EFI version unknown"));
    } else if (startsWithDigit(firstWord)) {
        if (model.identified && model.family != QLatin1String("unidentified") &&
            model.number != QLatin1String("0,0")) {
            auto pending = std::make_shared<QString>();
            const QString family = model.family;
            fetchReferenceList(
                checkRunFetch(*this, pending), referenceBaseUrl + family + QStringLiteral(".plist"),
                [this, pending, modelIdentifier, bootRom, firstWord, family](const QByteArray& body) {
                    const FirmwareComparison result =
                        readListAndCompare(*this, body, firstWord, [&](const plist::Node& root) {
                            return compareEfiEntries(readEfiEntries(root), modelIdentifier, bootRom, family);
                        });
                    *pending += result.lines;
                    appendReport(*pending);
                    setText(Field::efiVersionText, result.status);
                });
        }
    } else {
        // An old-style version string names no release that a list could hold.
        const QString value = oldStyleEfiValue(bootRom);
        appendReport(QStringLiteral("⚠️ old EFI firmware ") + value + QLatin1Char('\n'));
        setText(Field::efiVersionText, QStringLiteral("⚠️ ") + value);
    }
    setText(Field::macTypeText, QStringLiteral("Mac model ") + model.family + model.number);
}

} // namespace lq
