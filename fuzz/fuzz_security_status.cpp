// The security tools' output as the status checks judge it: csrutil's SIP and SSV texts, spctl,
// fdesetup and the boot policy lines of an Apple-silicon chip report.
#include "FuzzSupport.h"

#include "check/SecurityStatusRules.h"

#include <fuzzer/FuzzedDataProvider.h>

using namespace lq;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string first = input.ConsumeRandomLengthString(4096);
    const std::string second = input.ConsumeRemainingBytesAsString();
    const QString a = QString::fromUtf8(first.data(), static_cast<qsizetype>(first.size()));
    const QString b = QString::fromUtf8(second.data(), static_cast<qsizetype>(second.size()));

    if (sipIsOn(a))
        fuzz::require(a.contains(QStringLiteral("enabled")), "SIP is on only when the tool says enabled");
    if (ssvIsOn(b))
        fuzz::require(b.contains(QStringLiteral("enabled")), "SSV is on only when the tool says enabled");
    for (const SecurityVerdict& verdict :
         {sipVerdict(a), sipAndSsvVerdict(a, b), xprotectVerdict(a), fileVaultVerdict(b)})
        fuzz::require(!verdict.statusText.isEmpty(), "every verdict has a status text");
    const PlatformSecurity platform = platformSecurity(a + QLatin1Char('\n') + b);
    if (platform.statusText)
        fuzz::require(!platform.statusText->isEmpty(), "a verdict is never empty");
    for (const QString& line : b.split(QLatin1Char('\n'))) {
        (void)policyLinePrefix(classifyEvaluatedPolicyLine(line));
        (void)policyLinePrefix(classifyListedPolicyLine(line));
    }
    return 0;
}
