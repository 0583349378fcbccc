// The verdicts on SIP, SSV, the Apple-silicon boot policy, XProtect assessments and FileVault.
#pragma once

#include "check/CheckRecords.h"
#include "platform/Background.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace lq {

inline const QString theSIPCmd = QStringLiteral("/usr/bin/csrutil");
inline const QStringList theSIPPar = {QStringLiteral("status")};
inline const QStringList theSSVPar = {QStringLiteral("authenticated-root"), QStringLiteral("status")};
inline const QString theXProtCmd = QStringLiteral("/usr/sbin/spctl");
inline const QStringList theXProtPar = {QStringLiteral("--status")};
inline const QString theFVaultCmd = QStringLiteral("/usr/bin/fdesetup");
inline const QStringList theFVaultPar = {QStringLiteral("status")};

struct SecurityStatusInputs {
    bool appleSilicon = false;
    QString chipReport;  // the chip report of identification: Apple silicon shows its boot policy there
    bool withSsv = true; // whether the signed system volume is judged with SIP (Intel)
};

// The status block of the report and the three status fields.
struct SecurityStatusResult {
    QString block;
    std::optional<QString> sipText; // unset when the boot policy gave no field text
    QString xprotText;
    QString filevText;
    // The states of sip, ssv, bootPolicy, gatekeeper and fileVault.
    std::vector<std::pair<QString, CheckRecord>> records;
};

class SecurityStatusCheck {
public:
    // Runs the status tools at the same time, off the main thread, and hands back the verdicts once,
    // on the main thread, after the last tool has answered.
    static void start(const StepServices& step, const SecurityStatusInputs& inputs,
                      std::function<void(const SecurityStatusResult&)> done);
};

} // namespace lq
