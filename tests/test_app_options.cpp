// The command line of the application.
#include "app/AppOptions.h"

#include <gtest/gtest.h>

namespace lq {
namespace {

TEST(AppOptions, AcceptedAndRefused) {
    struct Case {
        QStringList args;
        bool ok;
    };
    const Case cases[] = {
        {{}, true},
        {{"--report"}, true},
        {{"--report", "--json", "--system-root", "/tmp/mac", "--reference-url", "http://127.0.0.1:8080/"},
         true},
        {{"--help"}, true},
        {{"--version"}, true},
        {{"--json"}, false},        // JSON only with the report
        {{"--system-root"}, false}, // a value is missing
        {{"--system-root", "--report"}, false},
        {{"--reference-url", "ftp://host/x/"}, false},
        {{"--reference-url", "https://host/no-slash"}, false},
        {{"--frobnicate"}, false},
    };
    for (const Case& c : cases) {
        const AppOptions options = parseOptions(QStringList{QStringLiteral("lanternquill")} + c.args);
        EXPECT_EQ(options.error.isEmpty(), c.ok)
            << c.args.join(' ').toStdString() << ": " << options.error.toStdString();
    }
    const AppOptions full = parseOptions({"lanternquill", "--report", "--json", "--system-root", "/tmp/mac",
                                          "--reference-url", "https://example.org/updates/master/"});
    EXPECT_TRUE(full.report);
    EXPECT_TRUE(full.json);
    EXPECT_EQ(full.systemRoot, QStringLiteral("/tmp/mac"));
    EXPECT_EQ(full.referenceUrl, QStringLiteral("https://example.org/updates/master/"));
}

} // namespace
} // namespace lq
