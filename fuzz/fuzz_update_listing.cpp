// softwareupdate's listing and the content caching status, from the two-stream runner to the main
// window: "no updates" only for a listing that ran to success and said "No new".
#include "FuzzSupport.h"

#include "check/MenuBarModel.h"
#include "check/PlainMainView.h"
#include "check/ViewController.h"
#include "updates/RunToolBothStreams.h"
#include "updates/UpdateTools.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <memory>

using namespace lq;

namespace {

struct Window {
    fuzz::InputServices services;
    PlainMainView view;
    MenuBarModel menus;
    ViewController vc{services.services(), view, menus,
                      QStringLiteral("https://example.test/updates/master/")};
};

ToolRun toolRun(FuzzedDataProvider& input) {
    ToolRun run;
    run.status = input.ConsumeBool() ? 0 : input.ConsumeIntegralInRange<int>(1, 255);
    const std::string out = input.ConsumeRandomLengthString(8192);
    const std::string err = input.ConsumeRandomLengthString(8192);
    run.out = QByteArray(out.data(), static_cast<qsizetype>(out.size()));
    run.err = QByteArray(err.data(), static_cast<qsizetype>(err.size()));
    return run;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::ensureApplication();
    static Window* window = new Window; // one window for the whole run, as in the application
    FuzzedDataProvider input(data, size);
    const ToolRun listingRun = toolRun(input);
    const ToolRun cachingRun = toolRun(input);
    window->services.tools.answers = {{theCSUPath, listingRun}, {theCheckConCacheCmd, cachingRun}};

    const OutputPair listing = runToolBothStreams(window->services.tools, theCSUPath, {});
    const OutputPair caching = runToolBothStreams(window->services.tools, theCheckConCacheCmd, {});
    window->view.report.clear();
    window->vc.showUpdateCheckResult(listing, caching);

    const bool noUpdates = window->view.fieldText(Field::updateStatusText) == QStringLiteral("✅ no updates.");
    const QByteArray said = listingRun.out + ' ' + listingRun.err;
    if (noUpdates)
        fuzz::require(listingRun.status == 0 && said.contains("No new"),
                      "no updates only after a listing that succeeded and said so");
    if (listingRun.status != 0)
        fuzz::require(!noUpdates, "a failed listing is never no updates");
    fuzz::require(window->view.report.endsWith(QLatin1Char('\n')), "the report lines end whole");
    fuzz::require(window->view.spinnerHidden, "the spinner stops");
    return 0;
}
