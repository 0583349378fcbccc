// The command line of the application.
#include "app/AppOptions.h"

#include <QProcess>

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
}

// The base address of the reference lists: each list's address is the base followed by its file name,
// so a base that is empty, relative, or has a query or fragment would fetch every list from one
// address, or from the built-in one.
TEST(AppOptions, ReferenceUrlMustBeAnAbsoluteHttpBase) {
    struct Case {
        const char* url;
        const char* problem; // nullptr: accepted
    };
    const char* const notAbsolute = "must be an absolute http(s) address";
    const char* const queryOrFragment = "must have no query (?) or fragment (#)";
    const Case cases[] = {
        {"https://example.org/updates/master/", nullptr},
        {"http://127.0.0.1:8080/", nullptr},
        {"HTTPS://Example.org/updates/master/", nullptr},
        {"", notAbsolute},
        {"/updates/master/", notAbsolute},
        {"https:updates/master/", notAbsolute},
        {"http:///updates/master/", notAbsolute},
        {"ftp://example.org/updates/", notAbsolute},
        {"file:///tmp/updates/", notAbsolute},
        {"https://exa mple.org/", notAbsolute},
        {"https://example.org/updates/#/", queryOrFragment},
        {"https://example.org/#", queryOrFragment},
        {"https://example.org/list?name=/", queryOrFragment},
        {"https://example.org/updates/?", queryOrFragment},
        {"https://example.org/updates", "must end in /"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(referenceUrlProblem(QString::fromUtf8(c.url)),
                  c.problem ? std::optional<QString>(QString::fromUtf8(c.problem)) : std::nullopt);
        const AppOptions options = parseOptions(
            {QStringLiteral("lanternquill"), QStringLiteral("--reference-url"), QString::fromUtf8(c.url)});
        EXPECT_EQ(options.error.isEmpty(), c.problem == nullptr) << options.error.toStdString();
        if (!c.problem) {
            EXPECT_EQ(options.referenceUrl, QString::fromUtf8(c.url));
        }
    }
}

// A usage error ends the application with status 2 and says why, before anything is checked.
TEST(AppOptions, AnUnusableReferenceUrlIsAUsageError) {
    for (const char* url : {"", "https://example.org/updates/#/"}) {
        SCOPED_TRACE(url);
        QProcess app;
        app.start(QStringLiteral(LQ_APP_BINARY),
                  {QStringLiteral("--report"), QStringLiteral("--reference-url"), QString::fromUtf8(url)});
        ASSERT_TRUE(app.waitForFinished(10000));
        EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(app.exitCode(), 2);
        const QString error = QString::fromUtf8(app.readAllStandardError());
        EXPECT_TRUE(error.startsWith(
            QStringLiteral("lanternquill: --reference-url \"%1\": ").arg(QString::fromUtf8(url))))
            << error.toStdString();
        EXPECT_TRUE(error.contains(QStringLiteral("Usage: lanternquill")));
        EXPECT_EQ(app.readAllStandardOutput(), QByteArray());
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
