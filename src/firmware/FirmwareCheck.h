// Boot firmware currency: the Intel boot ROM (EFI) against its family's list, the Apple-silicon system
// firmware (iBoot) against the Apple-silicon list.
#pragma once

#include "platform/Background.h"
#include "securitydata/ReferenceList.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace lq {

struct FirmwareInputs {
    bool appleSilicon = false;
    QString modelIdentifier;
    QString bootRom; // the I/O Registry's boot ROM version (Intel)
    QString referenceBaseUrl;
};

// What a check run shows of the firmware at once, from the I/O Registry alone, and which list, if
// any, the installed version is compared with.
struct FirmwarePlan {
    QString lines;                  // report lines
    std::optional<QString> efiText; // the firmware field
    QString modelText;              // the model field
    std::optional<QString> listUrl;
};
FirmwarePlan planFirmwareCheck(const FirmwareInputs& inputs);

// The comparison with the list: its report lines (or the fetch's failure line), the firmware field's
// text when the comparison set one, and the alerts that reading the list raised.
struct FirmwareResult {
    QString lines;
    std::optional<QString> status;
    QStringList alerts;
    QString installed; // the version judged
    QString expected;  // the listed version it was judged against, when the list had one
    ListRecord list;   // what became of the list
    bool empty() const { return lines.isEmpty() && !status && alerts.isEmpty(); }
};

// Fetches the plan's list (and on Apple silicon reads the installed system firmware at the same
// time) and hands back the comparison once, on the main thread. A list served as another media
// type hands back an empty result.
class FirmwareCheck {
public:
    static void start(const StepServices& step, const FirmwareInputs& inputs, const QString& listUrl,
                      std::function<void(const FirmwareResult&)> done);
};

} // namespace lq
