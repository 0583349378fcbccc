// Damaged and malicious inputs: property lists from the network or a damaged disk, the scan log's JSON
// and tool output. Each must give the documented text or alert, never a crash or a hang, in bounded
// time and memory. The small property lists are files in tests/fixtures/hostile (made by
// make_hostile.py there); the big ones are made here.
#include "app/HeadlessReport.h"
#include "check/SecurityStatusRules.h"
#include "firmware/FirmwareRules.h"
#include "firmware/HardwareParsers.h"
#include "platform/IORegistry.h"
#include "platform/ProcessToolRunner.h"
#include "platform/PropertyList.h"
#include "platform/PropertyListShape.h"
#include "platform/RootFileSystem.h"
#include "platform/RootSystemInfo.h"
#include "securitydata/ReferenceList.h"
#include "securitydata/SecurityDataRules.h"
#include "securitydata/XPRClassifier.h"
#include "support/Harness.h"
#include "support/ResourceUse.h"
#include "updates/Receipts.h"
#include "updates/RunToolBothStreams.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace lq {
namespace {

using test::Harness;
using test::measure;
using test::ResourceUse;

// Generous: every case here takes milliseconds when the limits work and minutes (or the whole
// machine's memory) when they do not. The largest takes about 2 s under the sanitizers on a busy
// machine.
constexpr double kSecondsBound = 2.0 * test::kSanitizerSlowdown;
constexpr qint64 kPeakGrowthBoundKiB = 256 * 1024;

const QString kHostileDir = QStringLiteral(LQ_SOURCE_DIR "/tests/fixtures/hostile/");
const QString kNotAList = QStringLiteral("The data couldn’t be read because it isn’t in the correct format.");

QByteArray hostileFile(const char* name) {
    QFile file(kHostileDir + QString::fromUtf8(name));
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "missing fixture " << name;
        return QByteArray();
    }
    return file.readAll();
}

void expectBounded(const ResourceUse& use, const std::string& what) {
    EXPECT_LT(use.seconds, kSecondsBound) << what;
    EXPECT_LT(use.peakGrowthKiB, kPeakGrowthBoundKiB) << what;
}

plist::ParseResult boundedParse(const QByteArray& bytes, const std::string& what) {
    plist::ParseResult parsed;
    expectBounded(measure([&] { parsed = plist::parse(bytes); }), what);
    return parsed;
}

// ---- Generated inputs

QByteArray nestedXml(int levels, QByteArray open = "<array>", QByteArray close = "</array>") {
    return "<plist>" + open.repeated(levels) + close.repeated(levels) + "</plist>";
}

QByteArray bigEndian(quint64 value, int width) {
    QByteArray bytes(width, '\0');
    for (int i = width - 1; i >= 0; --i, value >>= 8)
        bytes[i] = static_cast<char>(value & 0xFF);
    return bytes;
}

// Arrays `levels` deep, each holding the next, written with 4-byte offsets and references.
QByteArray nestedBinary(int levels) {
    constexpr int kWidth = 4;
    QByteArray body = "bplist00";
    QByteArray table;
    for (int i = 0; i < levels; ++i) {
        table += bigEndian(static_cast<quint64>(body.size()), kWidth);
        body += i + 1 < levels ? QByteArray("\xA1") + bigEndian(static_cast<quint64>(i + 1), kWidth)
                               : QByteArray("\xA0");
    }
    const auto tableAt = static_cast<quint64>(body.size());
    body += table + QByteArray(6, '\0') + char(kWidth) + char(kWidth);
    body += bigEndian(static_cast<quint64>(levels), 8) + bigEndian(0, 8) + bigEndian(tableAt, 8);
    return body;
}

int depthOf(plist::Node node) {
    int depth = 0;
    while (node.isArray() && node.size() > 0) {
        plist::Node first;
        bool taken = false;
        node.forEachElement([&](plist::Node element) {
            if (!taken)
                first = element;
            taken = true;
        });
        node = first;
        ++depth;
    }
    return depth + (node.isArray() ? 1 : 0);
}

QStringList stringsOf(plist::Node array) {
    QStringList texts;
    array.forEachElement(
        [&](plist::Node element) { texts.append(element.string().value_or(QStringLiteral("?"))); });
    return texts;
}

// ---- Property lists that must be refused

const char* const kRefusedFiles[] = {
    "short-trailer.bplist",
    "offset-table-past-end.bplist",
    "offset-past-objects.bplist",
    "object-count-2e64.bplist",
    "array-count-2e64.bplist",
    "dict-count-2e63.bplist",
    "root-past-objects.bplist",
    "string-longer-than-file.bplist",
    "utf16-longer-than-file.bplist",
    "self-referencing-array.bplist",
    "mutual-reference.bplist",
    "reference-past-objects.bplist",
    "non-text-key.bplist",
    "nul-in-key.bplist",
    "nul-in-text.bplist",
    "nul-in-utf16-text.bplist",
    "unknown-marker.bplist",
    "offset-width-0.bplist",
    "offset-width-9.bplist",
    "offset-width-255.bplist",
    "ref-width-0.bplist",
    "ref-width-9.bplist",
    "ref-width-255.bplist",
    "depth-in-attribute.plist",
    "depth-in-doctype.plist",
    "nul-in-tag.plist",
    "element-inside-text.plist",
    "nested-plist.plist",
    "unclosed.plist",
    "mismatched-close.plist",
};

struct Generated {
    const char* name;
    std::function<QByteArray()> make;
    const char* reason; // the readable error expected
};

const char* const kTooDeep = "The data couldn’t be read because it is nested more than 512 levels deep.";
const char* const kTooLarge = "The data couldn’t be read because it holds more than the application accepts.";

const Generated kRefusedGenerated[] = {
    {"XML arrays 513 deep", [] { return nestedXml(513); }, kTooDeep},
    {"XML dictionaries 513 deep", [] { return nestedXml(513, "<dict><key>k</key>", "</dict>"); }, kTooDeep},
    {"XML arrays 100,000 deep", [] { return nestedXml(100000); }, kTooDeep},
    {"XML arrays 100,000 deep, never closed",
     [] { return "<plist>" + QByteArray("<array>").repeated(100000); }, kTooDeep},
    {"XML closing tags hidden from a naive count in comments",
     [] { return nestedXml(600, "<array><!-- </array> -->"); }, kTooDeep},
    {"XML plist elements 100,000 deep", [] { return nestedXml(100000, "<plist>", "</plist>"); },
     "The data couldn’t be read because it isn’t in the correct format."},
    // libplist decodes a shared object again at every reference: 2^30 arrays from 32 objects.
    {"binary arrays each holding the next twice, 30 deep",
     [] { return hostileFile("shared-doubling-30.bplist"); }, kTooLarge},
    {"binary arrays 513 deep", [] { return nestedBinary(513); }, kTooDeep},
    {"binary arrays 100,000 deep", [] { return nestedBinary(100000); }, kTooDeep},
    {"XML with a million and one values",
     [] { return "<plist><array>" + QByteArray("<true/>").repeated(1'000'001) + "</array></plist>"; },
     kTooLarge},
};

TEST(HostilePropertyLists, AreRefusedWithAReadableError) {
    for (const char* name : kRefusedFiles) {
        const plist::ParseResult parsed = boundedParse(hostileFile(name), name);
        EXPECT_FALSE(parsed.document.has_value()) << name;
        EXPECT_EQ(parsed.error.toStdString(), kNotAList.toStdString()) << name;
    }
    for (const Generated& g : kRefusedGenerated) {
        const QByteArray bytes = g.make();
        const plist::ParseResult parsed = boundedParse(bytes, g.name);
        EXPECT_FALSE(parsed.document.has_value()) << g.name;
        EXPECT_EQ(parsed.error.toStdString(), g.reason) << g.name;
    }
}

// ---- Odd but well-formed lists decode, and decode right

struct Decodable {
    const char* name;
    std::function<QByteArray()> make;
    std::function<void(plist::Node)> check;
};

const Decodable kDecodable[] = {
    {"offsets and references of 3 bytes", [] { return hostileFile("widths-3.bplist"); },
     [](plist::Node root) {
         EXPECT_EQ(stringsOf(root), (QStringList{"first", "second"}));
     }},
    {"offsets and references of 5 bytes", [] { return hostileFile("widths-5.bplist"); },
     [](plist::Node root) {
         EXPECT_EQ(stringsOf(root), (QStringList{"first", "second"}));
     }},
    {"one string shared by 30 levels of arrays", [] { return hostileFile("shared-chain-30.bplist"); },
     [](plist::Node root) { EXPECT_EQ(depthOf(root), 30); }},
    {"XML arrays 512 deep", [] { return nestedXml(512); },
     [](plist::Node root) { EXPECT_EQ(depthOf(root), 512); }},
    {"binary arrays 512 deep", [] { return nestedBinary(512); },
     [](plist::Node root) { EXPECT_EQ(depthOf(root), 512); }},
    {"XML arrays 100,000 deep inside comments",
     [] { return "<plist><array>" + QByteArray("<!-- <array> -->").repeated(100000) + "</array></plist>"; },
     [](plist::Node root) { EXPECT_EQ(depthOf(root), 1); }},
    {"XML markup inside CDATA is text",
     [] {
         return QByteArray(
             "<plist><array><string><![CDATA[<array><array></dict>]]></string></array></plist>");
     },
     [](plist::Node root) { EXPECT_EQ(stringsOf(root), QStringList{"<array><array></dict>"}); }},
    {"UTF-16 text with lone surrogates", [] { return hostileFile("lone-surrogates.bplist"); },
     [](plist::Node root) {
         for (const QString& text : stringsOf(root))
             EXPECT_TRUE(text.isValidUtf16()) << text.toStdString();
     }},
    {"XML entities of lone surrogates", [] { return hostileFile("lone-surrogate-entity.plist"); },
     [](plist::Node root) {
         const QStringList texts = stringsOf(root);
         ASSERT_EQ(texts.size(), 1);
         EXPECT_TRUE(texts[0].isValidUtf16());
         EXPECT_TRUE(texts[0].contains(QLatin1Char('x')));
     }},
    {"XML text that is no UTF-8", [] { return hostileFile("invalid-utf8.plist"); },
     [](plist::Node root) {
         const QStringList texts = stringsOf(root);
         ASSERT_EQ(texts.size(), 1);
         EXPECT_TRUE(texts[0].startsWith(QStringLiteral("caf")));
         EXPECT_TRUE(texts[0].contains(QChar::ReplacementCharacter));
     }},
    {"binary numbers and dates out of range", [] { return hostileFile("huge-numbers.bplist"); },
     [](plist::Node root) {
         EXPECT_EQ(root.size(), 3);
         root.forEachElement([](plist::Node element) {
             EXPECT_NE(element.type(), plist::Type::Other);
             (void)element.date(); // a date far out of range still gives a value, not a crash
         });
     }},
    {"XML numbers and dates out of range", [] { return hostileFile("huge-numbers.plist"); },
     [](plist::Node root) {
         EXPECT_EQ(root.size(), 4);
         root.forEachElement([](plist::Node element) { (void)element.date(); });
     }},
};

TEST(HostilePropertyLists, OddButWellFormedListsDecode) {
    for (const Decodable& d : kDecodable) {
        SCOPED_TRACE(d.name);
        const plist::ParseResult parsed = boundedParse(d.make(), d.name);
        ASSERT_TRUE(parsed.document.has_value()) << parsed.error.toStdString();
        d.check(parsed.document->root());
    }
}

// Base64 that is not: libplist keeps nothing of it, so the value is empty data, never a crash or bytes
// made up from the rubbish.
TEST(HostilePropertyLists, InvalidBase64DecodesToNothing) {
    const plist::ParseResult parsed = boundedParse(hostileFile("bad-base64.plist"), "bad base64");
    ASSERT_TRUE(parsed.document.has_value()) << parsed.error.toStdString();
    const plist::Node root = parsed.document->root();
    EXPECT_EQ(root.size(), 3);
    root.forEachElement([](plist::Node element) { EXPECT_EQ(element.data(), QByteArray()); });
}

// ---- Through the readers of the lists

// Every refused list, fetched as the security data list, read as an install history or as a firmware
// list, gives that reader's documented alert and nothing else.
TEST(HostilePropertyLists, ReadersGiveTheirAlerts) {
    std::vector<std::pair<std::string, QByteArray>> inputs;
    for (const char* name : kRefusedFiles)
        inputs.emplace_back(name, hostileFile(name));
    for (const Generated& g : kRefusedGenerated)
        inputs.emplace_back(g.name, g.make());

    for (const auto& [name, bytes] : inputs) {
        SCOPED_TRACE(name);
        // The security data comparison: the alert, then the initial texts.
        Harness h;
        h.http.responses.insert(h.vc->referenceBaseUrl + QStringLiteral("sysupdates.plist"),
                                HttpResponse{false, {}, true, 200, QStringLiteral("text/xml"), bytes});
        expectBounded(measure([&] {
                          h.vc->checkSecurityDataVersions();
                          ASSERT_TRUE(test::waitUntilIdle(*h.vc));
                      }),
                      name + " (security data)");
        EXPECT_EQ(h.view.alerts, QStringList{kBadListAlert});
        EXPECT_EQ(h.view.fieldText(Field::xprotVersionText), QStringLiteral("❌ No XProtect version found."));
        EXPECT_EQ(h.view.fieldText(Field::mrtVersionText), QStringLiteral("❌ No XPR version found."));
        EXPECT_EQ(h.view.report, QString());

        // The install history: one alert with the decoder's description, no report.
        Harness history;
        history.files.files.insert(receiptsPath, bytes);
        history.vc->state.runDate = QDateTime::currentDateTimeUtc();
        expectBounded(measure([&] {
                          history.vc->listInstallHistory();
                          // Blocked, not polled, while the decoder works, so the wait takes no core from it.
                          history.vc->processingQueue().waitForDone();
                          test::waitUntilIdle(*history.vc);
                      }),
                      name + " (install history)");
        ASSERT_EQ(history.view.alerts.size(), 1);
        EXPECT_EQ(history.view.alerts[0], plist::parse(bytes).error);
        EXPECT_EQ(history.view.report, QString());

        // The firmware lists share the reference-list reader.
        QStringList alerts;
        EXPECT_FALSE(parseReferenceList(
            bytes, [&](const QString& text) { alerts.append(text); }, ListShape::Array));
        EXPECT_EQ(alerts, QStringList{kBadListAlert});
    }
}

// ---- Files that are no regular files

// What may stand where the run reads a file: opening a FIFO waits for a writer for ever, and a device
// such as /dev/zero never ends. Each is refused unopened, like a file that cannot be opened.
struct SpecialFile {
    const char* name;
    std::function<bool(const QString& path)> make;
};

const SpecialFile kSpecialFiles[] = {
    {"a FIFO", [](const QString& path) { return mkfifo(QFile::encodeName(path).constData(), 0600) == 0; }},
    {"a link to /dev/zero",
     [](const QString& path) { return QFile::link(QStringLiteral("/dev/zero"), path); }},
    {"a link to a FIFO",
     [](const QString& path) {
         const QString fifo = path + QStringLiteral(".fifo");
         return mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0 && QFile::link(fifo, path);
     }},
    {"a folder", [](const QString& path) { return QDir().mkpath(path); }},
};

// Puts `special` at the macOS path `macPath` of a new root.
bool placeSpecialFile(const QTemporaryDir& root, const QString& macPath, const SpecialFile& special) {
    const QString path = root.path() + macPath;
    return QDir().mkpath(QFileInfo(path).path()) && special.make(path);
}

TEST(HostileFiles, WhatIsNoRegularFileIsRefusedUnopened) {
    const QString notRegular = QStringLiteral("couldn’t be opened: It is not a regular file.");
    for (const SpecialFile& special : kSpecialFiles) {
        SCOPED_TRACE(special.name);
        const std::string what = special.name;
        {
            // The install history: the alert of an unreadable file, and no report.
            QTemporaryDir root;
            ASSERT_TRUE(
                placeSpecialFile(root, QStringLiteral("/Library/Receipts/InstallHistory.plist"), special));
            RootFileSystem files{SystemRoot(root.path())};
            Harness h;
            ViewController vc(Services{h.tools, files, h.settings, h.system, h.ioRegistry, h.http}, h.view,
                              h.menus, QStringLiteral("https://example.test/updates/master/"));
            vc.state.runDate = QDateTime::currentDateTimeUtc();
            expectBounded(measure([&] {
                              vc.listInstallHistory();
                              test::waitUntilIdle(vc);
                          }),
                          what + " as the install history");
            EXPECT_EQ(h.view.alerts,
                      QStringList{QStringLiteral("The file “InstallHistory.plist” ") + notRegular});
            EXPECT_EQ(h.view.report, QString());
        }
        {
            // A bundle's Info.plist, read directly on the first check run: no version found.
            QTemporaryDir root;
            Harness h;
            ASSERT_TRUE(
                placeSpecialFile(root, theXProtCatPath + QStringLiteral("/Contents/Info.plist"), special));
            RootFileSystem files{SystemRoot(root.path())};
            ViewController vc(Services{h.tools, files, h.settings, h.system, h.ioRegistry, h.http}, h.view,
                              h.menus, QStringLiteral("https://example.test/updates/master/"));
            QString version = QStringLiteral("?");
            expectBounded(measure([&] {
                              version =
                                  installedBundleVersion(vc.services, theXProtCatPath, vc.state.firstRun);
                          }),
                          what + " as a bundle's Info.plist");
            EXPECT_EQ(version, kVersionNotFound);
        }
        {
            // SystemVersion.plist: the version is unknown.
            QTemporaryDir root;
            ASSERT_TRUE(placeSpecialFile(
                root, QStringLiteral("/System/Library/CoreServices/SystemVersion.plist"), special));
            RootSystemInfo system{SystemRoot(root.path())};
            OsVersion version{-1, -1, QString()};
            expectBounded(measure([&] { version = system.osVersion(); }), what + " as SystemVersion.plist");
            EXPECT_EQ(version.major, 0);
            EXPECT_EQ(version.text, QStringLiteral("Version unknown"));
        }
        {
            // The I/O Registry of a simulated Mac: no properties.
            QTemporaryDir root;
            ASSERT_TRUE(placeSpecialFile(root, QStringLiteral("/IORegistry.plist"), special));
            const std::unique_ptr<IORegistry> registry = makeIORegistry(SystemRoot(root.path()));
            QByteArray model = "?";
            expectBounded(measure([&] { model = registry->platformExpertProperty(QStringLiteral("model")); }),
                          what + " as IORegistry.plist");
            EXPECT_EQ(model, QByteArray());
        }
    }
}

// An Intel Mac whose signed system volume is off, with a SystemVersion.plist that cannot be read: the
// whole check run, on the real platform pieces, still judges the SSV and says the version is unknown.
TEST(HostileFiles, AnUnreadableSystemVersionStillChecksTheSignedSystemVolume) {
    struct Case {
        std::string name;
        std::function<bool(const QString& path)> make;
        QString versionLine;
    };
    std::vector<Case> cases;
    for (const SpecialFile& special : kSpecialFiles)
        cases.push_back({special.name, special.make, QStringLiteral("macOS Version unknown")});
    auto copyOf = [](const char* fixture) {
        return [fixture](const QString& path) {
            return QFile::copy(kHostileDir + QString::fromUtf8(fixture), path);
        };
    };
    cases.push_back({"a list cut off", copyOf("unclosed.plist"), QStringLiteral("macOS Version unknown")});
    cases.push_back({"a version without a number", copyOf("system-version-no-number.plist"),
                     QStringLiteral("macOS Version unknown (Build 23F79)")});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempRoot root(QStringLiteral("intel-ssv-off"));
        const QString versionFile =
            root.path() + QStringLiteral("/System/Library/CoreServices/SystemVersion.plist");
        ASSERT_TRUE(QFile::remove(versionFile));
        ASSERT_TRUE(c.make(versionFile));
        ProcessToolRunner tools{SystemRoot(root.path())};
        RootFileSystem files{SystemRoot(root.path())};
        RootSystemInfo system{SystemRoot(root.path())};
        const std::unique_ptr<IORegistry> registry = makeIORegistry(SystemRoot(root.path()));
        test::MemorySettings settings;
        test::FakeHttp http;
        HeadlessResult result;
        const ResourceUse use = measure([&] {
            result = runHeadlessCheck(Services{tools, files, settings, system, *registry, http},
                                      QStringLiteral("https://example.test/updates/master/"), {});
        });
        EXPECT_LT(use.seconds, 10.0);
        EXPECT_TRUE(result.text.contains(QStringLiteral("✅ System Integrity Protection status: enabled.\n"
                                                        "❌ Authenticated Root status: disabled\n")))
            << result.text.toStdString();
        EXPECT_TRUE(result.text.contains(QLatin1Char('\n') + c.versionLine + QLatin1Char('\n')));
        EXPECT_TRUE(result.json.contains(QStringLiteral("\"sip\": \"✅ SIP, ❌ SSV.\"")))
            << result.json.toStdString();
    }
}

// ---- The scan log's JSON

TEST(HostileJson, DeepOrBrokenScanLogsCountNothing) {
    const struct {
        const char* name;
        QByteArray output;
    } cases[] = {
        {"arrays 100,000 deep", QByteArray("[").repeated(100000) + QByteArray("]").repeated(100000)},
        {"objects 100,000 deep",
         QByteArray("{\"a\":").repeated(100000) + "1" + QByteArray("}").repeated(100000)},
        {"an event whose message nests 100,000 deep",
         "[{\"eventMessage\":\"" + QByteArray("[").repeated(100000) + "\"}]"},
        {"a number beyond any range", "[{\"eventMessage\":\"{\\\"status_code\\\":1e999999}\"}]"},
        {"a lone surrogate escape", "[{\"eventMessage\":\"\\ud800\"}]"},
        {"no UTF-8", "[{\"eventMessage\":\"\xff\xfe\"}]"},
        {"cut off", "[{\"eventMessage\":\"{\\\"status_message\\\":"},
    };
    for (const auto& c : cases) {
        XPRCounts counts{-1, -1, -1};
        expectBounded(measure([&] { counts = classifyXPREvents(c.output); }), c.name);
        EXPECT_EQ(counts.scans, 0) << c.name;
        EXPECT_EQ(counts.alerts, 0) << c.name;
        EXPECT_EQ(counts.warnings, 0) << c.name;
    }
    // A message nested beyond the JSON reader's own limit does not decode.
    EXPECT_FALSE(decodeXPRReport(QByteArray("[").repeated(100000)).has_value());
    EXPECT_FALSE(decodeXPRReport(QByteArray("{\"a\":").repeated(100000)).has_value());
}

// ---- Tool output that is no UTF-8, through a real child process

TEST(HostileToolOutput, BytesThatAreNoUtf8KeepTheirMeaning) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ProcessToolRunner runner{SystemRoot(dir.path())};
    const struct {
        const char* name;
        QByteArray printed; // printf format
        std::function<void(const OutputPair&)> check;
    } cases[] = {
        {"the no-updates text between broken bytes", R"(\377\376No new software available.\300\n)",
         [](const OutputPair& out) { EXPECT_TRUE(out.combined().contains(QStringLiteral("No new"))); }},
        {"a broken byte inside the no-updates text", R"(No \377new software available.\n)",
         [](const OutputPair& out) { EXPECT_FALSE(out.combined().contains(QStringLiteral("No new"))); }},
        {"an overlong encoding of the letter N", R"(\301\216o new software available.\n)",
         [](const OutputPair& out) { EXPECT_FALSE(out.combined().contains(QStringLiteral("No new"))); }},
        {"a broken SIP status", R"(System Integrity Protection status: \355\240\200enabled.\n)",
         [](const OutputPair& out) { EXPECT_FALSE(sipIsOn(out.first)); }},
        {"a SIP status after broken bytes", R"(\377\377System Integrity Protection status: enabled.\n)",
         [](const OutputPair& out) { EXPECT_TRUE(sipIsOn(out.first)); }},
        {"a firmware report of broken bytes", R"(\377\n\376\n      System Firmware Version: \377\377\n)",
         [](const OutputPair& out) {
             const QString version = parseSystemFirmwareVersion(out.first);
             EXPECT_TRUE(version.isValidUtf16());
         }},
    };
    for (const auto& c : cases) {
        const QString path =
            test::writeScript(dir.path() + QStringLiteral("/usr/bin"), QStringLiteral("broken"),
                              "printf '" + c.printed + "'\nprintf '" + c.printed + "' >&2\n");
        OutputPair out;
        expectBounded(
            measure([&] { out = runToolBothStreams(runner, QStringLiteral("/usr/bin/broken"), {}); }),
            c.name);
        EXPECT_TRUE(out.first.isValidUtf16()) << c.name;
        EXPECT_TRUE(out.second.isValidUtf16()) << c.name;
        SCOPED_TRACE(c.name);
        c.check(out);
    }
}

} // namespace
} // namespace lq
