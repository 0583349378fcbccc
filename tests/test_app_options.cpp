// The command line of the application.
#include "app/AppOptions.h"
#include "app/ReferenceBase.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QUrl>

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
// A base address is an https address (plain http only on this machine), a file:// address or a folder,
// ending in "/" with no query or fragment: each list's address is the base followed by its file name.
TEST(AppOptions, ReferenceBaseAddresses) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("lists dir")));
    const QString folder = dir.path() + QStringLiteral("/lists dir");
    const QString folderUrl = QUrl::fromLocalFile(folder).toString(QUrl::FullyEncoded) + QLatin1Char('/');
    struct Case {
        QString text;
        QString url;     // what it becomes, when accepted
        QString problem; // otherwise
    };
    const QString notAnAddress = QStringLiteral("must be an https or file address, or a folder");
    const QString queryOrFragment = QStringLiteral("must have no query (?) or fragment (#)");
    const QString plainHttp = QStringLiteral("must be https (plain http only for this machine)");
    const auto same = [](const char* text) {
        return Case{QString::fromUtf8(text), QString::fromUtf8(text), {}};
    };
    const auto bad = [](const char* text, const QString& problem) {
        return Case{QString::fromUtf8(text), {}, problem};
    };
    const Case cases[] = {
        same("https://example.org/updates/master/"),
        same("HTTPS://Example.org/updates/master/"),
        same("http://127.0.0.1:8080/"),
        same("http://localhost:8080/lists/"),
        same("http://[::1]:8080/"),
        same("file:///srv/lists/"),
        same("file://localhost/srv/lists/"),
        {folder, folderUrl, {}},
        {folder + QLatin1Char('/'), folderUrl, {}},
        {QStringLiteral("lists dir"), folderUrl, {}}, // relative to the working folder
        bad("", QStringLiteral("must not be empty")),
        bad("/no/such/folder/", QStringLiteral("no such folder")),
        bad("http://example.org/updates/", plainHttp),
        bad("http://10.0.0.1/updates/", plainHttp),
        bad("https:updates/master/", QStringLiteral("must name a server")),
        bad("http:///updates/master/", QStringLiteral("must name a server")),
        bad("ftp://example.org/updates/", notAnAddress),
        bad("file://fileserver/share/lists/",
            QStringLiteral("a file address must name a folder on this Mac")),
        bad("https://exa mple.org/", notAnAddress),
        bad("https://example.org/updates/#/", queryOrFragment),
        bad("https://example.org/list?name=/", queryOrFragment),
        bad("https://example.org/updates", QStringLiteral("must end in /")),
        bad("file:///srv/lists", QStringLiteral("must end in /")),
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const ReferenceAddress address = referenceAddress(c.text, dir.path());
        EXPECT_EQ(address.url, c.url);
        EXPECT_EQ(address.problem, c.problem);
    }
    // The command line takes the same rules, relative folders from the working folder.
    const AppOptions good =
        parseOptions({QStringLiteral("lanternquill"), QStringLiteral("--reference-url"), folder});
    EXPECT_EQ(good.error, QString());
    EXPECT_EQ(good.referenceUrl, folderUrl);
    const AppOptions http = parseOptions({QStringLiteral("lanternquill"), QStringLiteral("--reference-url"),
                                          QStringLiteral("http://example.org/")});
    EXPECT_EQ(http.error, QStringLiteral("--reference-url \"http://example.org/\": ") + plainHttp);
}

// The command line wins over the setting, the setting over the built-in address; a setting that cannot
// be used is not used, and says so.
TEST(AppOptions, ReferenceBaseChoice) {
    const QString builtIn = QStringLiteral("https://built.in/updates/master/");
    const QString mirror = QStringLiteral("https://mirror.example/lists/");
    const QString option = QStringLiteral("http://127.0.0.1:9/");
    struct Case {
        std::optional<QString> option;
        QString setting;
        QString url;
        ReferenceSource source;
        bool problem;
    };
    const Case cases[] = {
        {std::nullopt, {}, builtIn, ReferenceSource::BuiltIn, false},
        {std::nullopt, mirror, mirror, ReferenceSource::Setting, false},
        {option, mirror, option, ReferenceSource::CommandLine, false},
        {std::nullopt, QStringLiteral("http://mirror.example/lists/"), builtIn, ReferenceSource::BuiltIn,
         true},
        {std::nullopt, QStringLiteral("https://mirror.example/lists"), builtIn, ReferenceSource::BuiltIn,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.setting.toStdString());
        const ReferenceBase base = chooseReferenceBase(c.option, c.setting, builtIn, QDir::tempPath());
        EXPECT_EQ(base.url, c.url);
        EXPECT_EQ(base.source, c.source);
        EXPECT_EQ(!base.settingProblem.isEmpty(), c.problem) << base.settingProblem.toStdString();
        if (c.problem) {
            EXPECT_TRUE(base.settingProblem.contains(c.setting));
        }
    }
}

// The setting is read from the user's settings file (on a Mac, the preferences domain a profile manages).
TEST(AppOptions, TheReferenceBaseUrlSettingIsUsedWithoutACommandLineAddress) {
    QTemporaryDir config;
    ASSERT_TRUE(QDir(config.path()).mkpath(QStringLiteral("lanternquill")));
    const QString lists = QStringLiteral(LQ_SOURCE_DIR "/reference");
    QFile file(config.filePath(QStringLiteral("lanternquill/Lanternquill.conf")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[General]\nReferenceBaseURL=" + lists.toUtf8() + "\n");
    file.close();
    QProcess app;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    app.setProcessEnvironment(environment);
    app.start(QStringLiteral(LQ_APP_BINARY),
              {QStringLiteral("--report"), QStringLiteral("--json"), QStringLiteral("--system-root"),
               QStringLiteral(LQ_SOURCE_DIR "/sim/apple-silicon")});
    ASSERT_TRUE(app.waitForFinished(60000));
    const QJsonObject reference = QJsonDocument::fromJson(app.readAllStandardOutput())
                                      .object()
                                      .value(QStringLiteral("reference"))
                                      .toObject();
    EXPECT_EQ(reference.value(QStringLiteral("source")).toString(), QStringLiteral("setting"));
    EXPECT_EQ(reference.value(QStringLiteral("baseUrl")).toString(),
              QUrl::fromLocalFile(lists).toString() + QLatin1Char('/'));
    EXPECT_EQ(app.exitCode(), 0) << app.readAllStandardError().toStdString();
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
