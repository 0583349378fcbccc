// system_profiler's reports as the hardware identification reads them: the system firmware line, the
// display firmware lines, the Studio Display test, the Apple-silicon test and the model families.
#include "FuzzSupport.h"

#include "firmware/HardwareParsers.h"

#include <fuzzer/FuzzedDataProvider.h>

using namespace lq;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const int count = input.ConsumeIntegralInRange<int>(-2, 40);
    const std::string rest = input.ConsumeRemainingBytesAsString();
    // Tool output is decoded as the runners decode it.
    const QString text = QString::fromUtf8(rest.data(), static_cast<qsizetype>(rest.size()));

    // The value is cut from one line at a fixed column, so a short line gives an empty one.
    fuzz::require(!parseSystemFirmwareVersion(text).contains(QLatin1Char('\n')),
                  "a firmware version is part of one line");
    const DisplayFirmwareLines displays = parseDisplayFirmwareLines(text);
    for (const QString& version : displays.versions)
        fuzz::require(!version.contains(QLatin1Char('\n')), "a version is part of one line");
    (void)reportsStudioDisplay(text);
    (void)isAppleSiliconChipReport(text);
    const ModelClass model = classifyModel(text);
    if (!model.identified)
        fuzz::require(model.number == QStringLiteral("0,0"), "an unknown model is number 0,0");
    const QString dropped = dropLeadingCharacters(text, count);
    fuzz::require(text.endsWith(dropped), "dropping characters keeps the end");
    fuzz::require(characterCount(text) >= 0, "a count is never negative");
    return 0;
}
