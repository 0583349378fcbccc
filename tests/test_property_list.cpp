// Property-list decoding: both formats, dates on Apple's epoch, and errors as values.
#include "platform/PropertyList.h"
#include "platform/PropertyListElements.h"
#include "platform/RootSystemInfo.h"
#include "support/PlistFixtures.h"

#include <QFile>
#include <QTimeZone>

#include <plist/plist.h>

#include <gtest/gtest.h>

namespace lq {
namespace {

const QByteArray kXml = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<array>
  <dict><key>date</key><date>2013-11-12T02:59:35Z</date><key>displayName</key><string>XProtectPlistConfigData</string>
        <key>model</key><data>TWFjQm9va1BybzE2LDI=</data><key>on</key><true/></dict>
  <string>second</string>
</array>
</plist>)";

using test::toBinary;

TEST(PropertyList, XmlAndBinaryDecodeAlike) {
    for (const QByteArray& bytes : {kXml, toBinary(kXml)}) {
        const plist::ParseResult parsed = plist::parse(bytes);
        ASSERT_TRUE(parsed.document.has_value()) << parsed.error.toStdString();
        const plist::Node root = parsed.document->root();
        ASSERT_TRUE(root.isArray());
        EXPECT_EQ(root.size(), 2);
        QStringList seen;
        root.forEachElement([&](plist::Node element) {
            if (auto text = element.string())
                seen.append(*text);
            else
                seen.append(element["displayName"].string().value_or(QStringLiteral("?")));
        });
        EXPECT_EQ(seen, (QStringList{QStringLiteral("XProtectPlistConfigData"), QStringLiteral("second")}));
        plist::Node entry;
        root.forEachElement([&](plist::Node element) {
            if (element.isDictionary())
                entry = element;
        });
        EXPECT_EQ(entry["date"].date(), QDateTime(QDate(2013, 11, 12), QTime(2, 59, 35), Qt::UTC));
        EXPECT_EQ(entry["model"].data(), QByteArray("MacBookPro16,2"));
        EXPECT_EQ(entry["on"].boolean(), true);
        EXPECT_FALSE(entry["displayName"].date().has_value()); // wrong type reads as nothing
        EXPECT_TRUE(entry["missing"].isAbsent());
        EXPECT_TRUE(entry["missing"]["deeper"].isAbsent());
    }
}

TEST(PropertyList, GarbageIsAnErrorValue) {
    for (const QByteArray& bytes : {QByteArray(), QByteArray("<html>not a list</html>"),
                                    QByteArray("bplist00"), QByteArray("{\"json\": true}")}) {
        const plist::ParseResult parsed = plist::parse(bytes);
        EXPECT_FALSE(parsed.document.has_value()) << bytes.toStdString();
        EXPECT_FALSE(parsed.error.isEmpty());
    }
}

TEST(PropertyList, TheRealInstallHistorySampleDecodes) {
    QFile file(QStringLiteral("/work/shared/samples/installhistory-plist-osx10.9-plaso-testdata.plist"));
    if (!file.open(QIODevice::ReadOnly))
        GTEST_SKIP() << "samples not present";
    const plist::ParseResult parsed = plist::parse(file.readAll());
    ASSERT_TRUE(parsed.document.has_value());
    EXPECT_GT(parsed.document->root().size(), 5);
}

// A readable rendering of a value and everything in it, to compare two decodings.
QString describe(const plist::Node& node) {
    switch (node.type()) {
    case plist::Type::Array: {
        QString text = QStringLiteral("[");
        node.forEachElement(
            [&](const plist::Node& element) { text += describe(element) + QLatin1Char(','); });
        return text + QLatin1Char(']');
    }
    case plist::Type::Dictionary: {
        QString text = QStringLiteral("{");
        node.forEachEntry([&](const QString& key, const plist::Node& value) {
            text += key + QLatin1Char('=') + describe(value) + QLatin1Char(',');
        });
        return text + QLatin1Char('}');
    }
    case plist::Type::String:
        return QLatin1Char('"') + *node.string() + QLatin1Char('"');
    case plist::Type::Date:
        return node.date()->toString(Qt::ISODate);
    case plist::Type::Data:
        return QString::fromLatin1(node.data()->toBase64());
    case plist::Type::Boolean:
        return *node.boolean() ? QStringLiteral("true") : QStringLiteral("false");
    default:
        return QStringLiteral("other");
    }
}

QByteArray historyOf(int entries) {
    QByteArray xml = R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><array>)";
    for (int i = 0; i < entries; ++i) {
        // Names and identifiers repeat, so the binary form shares their objects between entries.
        xml += "<dict><key>date</key><date>2024-01-01T00:00:00Z</date><key>displayName</key><string>" +
               QByteArray(i % 3 ? "XProtectPlistConfigData" : "Safari") +
               "</string><key>displayVersion</key>"
               "<string>" +
               QByteArray::number(i) +
               "</string><key>packageIdentifiers</key><array>"
               "<string>com.apple.pkg.XProtect</string><string>id" +
               QByteArray::number(i % 7) + "</string></array></dict>";
    }
    return xml + "</array></plist>";
}

TEST(PropertyListElements, GivesTheElementsTheWholeListHas) {
    const QByteArray sharedTop =
        R"(<plist version="1.0"><array><string>same</string><string>same</string><array><string>same</string></array></array></plist>)";
    // Comments, empty elements and markup inside text between and in the elements; the long history
    // is decoded in several pieces.
    const QByteArray marked =
        "<plist version=\"1.0\"><array><!-- a --><string>a</string>\n<!-- <string>hidden</string> -->"
        "<dict/><array/><string><![CDATA[x</string>]]></string><true/></array><!-- end --></plist>\n";
    for (const QByteArray& xml : {kXml, historyOf(3), historyOf(300), historyOf(3000), sharedTop, marked}) {
        for (const QByteArray& bytes : {xml, toBinary(xml)}) {
            const QByteArray before = bytes;
            QStringList whole;
            plist::parse(bytes).document->root().forEachElement(
                [&](const plist::Node& element) { whole.append(describe(element)); });
            QStringList pieces;
            const plist::ElementsResult result =
                plist::forEachTopLevelElement(bytes, [&](const plist::Node& e) {
                    pieces.append(describe(e));
                    return true;
                });
            EXPECT_TRUE(result.error.isEmpty()) << result.error.toStdString();
            EXPECT_EQ(result.rootType, plist::Type::Array);
            EXPECT_EQ(pieces, whole);
            EXPECT_FALSE(whole.isEmpty());
            EXPECT_EQ(bytes, before); // the caller's bytes are never rewritten
        }
    }
}

TEST(PropertyListElements, StopsWhenAskedAndReportsOtherTopLevels) {
    for (const QByteArray& bytes : {historyOf(10), toBinary(historyOf(10))}) {
        int visited = 0;
        const plist::ElementsResult result =
            plist::forEachTopLevelElement(bytes, [&](const plist::Node&) { return ++visited < 2; });
        EXPECT_EQ(visited, 2);
        EXPECT_EQ(result.rootType, plist::Type::Array);
    }
    const QByteArray dict =
        R"(<plist version="1.0"><dict><key>a</key><array><string>x</string></array></dict></plist>)";
    const QByteArray empty = R"(<plist version="1.0"><array/></plist>)";
    const struct {
        QByteArray bytes;
        plist::Type rootType;
    } cases[] = {{dict, plist::Type::Dictionary},
                 {toBinary(dict), plist::Type::Dictionary},
                 {empty, plist::Type::Array},
                 {toBinary(empty), plist::Type::Array}};
    for (const auto& c : cases) {
        int visited = 0;
        const plist::ElementsResult result = plist::forEachTopLevelElement(c.bytes, [&](const plist::Node&) {
            ++visited;
            return true;
        });
        EXPECT_TRUE(result.error.isEmpty());
        EXPECT_EQ(result.rootType, c.rootType);
        EXPECT_EQ(visited, 0);
    }
    for (const QByteArray& garbage : {QByteArray(), QByteArray("bplist00"), QByteArray("<html>no</html>")}) {
        const plist::ElementsResult result =
            plist::forEachTopLevelElement(garbage, [](const plist::Node&) { return true; });
        EXPECT_EQ(result.error, plist::parse(garbage).error);
        EXPECT_FALSE(result.error.isEmpty());
    }
}

TEST(OsVersionText, FromSystemVersionValues) {
    const OsVersion v = makeOsVersion(QStringLiteral("14.5"), QStringLiteral("23F79"));
    EXPECT_EQ(v.major, 14);
    EXPECT_EQ(v.minor, 5);
    EXPECT_EQ(v.text, QStringLiteral("Version 14.5 (Build 23F79)"));
    const OsVersion old = makeOsVersion(QStringLiteral("10.15.7"), QStringLiteral("19H2026"));
    EXPECT_EQ(old.major, 10);
    EXPECT_EQ(old.minor, 15);
    EXPECT_TRUE(old.known());
    // A value without a major number to read is no version at all.
    const struct {
        const char* product;
        const char* build;
        const char* text;
    } unknown[] = {
        {"", "", "Version unknown"},
        {"", "23F79", "Version unknown (Build 23F79)"},
        {"fourteen", "23F79", "Version unknown (Build 23F79)"},
        {"-14.5", "", "Version unknown"},
        {"0.5", "", "Version unknown"},
    };
    for (const auto& u : unknown) {
        const OsVersion version = makeOsVersion(QString::fromUtf8(u.product), QString::fromUtf8(u.build));
        EXPECT_FALSE(version.known()) << u.product;
        EXPECT_EQ(version.major, 0) << u.product;
        EXPECT_EQ(version.text, QString::fromUtf8(u.text)) << u.product;
    }
}

} // namespace
} // namespace lq
