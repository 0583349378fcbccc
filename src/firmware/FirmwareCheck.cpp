// Boot firmware currency: the plan from the I/O Registry, and the comparison with the published list.
#include "firmware/FirmwareCheck.h"

#include "firmware/FirmwareRules.h"
#include "firmware/HardwareIdentification.h"
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
FirmwareResult readListAndCompare(const QByteArray& body, const QString& unmarked, Compare compare) {
    FirmwareResult result;
    result.installed = unmarked;
    const AlertFunction alert = [&result](const QString& text) { result.alerts << text; };
    const std::optional<plist::Document> list = parseReferenceList(body, alert, ListShape::Array);
    if (!list || !checkHasEntries(list->root(), alert)) {
        result.status = unmarked;
        return result;
    }
    result.list.published = publishedDate(list->root());
    const FirmwareComparison comparison = compare(list->root());
    result.lines = comparison.lines;
    result.status = comparison.status;
    result.expected = comparison.expected;
    return result;
}

// Hands back once: the first of the comparison and the fetch's failure wins. The list's record goes
// with it, its outcome corrected by what reading the body found.
struct Once {
    std::function<void(const FirmwareResult&)> done;
    ListRecord list;
    bool handed = false;
    void hand(FirmwareResult result) {
        if (handed)
            return;
        handed = true;
        const QString published = result.list.published;
        result.list = list;
        result.list.published = published;
        noteListAlerts(result.list, result.alerts);
        done(result);
    }
};

} // namespace

FirmwarePlan planFirmwareCheck(const FirmwareInputs& inputs) {
    FirmwarePlan plan;
    if (inputs.appleSilicon) {
        plan.modelText = QStringLiteral("🍏 Mac model ") + inputs.modelIdentifier;
        plan.lines = plan.modelText + QLatin1Char('\n');
        plan.listUrl = inputs.referenceBaseUrl + QStringLiteral("applesilicon.plist");
        return plan;
    }
    const QString firstWord = inputs.bootRom.split(QLatin1Char(' '), Qt::SkipEmptyParts).value(0);
    const ModelClass model = classifyModel(inputs.modelIdentifier);
    plan.modelText = QStringLiteral("Mac model ") + model.family + model.number;
    if (firstWord.isEmpty()) {
        // Without a version there is nothing to judge; say so rather than call it old.
        plan.lines = QStringLiteral("⚠️ EFI firmware version could not be read.\n");
        plan.efiText = QStringLiteral("⚠️ EFI version unknown");
    } else if (startsWithDigit(firstWord)) {
        if (model.identified && model.family != QLatin1String("unidentified") &&
            model.number != QLatin1String("0,0"))
            plan.listUrl = inputs.referenceBaseUrl + model.family + QStringLiteral(".plist");
    } else {
        // An old-style version string names no release that a list could hold.
        const QString value = oldStyleEfiValue(inputs.bootRom);
        plan.lines = QStringLiteral("⚠️ old EFI firmware ") + value + QLatin1Char('\n');
        plan.efiText = QStringLiteral("⚠️ ") + value;
    }
    return plan;
}

void FirmwareCheck::start(const StepServices& step, const FirmwareInputs& inputs, const QString& listUrl,
                          std::function<void(const FirmwareResult&)> done) {
    auto once = std::make_shared<Once>(Once{std::move(done), pendingListRecord(listUrl)});
    auto fetch = stepFetch(
        step,
        [once](const QString& failureLine) {
            FirmwareResult failed;
            failed.lines = failureLine;
            once->hand(failed);
        },
        [once](const ListRecord& record) { once->list = record; });
    const std::function<void()> fetchEnd = fetch.endWork;

    if (!inputs.appleSilicon) {
        // An answer of another media type ends the fetch with nothing said; the step still hands back.
        fetch.endWork = [once, fetchEnd] {
            once->hand({});
            fetchEnd();
        };
        const QString model = inputs.modelIdentifier;
        const QString bootRom = inputs.bootRom;
        const QString firstWord = bootRom.split(QLatin1Char(' '), Qt::SkipEmptyParts).value(0);
        const QString family = classifyModel(model).family;
        fetchReferenceList(fetch, listUrl, [once, model, bootRom, firstWord, family](const QByteArray& body) {
            once->hand(readListAndCompare(body, firstWord, [&](const plist::Node& root) {
                return compareEfiEntries(readEfiEntries(root), model, bootRom, family);
            }));
        });
        return;
    }

    // The installed version comes from a tool and the published one from the network; the comparison
    // waits for both.
    struct Versions {
        std::optional<QString> installed;
        std::optional<QByteArray> body;
    };
    auto versions = std::make_shared<Versions>();
    auto compare = [once, versions, model = inputs.modelIdentifier] {
        if (!versions->installed || !versions->body)
            return;
        const QString installed = *versions->installed;
        once->hand(readListAndCompare(*versions->body, installed, [&](const plist::Node& root) {
            return compareIBootEntries(readIBootEntries(root), model, installed);
        }));
    };
    // The fetch's end must not hand back before the installed version is in: a body that arrived
    // first waits for it.
    fetch.endWork = [once, versions, fetchEnd] {
        if (!versions->body)
            once->hand({});
        fetchEnd();
    };
    step.background.run<QString>(
        QStringLiteral("system_profiler SPHardwareDataType"),
        [&tools = step.services.tools] { return readSystemFirmwareVersion(tools); },
        [versions, compare](const QString& installed) {
            versions->installed = installed;
            compare();
        });
    fetchReferenceList(fetch, listUrl, [versions, compare](const QByteArray& body) {
        versions->body = body;
        compare();
    });
}

} // namespace lq
