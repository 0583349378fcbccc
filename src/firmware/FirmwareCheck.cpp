// Boot firmware currency: the Intel boot ROM (EFI) against its family's list, the Apple-silicon system
// firmware (iBoot) against the Apple-silicon list.
#include "check/ViewController.h"
#include "firmware/FirmwareRules.h"
#include "firmware/HardwareParsers.h"
#include "securitydata/ReferenceList.h"

#include <memory>
#include <optional>

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

void ViewController::checkFirmware(std::shared_ptr<RunSequence> run) {
    if (!run)
        run = std::make_shared<RunSequence>(1);
    // The firmware lines come first in a run, and alone in a sequence of their own.
    const int slot = kFirmwareSlot;
    const QString modelIdentifier = readModelIdentifier();

    if (hasARM) {
        // The installed version comes from a tool and the published one from the network; the
        // comparison waits for both.
        struct Versions {
            std::optional<QString> installed;
            std::optional<QByteArray> body;
        };
        auto versions = std::make_shared<Versions>();
        auto compare = [this, run, versions, modelIdentifier] {
            if (!versions->installed || !versions->body)
                return;
            run->deliver([this, versions, modelIdentifier] {
                const QString installed = *versions->installed;
                const FirmwareComparison result =
                    readListAndCompare(*this, *versions->body, installed, [&](const plist::Node& root) {
                        return compareIBootEntries(readIBootEntries(root), modelIdentifier, installed);
                    });
                appendReport(result.lines);
                setText(Field::efiVersionText, result.status);
            });
        };
        inBackground<QString>(
            QStringLiteral("system_profiler SPHardwareDataType"),
            [&tools = services.tools, path = theEFI1Cmd, args = theEFI1Par] {
                return parseSystemFirmwareVersion(runTool(tools, path, args));
            },
            [versions, compare](const QString& installed) {
                versions->installed = installed;
                compare();
            });
        fetchReferenceList(checkRunFetch(*this, std::make_shared<QString>(), run),
                           referenceBaseUrl + QStringLiteral("applesilicon.plist"),
                           [versions, compare](const QByteArray& body) {
                               versions->body = body;
                               compare();
                           });
        run->fill(slot, [this, modelIdentifier] {
            setText(Field::macTypeText, QStringLiteral("🍏 Mac model ") + modelIdentifier);
            appendReport(QStringLiteral("🍏 Mac model ") + modelIdentifier + QLatin1Char('\n'));
        });
        return;
    }

    const QString bootRom = readBootROMVersion();
    const QString firstWord = bootRom.split(QLatin1Char(' '), Qt::SkipEmptyParts).value(0);
    const ModelClass model = classifyModel(modelIdentifier);
    QString lines;
    std::optional<QString> efiText;

    if (firstWord.isEmpty()) {
        // Without a version there is nothing to judge; say so rather than call it old.
        lines = QStringLiteral("⚠️ EFI firmware version could not be read.\n");
        efiText = QStringLiteral("⚠️ EFI version unknown");
    } else if (startsWithDigit(firstWord)) {
        if (model.identified && model.family != QLatin1String("unidentified") &&
            model.number != QLatin1String("0,0")) {
            const QString family = model.family;
            fetchReferenceList(
                checkRunFetch(*this, std::make_shared<QString>(), run),
                referenceBaseUrl + family + QStringLiteral(".plist"),
                [this, run, modelIdentifier, bootRom, firstWord, family](const QByteArray& body) {
                    run->deliver([this, body, modelIdentifier, bootRom, firstWord, family] {
                        const FirmwareComparison result =
                            readListAndCompare(*this, body, firstWord, [&](const plist::Node& root) {
                                return compareEfiEntries(readEfiEntries(root), modelIdentifier, bootRom,
                                                         family);
                            });
                        appendReport(result.lines);
                        setText(Field::efiVersionText, result.status);
                    });
                });
        }
    } else {
        // An old-style version string names no release that a list could hold.
        const QString value = oldStyleEfiValue(bootRom);
        lines = QStringLiteral("⚠️ old EFI firmware ") + value + QLatin1Char('\n');
        efiText = QStringLiteral("⚠️ ") + value;
    }
    const QString modelText = QStringLiteral("Mac model ") + model.family + model.number;
    run->fill(slot, [this, lines, efiText, modelText] {
        if (!lines.isEmpty())
            appendReport(lines);
        if (efiText)
            setText(Field::efiVersionText, *efiText);
        setText(Field::macTypeText, modelText);
    });
}

} // namespace lq
