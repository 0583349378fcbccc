// The texts of the security status verdicts, from the tools' outputs and the chip report.
#include "check/SecurityStatusRules.h"

#include <QStringList>

namespace lq {

namespace {

const QString kGood = QStringLiteral("✅ ");
const QString kBad = QStringLiteral("❌ ");
const QString kWarning = QStringLiteral("⚠️ ");

// The highest OS version code of macOS 10.x; macOS 11 brought the signed system volume.
constexpr int kLastTenVersionCode = 15;
// A chip report shorter than this holds no boot policy worth showing.
constexpr int kMinPolicyReportLines = 5;

QString markFor(bool on) {
    return on ? kGood : kBad;
}

bool containsAny(const QString& line, std::initializer_list<QLatin1String> names) {
    for (const QLatin1String& name : names) {
        if (line.contains(name))
            return true;
    }
    return false;
}

PolicyLine goodIf(bool good) {
    return good ? PolicyLine::Good : PolicyLine::Warning;
}

// The setting's value: what follows the last ": " of the line, without surrounding white space.
QString settingValue(const QString& line) {
    const qsizetype colon = line.lastIndexOf(QLatin1String(": "));
    return colon < 0 ? QString() : line.mid(colon + 2).trimmed();
}

// The first setting named decides, in this order. The listed wording says "On" where the evaluated
// one says "Enabled"; both are judged by the same table, so a relaxed setting is never shown as good.
PolicyLine classifyPolicyLine(const QString& line, bool listedWording) {
    if (line.contains(QLatin1String("Secure Boot")))
        return goodIf(line.contains(QLatin1String("Full Sec")));
    if (containsAny(line, {QLatin1String("System Integrity"), QLatin1String("Signed System"),
                           QLatin1String("Kernel CT"), QLatin1String("Boot Arguments")}))
        return goodIf(line.contains(QLatin1String("Enable")) ||
                      (listedWording && settingValue(line) == QLatin1String("On")));
    if (line.contains(QLatin1String("Allow All Kernel")))
        return goodIf(line.contains(QLatin1String(": No")));
    if (containsAny(line, {QLatin1String("User Approved Priv"), QLatin1String("DEP Approved Priv")}))
        return PolicyLine::Plain;
    return PolicyLine::Skipped;
}

} // namespace

bool sipIsOn(const QString& csrutilStatus) {
    // Without its "s", so that "Status: enabled" and "status: enabled" both count.
    return csrutilStatus.contains(QLatin1String("tatus: enabled"));
}

bool ssvIsOn(const QString& authenticatedRootStatus) {
    return authenticatedRootStatus.contains(QLatin1String("enabled"));
}

bool osHasSignedSystemVolume(int osVersionCode) {
    return osVersionCode > kLastTenVersionCode;
}

SecurityVerdict sipVerdict(const QString& csrutilStatus) {
    const bool on = sipIsOn(csrutilStatus);
    return {on ? QStringLiteral("✅ SIP enabled.") : QStringLiteral("❌ SIP disabled."),
            markFor(on) + csrutilStatus};
}

SecurityVerdict sipAndSsvVerdict(const QString& csrutilStatus, const QString& authenticatedRootStatus) {
    const bool sipOn = sipIsOn(csrutilStatus);
    const bool ssvOn = ssvIsOn(authenticatedRootStatus);
    if (sipOn && ssvOn)
        return {QStringLiteral("✅ SIP & SSV enabled."), QStringLiteral("✅ SIP & SSV enabled.\n")};
    return {markFor(sipOn) + QStringLiteral("SIP, ") + markFor(ssvOn) + QStringLiteral("SSV."),
            markFor(sipOn) + csrutilStatus + markFor(ssvOn) + authenticatedRootStatus};
}

SecurityVerdict xprotectVerdict(const QString& spctlStatus) {
    if (spctlStatus.contains(QLatin1String("enabled")))
        return {QStringLiteral("✅ XProtect enabled."), QStringLiteral("✅ XProtect ") + spctlStatus};
    return {QStringLiteral("❌ XProtect disabled."), QStringLiteral("❌ XProtect ") + spctlStatus};
}

SecurityVerdict fileVaultVerdict(const QString& fdesetupStatus) {
    if (fdesetupStatus.contains(QLatin1String("On")))
        return {QStringLiteral("✅ FileVault on."), kGood + fdesetupStatus};
    return {QStringLiteral("⚠️ FileVault off."), kWarning + fdesetupStatus};
}

PolicyLine classifyEvaluatedPolicyLine(const QString& line) {
    return classifyPolicyLine(line, false);
}

PolicyLine classifyListedPolicyLine(const QString& line) {
    return classifyPolicyLine(line, true);
}

QString policyLinePrefix(PolicyLine kind) {
    switch (kind) {
    case PolicyLine::Good:
        return QStringLiteral("\t🍏 ");
    case PolicyLine::Warning:
        return QStringLiteral("\t⚠️ ");
    case PolicyLine::Plain:
        return QStringLiteral("\t");
    case PolicyLine::Skipped:
        break;
    }
    return QString();
}

PolicyLine policySetting(const QString& chipReport, const QString& setting) {
    const bool evaluated = chipReport.contains(QLatin1String("abled"));
    for (const QString& line : chipReport.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (!line.trimmed().startsWith(setting))
            continue;
        return evaluated ? classifyEvaluatedPolicyLine(line) : classifyListedPolicyLine(line);
    }
    return PolicyLine::Skipped;
}

PlatformSecurity platformSecurity(const QString& chipReport) {
    const QStringList lines = chipReport.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    // Reports that judge their settings say "Enabled" or "Disabled" somewhere; older ones only list them.
    const bool evaluated = chipReport.contains(QLatin1String("abled"));
    PlatformSecurity result;
    result.block = evaluated ? QStringLiteral("Apple Silicon Security:\n")
                             : QStringLiteral("Apple Platform Security:\n");
    if (lines.size() < kMinPolicyReportLines)
        return result;

    int judged = 0;
    bool allFull = true;
    for (const QString& line : lines) {
        const PolicyLine kind =
            evaluated ? classifyEvaluatedPolicyLine(line) : classifyListedPolicyLine(line);
        if (kind == PolicyLine::Skipped)
            continue;
        result.block += policyLinePrefix(kind) + line.trimmed() + QLatin1Char('\n');
        if (kind == PolicyLine::Good || kind == PolicyLine::Warning)
            ++judged;
        if (kind == PolicyLine::Warning)
            allFull = false;
    }

    result.judged = judged;
    result.allFull = allFull;
    // A listed report only points to its lines while every setting in it is good.
    if (!evaluated && allFull)
        result.statusText = QStringLiteral("See Platform Security below");
    // A report in which no setting could be found proves nothing, so it earns no "full" verdict.
    else if (!evaluated || judged > 0)
        result.statusText = allFull ? QStringLiteral("🍏 Platform Security full.")
                                    : QStringLiteral("⚠️ Platform Security partial.");
    return result;
}

} // namespace lq
