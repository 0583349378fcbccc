// The settings file and the user's files: damaged input reads as absent, and a save never destroys
// what was there.
#include "platform/IORegistry.h"
#include "platform/QtSettingsStore.h"
#include "platform/RootFileSystem.h"
#include "platform/SettingsDomain.h"
#include "platform/SystemRoot.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#ifdef __APPLE__
#include <sys/sysctl.h>
#endif
#include <csignal>

#include <fcntl.h>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <unistd.h>

namespace lq {
namespace {

void writeText(const QString& path, const QByteArray& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

QByteArray readText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

TEST(SettingsDomainNames, TurnABundleIdentifierIntoTheNamesQSettingsNeeds) {
    const struct {
        QString identifier;
        SettingsDomain names;
    } cases[] = {
        {QStringLiteral("org.lanternquill.Lanternquill2"),
         {QStringLiteral("lanternquill.org"), QStringLiteral("Lanternquill2")}},
        {QStringLiteral("uk.co.example.tools.Checker"),
         {QStringLiteral("tools.example.co.uk"), QStringLiteral("Checker")}},
        {QStringLiteral("org.Lanternquill"), {}},
        {QStringLiteral("org..Lanternquill"), {}},
        {QStringLiteral("org.lanternquill."), {}},
        {QString(), {}},
    };
    for (const auto& c : cases) {
        const SettingsDomain names = preferencesDomainOf(c.identifier);
        EXPECT_EQ(names.organization, c.names.organization) << c.identifier.toStdString();
        EXPECT_EQ(names.application, c.names.application) << c.identifier.toStdString();
    }
}

// The user's settings: on a Mac the preferences domain of the bundle identifier, on Linux the file that
// earlier versions wrote, so that stored settings carry over.
TEST(SettingsDomainNames, TheUsersSettingsAreWhereThePlatformKeepsThem) {
#ifdef __APPLE__
    EXPECT_EQ(QtSettingsStore().location(), QDir::homePath() + QStringLiteral("/Library/Preferences/") +
                                                QStringLiteral(LQ_BUNDLE_IDENTIFIER ".plist"));
#else
    QTemporaryDir config;
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    const QString location = QtSettingsStore().location();
    if (saved.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", saved);
    EXPECT_EQ(location, config.filePath(QStringLiteral("lanternquill/Lanternquill.conf")));
#endif
}

TEST(SettingsStore, RoundTripsAndAbsentValues) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Lanternquill.conf"));
    {
        QtSettingsStore store(path);
        EXPECT_FALSE(store.boolValue(QStringLiteral("noCheckSWU")));
        EXPECT_DOUBLE_EQ(store.doubleValue(QStringLiteral("fontSize")), 0.0);
        store.setBool(QStringLiteral("noCheckSWU"), true);
        store.setDouble(QStringLiteral("fontSize"), 14.5);
    }
    QtSettingsStore again(path);
    EXPECT_TRUE(again.boolValue(QStringLiteral("noCheckSWU")));
    EXPECT_DOUBLE_EQ(again.doubleValue(QStringLiteral("fontSize")), 14.5);
}

// Storing what the file already says (or what an absent key reads as) leaves the file untouched, with
// the user's comments and the lines QSettings cannot read; a changed value is written.
TEST(SettingsStore, OnlyAChangedValueIsWritten) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Lanternquill.conf"));
    const QByteArray handWritten =
        "; my settings\n[General]\nfontSize=14\nnoCheckXPRem=true\nnot a setting\n";
    writeText(path, handWritten);
    const QFileInfo before(path);
    {
        QtSettingsStore store(path);
        EXPECT_FALSE(store.keepsValuesInMemory());
        store.setDouble(QStringLiteral("fontSize"), 14.0);
        store.setBool(QStringLiteral("noCheckXPRem"), true);
        store.setBool(QStringLiteral("noCheckSWU"), false);          // absent reads false
        store.setDouble(QStringLiteral("dateLastUpdateCheck"), 0.0); // absent reads 0
    }
    EXPECT_EQ(readText(path), handWritten);
    EXPECT_EQ(QFileInfo(path).fileTime(QFileDevice::FileModificationTime),
              before.fileTime(QFileDevice::FileModificationTime));
    {
        QtSettingsStore store(path);
        store.setDouble(QStringLiteral("fontSize"), 15.0);
    }
    QtSettingsStore again(path);
    EXPECT_DOUBLE_EQ(again.doubleValue(QStringLiteral("fontSize")), 15.0);
    EXPECT_TRUE(again.boolValue(QStringLiteral("noCheckXPRem")));
}

TEST(SettingsStore, DamagedValuesReadAsAbsent) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Lanternquill.conf"));
    writeText(path, "[General]\nnoCheckSWU=perhaps\nfontSize=large\nupdateCheckInt=nan\nnoInstallSWU=true\n"
                    "\x01\x02garbage line without equals\n");
    QtSettingsStore store(path);
    EXPECT_FALSE(store.boolValue(QStringLiteral("noCheckSWU")));
    EXPECT_DOUBLE_EQ(store.doubleValue(QStringLiteral("fontSize")), 0.0);
    EXPECT_DOUBLE_EQ(store.doubleValue(QStringLiteral("updateCheckInt")), 0.0);
    EXPECT_TRUE(store.boolValue(QStringLiteral("noInstallSWU")));
}

TEST(UserFiles, ReplaceOnlyWhenComplete) {
    QTemporaryDir dir;
    RootFileSystem files(SystemRoot(dir.path()));
    const QString target = dir.filePath(QStringLiteral("LQ_undated.text"));
    writeText(target, "old report");
    EXPECT_EQ(files.writeUserFile(target, "new report ✅"), QString());
    EXPECT_EQ(readText(target), QByteArray("new report ✅"));
    // No temporary file is left beside it.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("LQ_undated.text")});
}

// Makes the calling thread write as an ordinary user for as long as it lives. Root may write into any
// folder, so as root the thread's file-system user becomes "nobody" (which takes the override of file
// permissions with it) and `paths` are handed to that user; for anyone else nothing changes.
class ActAsOrdinaryUser {
public:
    explicit ActAsOrdinaryUser(const QStringList& paths) {
        if (geteuid() != 0)
            return;
        for (const QString& path : paths)
            if (::chown(QFile::encodeName(path).constData(), kNobody, kNobody) != 0)
                return;
        ::setfsgid(kNobody);
        ::setfsuid(kNobody);
        switched_ = true;
    }
    ~ActAsOrdinaryUser() {
        if (switched_) {
            ::setfsuid(0);
            ::setfsgid(0);
        }
    }
    ActAsOrdinaryUser(const ActAsOrdinaryUser&) = delete;
    ActAsOrdinaryUser& operator=(const ActAsOrdinaryUser&) = delete;

private:
    static constexpr uid_t kNobody = 65534;
    bool switched_ = false;
};

// Whether a new file can be made in `folder` as things stand.
bool canCreateIn(const QString& folder) {
    const QByteArray probe = QFile::encodeName(folder + QStringLiteral("/.probe"));
    const int fd = ::open(probe.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd < 0)
        return false;
    ::close(fd);
    ::unlink(probe.constData());
    return true;
}

// Holds the size a file may grow to for as long as it lives, so that a write fails part of the way
// through as it does on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &before_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = before_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &before_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit before_{};
    void (*oldHandler_)(int) = nullptr;
};

// An export into a folder the user may or may not write into, over a file that may or may not be there
// and be the user's to write, with or without the write failing half-way. A folder that takes no
// temporary file is written around when the file itself may be written; wherever a temporary file can
// be made, a failed write leaves the old file whole.
TEST(UserFiles, ExportWhereATemporaryFileCanOrCannotBeMade) {
    const QByteArray report = QByteArray("new report ✅\r\n").repeated(4096); // 64 KiB
    const struct {
        const char* name;
        bool folderWritable;
        const char* oldFile; // nothing: no file there before
        bool fileWritable;
        bool failHalfWay;
        bool saved;
        const char* left; // the file's contents afterwards; nothing: no file
    } cases[] = {
        {"own folder, file there", true, "old report", true, false, true, nullptr},
        {"own folder, write fails half-way", true, "old report", true, true, false, "old report"},
        {"locked folder, own file", false, "old report", true, false, true, nullptr},
        {"locked folder, read-only file", false, "old report", false, false, false, "old report"},
        {"locked folder, no file", false, nullptr, true, false, false, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                              QFileDevice::ExeOther);
        const QString folder = dir.filePath(QStringLiteral("shared"));
        ASSERT_TRUE(QDir().mkdir(folder));
        const QString target = folder + QStringLiteral("/LQ_undated.text");
        QStringList owned{folder};
        if (c.oldFile) {
            writeText(target, c.oldFile);
            owned.append(target);
            if (!c.fileWritable)
                QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::ReadOther);
        }
        if (!c.folderWritable)
            QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        QString error;
        {
            ActAsOrdinaryUser user(owned);
            if (canCreateIn(folder) != c.folderWritable)
                GTEST_SKIP() << "this process may write into any folder";
            RootFileSystem files(SystemRoot(dir.path()));
            if (c.failHalfWay) {
                FileSizeLimit limit(4096);
                error = files.writeUserFile(target, report);
            } else {
                error = files.writeUserFile(target, report);
            }
        }
        QFile::setPermissions(folder,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        EXPECT_EQ(error.isEmpty(), c.saved) << error.toStdString();
        if (!c.saved) {
            EXPECT_TRUE(error.contains(QStringLiteral("LQ_undated.text"))) << error.toStdString();
        }
        const QByteArray expected = c.saved ? report : QByteArray(c.left ? c.left : "<missing>");
        EXPECT_EQ(readText(target), expected);
        // Nothing is left beside the file: no temporary file, no probe.
        EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden),
                  c.oldFile || c.saved ? QStringList{QStringLiteral("LQ_undated.text")} : QStringList{});
    }
}

// When the file can only be written in place, a write that fails half-way cannot leave the old file
// whole; it must still be reported as failed.
TEST(UserFiles, AFailedWriteInPlaceIsReported) {
    QTemporaryDir dir;
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                          QFileDevice::ExeOther);
    const QString folder = dir.filePath(QStringLiteral("shared"));
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString target = folder + QStringLiteral("/out.text");
    writeText(target, "old report");
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    QString error;
    {
        ActAsOrdinaryUser user({folder, target});
        if (canCreateIn(folder))
            GTEST_SKIP() << "this process may write into any folder";
        RootFileSystem files(SystemRoot(dir.path()));
        FileSizeLimit limit(4096);
        error = files.writeUserFile(target, QByteArray(65536, 'x'));
    }
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_TRUE(error.contains(QStringLiteral("out.text"))) << error.toStdString();
}

TEST(UserFiles, MissingFolderFailsWithADescription) {
    QTemporaryDir dir;
    RootFileSystem files(SystemRoot(dir.path()));
    const QString error = files.writeUserFile(dir.filePath(QStringLiteral("no/such/folder/out.text")), "x");
    EXPECT_TRUE(error.contains(QStringLiteral("out.text"))) << error.toStdString();
}

TEST(MacFiles, ReadThroughTheRootWithACap) {
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(QStringLiteral("Library/Receipts")));
    writeText(dir.filePath(QStringLiteral("Library/Receipts/InstallHistory.plist")), "0123456789");
    RootFileSystem files(SystemRoot(dir.path() + QStringLiteral("/")));
    EXPECT_EQ(files.readMacFile(QStringLiteral("/Library/Receipts/InstallHistory.plist"), 100).bytes,
              QByteArray("0123456789"));
    const FileRead tooLarge = files.readMacFile(QStringLiteral("/Library/Receipts/InstallHistory.plist"), 5);
    EXPECT_FALSE(tooLarge.bytes.has_value());
    EXPECT_FALSE(tooLarge.error.isEmpty());
    const FileRead missing = files.readMacFile(QStringLiteral("/Library/Receipts/Nope.plist"), 100);
    EXPECT_FALSE(missing.bytes.has_value());
    EXPECT_TRUE(missing.error.contains(QStringLiteral("Nope.plist")));
    EXPECT_TRUE(files.isMacDirectory(QStringLiteral("/Library")));
    EXPECT_EQ(files.countMacDirectoryEntries(QStringLiteral("/Library/Receipts")), 1);
    EXPECT_EQ(files.countMacDirectoryEntries(QStringLiteral("/var/db/diagnostics/Persist")), std::nullopt);
}

// A file that gives no size (as the kernel's own files do) is read to its end all the same, and held to
// the cap while it is read.
TEST(MacFiles, AFileThatGivesNoSizeIsReadWithTheCap) {
    if (!QFileInfo::exists(QStringLiteral("/proc/self/status")))
        GTEST_SKIP() << "the kernel's files of /proc are Linux's";
    RootFileSystem files(SystemRoot(QStringLiteral("/")));
    const FileRead status = files.readMacFile(QStringLiteral("/proc/self/status"), 1 << 20);
    ASSERT_TRUE(status.bytes.has_value()) << status.error.toStdString();
    EXPECT_TRUE(status.bytes->startsWith("Name:"));
    EXPECT_TRUE(status.bytes->contains("VmRSS:"));
    const FileRead capped = files.readMacFile(QStringLiteral("/proc/self/status"), 16);
    EXPECT_FALSE(capped.bytes.has_value());
    EXPECT_EQ(capped.error, QStringLiteral("The file “status” is too large to read."));
}

TEST(SystemRootMapping, PrefixesMacPaths) {
    EXPECT_EQ(SystemRoot(QStringLiteral("/")).map(QStringLiteral("/usr/bin/id")),
              QStringLiteral("/usr/bin/id"));
    EXPECT_EQ(SystemRoot(QStringLiteral("/sim/mac/")).map(QStringLiteral("/usr/bin/id")),
              QStringLiteral("/sim/mac/usr/bin/id"));
}

// The I/O Registry is chosen by the root when the application runs: the running system's for this
// machine's own "/", however it is spelled, and the root's IORegistry.plist for any other folder.
TEST(SystemRootMapping, TellsThisMachinesRootFromAnyOtherFolder) {
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::link(QStringLiteral("/"), dir.filePath(QStringLiteral("to-root"))));
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("mac"))));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("mac")), dir.filePath(QStringLiteral("to-mac"))));
    const struct {
        QString root;
        bool host;
    } cases[] = {
        {QStringLiteral("/"), true},
        {QStringLiteral("//"), true},
        {QStringLiteral("/."), true},
        {QStringLiteral("/usr/.."), true},
        {dir.filePath(QStringLiteral("to-root")), true},
        {dir.filePath(QStringLiteral("mac")), false},
        {dir.filePath(QStringLiteral("to-mac")), false},
        {dir.filePath(QStringLiteral("missing")), false},
        {QStringLiteral(LQ_SOURCE_DIR "/sim/apple-silicon"), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SystemRoot(c.root).isHostRoot(), c.host) << c.root.toStdString();
}

TEST(IORegistryChoice, AnyFolderButTheHostRootIsReadFromItsIORegistryPlist) {
    QTemporaryDir dir;
    // "Mac15,6" and the registry's terminating NUL.
    writeText(dir.filePath(QStringLiteral("IORegistry.plist")),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
              "<key>IOPlatformExpertDevice</key><dict><key>model</key><data>TWFjMTUsNgA=</data></dict>"
              "<key>IODeviceTree:/rom</key><dict><key>version</key><string>iBoot-11881</string></dict>"
              "</dict></plist>");
    ASSERT_TRUE(QFile::link(dir.path(), dir.filePath(QStringLiteral("link"))));
    for (const QString& root : {dir.path(), dir.filePath(QStringLiteral("link"))}) {
        const std::unique_ptr<IORegistry> registry = makeIORegistry(SystemRoot(root));
        EXPECT_EQ(registry->platformExpertProperty(QStringLiteral("model")), QByteArray("Mac15,6\0", 8));
        EXPECT_EQ(
            registry->deviceTreeProperty(QStringLiteral("IODeviceTree:/rom"), QStringLiteral("version")),
            QByteArray("iBoot-11881"));
    }
}

TEST(IORegistryChoice, TheHostRootIsTheRunningSystemsRegistry) {
    const std::unique_ptr<IORegistry> registry = makeIORegistry(SystemRoot(QStringLiteral("/")));
    const QByteArray model = registry->platformExpertProperty(QStringLiteral("model"));
#ifdef __APPLE__
    // IOKit answers with the model identifier the kernel reports, as the registry stores it.
    char kernelModel[256] = {};
    size_t size = sizeof kernelModel;
    ASSERT_EQ(sysctlbyname("hw.model", kernelModel, &size, nullptr, 0), 0);
    EXPECT_TRUE(model.startsWith(QByteArray(kernelModel))) << model.toStdString();
#else
    // Without an I/O Registry of its own the machine's "/" is read like a simulated Mac, and holds none.
    EXPECT_EQ(QFileInfo::exists(QStringLiteral("/IORegistry.plist")), !model.isEmpty());
#endif
}

} // namespace
} // namespace lq
