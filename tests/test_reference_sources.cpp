// Where the reference lists may come from (https, http on this machine, a folder) and how old they are:
// a folder of lists answers as a server would, an address that may not be fetched never reaches the
// network, and the age of the lists reaches the JSON.
#include "app/HeadlessReport.h"
#include "check/CheckRecords.h"
#include "platform/IORegistry.h"
#include "platform/ProcessToolRunner.h"
#include "platform/QtHttpGetter.h"
#include "platform/ReferenceGetter.h"
#include "platform/RootFileSystem.h"
#include "platform/RootSystemInfo.h"
#include "platform/Services.h"
#include "support/FakeServices.h"
#include "support/TestServer.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace lq::test {
namespace {

const QString kLists = QStringLiteral(LQ_SOURCE_DIR "/reference");

void write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

TEST(ReferenceSources, AFolderAnswersAsAServerWould) {
    QTemporaryDir dir;
    write(dir.filePath(QStringLiteral("list.plist")), "<?xml version=\"1.0\"?><plist><dict/></plist>");
    write(dir.filePath(QStringLiteral("saved-page.plist")),
          "\n  <!DOCTYPE HTML><html><body>404</body></html>");
    write(dir.filePath(QStringLiteral("large.plist")), QByteArray(2048, 'x'));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.plist")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("fifo.plist"))).constData(), 0600), 0);
    struct Case {
        const char* name;
        bool transportError;
        int status;
        const char* mediaType;
    };
    const Case cases[] = {
        {"list.plist", false, 200, "text/xml"},
        {"saved-page.plist", false, 200, "text/html"}, // screened out like a server's error page
        {"missing.plist", false, 404, ""},
        {"large.plist", true, 0, ""},  // past the cap
        {"folder.plist", true, 0, ""}, // not a regular file
        {"fifo.plist", true, 0, ""},   // never waited on
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const HttpResponse response =
            ReferenceGetter::readLocalList(dir.filePath(QString::fromUtf8(c.name)), 1024);
        EXPECT_EQ(response.transportError, c.transportError);
        EXPECT_EQ(response.isHttp, !c.transportError);
        EXPECT_EQ(response.status, c.status);
        EXPECT_EQ(response.mediaType, QString::fromUtf8(c.mediaType));
        if (c.transportError) {
            EXPECT_FALSE(response.errorText.isEmpty());
        }
    }
}

class CountingNetwork : public HttpGetter {
public:
    void get(const QString& url, std::function<void(const HttpResponse&)> done) override {
        asked << url;
        HttpResponse response;
        response.isHttp = true;
        response.status = 200;
        done(response);
    }
    QStringList asked;
};

TEST(ReferenceSources, OnlyHttpsGoesToTheNetworkAndPlainHttpOnlyToThisMachine) {
    CountingNetwork network;
    ReferenceGetter getter(network);
    struct Case {
        const char* url;
        bool toNetwork;
    };
    const Case cases[] = {
        {"https://example.org/updates/master/sysupdates.plist", true},
        {"http://127.0.0.1:8080/sysupdates.plist", true},
        {"http://localhost/sysupdates.plist", true},
        {"http://[::1]/sysupdates.plist", true},
        {"http://example.org/updates/master/sysupdates.plist", false},
        {"http://192.168.1.10/sysupdates.plist", false},
        {"ftp://example.org/sysupdates.plist", false},
        {"sysupdates.plist", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        network.asked.clear();
        std::optional<HttpResponse> answer;
        QEventLoop loop;
        getter.get(QString::fromUtf8(c.url), [&](const HttpResponse& response) {
            answer = response;
            loop.quit();
        });
        if (!answer) {
            QTimer::singleShot(5000, &loop, &QEventLoop::quit);
            loop.exec();
        }
        ASSERT_TRUE(answer.has_value());
        EXPECT_EQ(network.asked.size(), c.toNetwork ? 1 : 0);
        EXPECT_EQ(answer->transportError, !c.toNetwork);
    }
}

struct ReportRun {
    int exitStatus = -1;
    QJsonObject json;
    QStringList reportLines; // sorted, without the footer: the asynchronous blocks come as they arrive
};

ReportRun headless(const QString& mac, const QString& base) {
    const QString root = QStringLiteral(LQ_SOURCE_DIR "/sim/") + mac;
    ProcessToolRunner tools{SystemRoot(root)};
    RootFileSystem files{SystemRoot(root)};
    RootSystemInfo system{SystemRoot(root)};
    const std::unique_ptr<IORegistry> registry = makeIORegistry(SystemRoot(root));
    QtHttpGetter network;
    ReferenceGetter http(network);
    MemorySettings settings;
    const HeadlessResult result = runHeadlessCheck(Services{tools, files, settings, system, *registry, http},
                                                   base, [](const QString&) {});
    ReportRun run;
    run.exitStatus = result.exitStatus;
    run.json = QJsonDocument::fromJson(result.json.toUtf8()).object();
    for (const QString& line : result.text.split(QLatin1Char('\n')))
        if (!line.startsWith(QStringLiteral("Checked by ")))
            run.reportLines << line;
    run.reportLines.sort();
    return run;
}

TEST(ReferenceSources, EveryBundledMacGetsTheSameReportFromAFolderAsFromAServer) {
    TestServer server;
    ASSERT_TRUE(server.listening());
    for (const QString& name : QDir(kLists).entryList({QStringLiteral("*.plist")}, QDir::Files)) {
        QFile file(kLists + QLatin1Char('/') + name);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        server.answer(QLatin1Char('/') + name, Answer(200, "text/xml", file.readAll()));
    }
    const QString folder = QUrl::fromLocalFile(kLists).toString() + QLatin1Char('/');
    for (const QString& mac : QDir(QStringLiteral(LQ_SOURCE_DIR "/sim"))
                                  .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                                  .filter(QRegularExpression(QStringLiteral("^[^_]")))) {
        SCOPED_TRACE(mac.toStdString());
        const ReportRun served = headless(mac, server.baseUrl());
        const ReportRun read = headless(mac, folder);
        EXPECT_EQ(read.exitStatus, served.exitStatus);
        EXPECT_EQ(read.reportLines, served.reportLines);
        EXPECT_EQ(read.json.value(QStringLiteral("checks")), served.json.value(QStringLiteral("checks")));
        EXPECT_EQ(read.json.value(QStringLiteral("status")), served.json.value(QStringLiteral("status")));
        for (const QJsonValue& list : read.json.value(QStringLiteral("reference"))
                                          .toObject()
                                          .value(QStringLiteral("lists"))
                                          .toArray()) {
            EXPECT_EQ(list.toObject().value(QStringLiteral("outcome")).toString(), QStringLiteral("ok"));
            EXPECT_TRUE(list.toObject().value(QStringLiteral("url")).toString().startsWith(folder));
        }
    }
}

// A list's "Published" date, at the top of a dictionary list or in each entry of a list of entries,
// reaches the JSON with the time it was fetched; an old security data list makes the lists stale.
TEST(ReferenceSources, TheListsAgeReachesTheJson) {
    QTemporaryDir dir;
    for (const QString& name : QDir(kLists).entryList({QStringLiteral("*.plist")}, QDir::Files))
        ASSERT_TRUE(QFile::copy(kLists + QLatin1Char('/') + name, dir.filePath(name)));
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const auto dated = [&](const char* name, const QString& key, int daysAgo) {
        QFile file(dir.filePath(QString::fromUtf8(name)));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QString text = QString::fromUtf8(file.readAll());
        file.close();
        const QString date = now.addDays(-daysAgo).toString(Qt::ISODate);
        // The published lists carry their own date: this one takes its place.
        text.remove(QRegularExpression(QStringLiteral("<key>Published</key>\\s*<date>[^<]*</date>\\s*")));
        // Before each of the list's own first keys: at the top of a dictionary, in each entry of an array.
        text.replace(QStringLiteral("<key>") + key + QStringLiteral("</key>"),
                     QStringLiteral("<key>Published</key><date>%1</date><key>%2</key>").arg(date, key));
        QFile::remove(file.fileName());
        write(file.fileName(), text.toUtf8());
    };
    dated("sysupdates.plist", QStringLiteral("KEXT15"), 40);
    dated("applesilicon.plist", QStringLiteral("MacModel"), 3);
    const ReportRun run =
        headless(QStringLiteral("apple-silicon"), QUrl::fromLocalFile(dir.path()).toString() + '/');
    const QJsonObject reference = run.json.value(QStringLiteral("reference")).toObject();
    EXPECT_TRUE(reference.value(QStringLiteral("stale")).toBool());
    EXPECT_EQ(reference.value(QStringLiteral("securityDataAgeDays")).toInt(), 40);
    EXPECT_EQ(reference.value(QStringLiteral("staleAfterDays")).toInt(), kStaleListDays);
    std::map<QString, QJsonObject> lists;
    for (const QJsonValue& list : reference.value(QStringLiteral("lists")).toArray())
        lists[list.toObject().value(QStringLiteral("name")).toString()] = list.toObject();
    ASSERT_EQ(lists.size(), 2U);
    EXPECT_EQ(lists[QStringLiteral("sysupdates.plist")].value(QStringLiteral("published")).toString(),
              now.addDays(-40).toString(Qt::ISODate));
    EXPECT_EQ(lists[QStringLiteral("applesilicon.plist")].value(QStringLiteral("published")).toString(),
              now.addDays(-3).toString(Qt::ISODate));
    for (const auto& [name, list] : lists) {
        const QDateTime fetched =
            QDateTime::fromString(list.value(QStringLiteral("fetchedAt")).toString(), Qt::ISODate);
        EXPECT_LE(qAbs(fetched.secsTo(now)), 60) << name.toStdString();
    }
    // The dates change no verdict.
    EXPECT_EQ(run.exitStatus, 0);
}

TEST(ReferenceSources, AgeOfTheLists) {
    const QDateTime run(QDate(2026, 12, 11), QTime(9, 0), Qt::UTC);
    const auto list = [&](const char* name, const char* published, int fetchedMinutesAgo) {
        ListRecord record;
        record.name = QString::fromUtf8(name);
        record.outcome = ListOutcome::Ok;
        record.published = QString::fromUtf8(published);
        record.fetchedAt = run.addSecs(-60LL * fetchedMinutesAgo);
        return record;
    };
    struct Case {
        const char* name;
        std::vector<ListRecord> lists;
        bool stale;
        std::optional<qint64> days;
        const char* oldest; // "" when no list has a date
    };
    const Case cases[] = {
        {"fresh", {list("sysupdates.plist", "2026-12-01T00:00:00Z", 1)}, false, 10, "2026-12-01T00:00:00Z"},
        {"exactly 30 days is not yet stale",
         {list("sysupdates.plist", "2026-11-11T09:00:00Z", 1)},
         false,
         30,
         "2026-11-11T09:00:00Z"},
        {"31 days", {list("sysupdates.plist", "2026-11-10T09:00:00Z", 1)}, true, 31, "2026-11-10T09:00:00Z"},
        {"only the security data list makes them stale",
         {list("sysupdates.plist", "2026-12-10T00:00:00Z", 1), list("iMac.plist", "2025-01-01T00:00:00Z", 1)},
         false,
         1,
         "2025-01-01T00:00:00Z"},
        {"no date", {list("sysupdates.plist", "", 1)}, false, std::nullopt, ""},
        {"a date in the future gives no age",
         {list("sysupdates.plist", "2027-01-01T00:00:00Z", 1)},
         false,
         std::nullopt,
         "2027-01-01T00:00:00Z"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ReferenceAge age = referenceAgeOf(c.lists, run);
        EXPECT_EQ(age.stale, c.stale);
        EXPECT_EQ(age.securityDataDays, c.days);
        EXPECT_EQ(age.published ? age.published->toString(Qt::ISODate) : QString(),
                  QString::fromUtf8(c.oldest));
        EXPECT_EQ(age.fetched, run.addSecs(-60));
    }
    EXPECT_FALSE(referenceAgeOf({}, run).fetched.has_value());
}

} // namespace
} // namespace lq::test
