// Property-list decoding: both formats, dates on Apple's epoch, and errors as values.
#include "platform/PropertyList.h"
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

TEST(OsVersionText, FromSystemVersionValues) {
    const OsVersion v = makeOsVersion(QStringLiteral("14.5"), QStringLiteral("23F79"));
    EXPECT_EQ(v.major, 14);
    EXPECT_EQ(v.minor, 5);
    EXPECT_EQ(v.text, QStringLiteral("Version 14.5 (Build 23F79)"));
    const OsVersion old = makeOsVersion(QStringLiteral("10.15.7"), QStringLiteral("19H2026"));
    EXPECT_EQ(old.major, 10);
    EXPECT_EQ(old.minor, 15);
    EXPECT_EQ(makeOsVersion(QString(), QString()).text, QStringLiteral("Version unknown"));
}

} // namespace
} // namespace lq
