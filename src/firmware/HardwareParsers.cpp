// Pure readings of the hardware facts taken from the I/O Registry and system_profiler.
#include "firmware/HardwareParsers.h"

#include <QTextBoundaryFinder>

#include <array>

namespace lq {

namespace {

// Tested in this order, so that a longer name wins over the name it contains ("iMacPro" over "iMac",
// "MacBookPro" and "MacBookAir" over "MacBook").
const std::array<QString, 7> kModelFamilies = {
    QStringLiteral("iMacPro"),    QStringLiteral("iMac"),    QStringLiteral("MacBookPro"),
    QStringLiteral("MacBookAir"), QStringLiteral("MacBook"), QStringLiteral("MacPro"),
    QStringLiteral("Macmini"),
};

// The hardware report's value starts in a fixed column: six blanks of indentation and the label
// "System Firmware Version: " take 31 characters.
constexpr int kSystemFirmwareValueColumn = 31;
constexpr int kHardwareReportMinLines = 3;

// A display firmware line reads "Display Firmware Version: Version <x.y> (Build <b>)" once trimmed;
// the label and the word "Version" take 33 characters, and a line needs a little more to hold a value.
constexpr int kDisplayFirmwareValueColumn = 33;
constexpr int kDisplayFirmwareMinLength = 36;
constexpr int kDisplaysReportMinLines = 3;

} // namespace

QString dropLeadingCharacters(const QString& text, int count) {
    if (count <= 0)
        return text;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype position = 0;
    for (int i = 0; i < count; ++i) {
        position = finder.toNextBoundary();
        if (position < 0)
            return QString();
    }
    return text.mid(position);
}

int characterCount(const QString& text) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    while (finder.toNextBoundary() > 0)
        ++count;
    return count;
}

ModelClass classifyModel(const QString& modelIdentifier) {
    for (const QString& family : kModelFamilies) {
        if (modelIdentifier.contains(family))
            // The cut is always taken from the front, wherever the name occurred.
            return {family, dropLeadingCharacters(modelIdentifier, characterCount(family)), true};
    }
    return {QStringLiteral("unidentified"), QStringLiteral("0,0"), false};
}

QString parseSystemFirmwareVersion(const QString& hardwareReport) {
    const QString unknown = QStringLiteral("Unknown");
    const QStringList lines = hardwareReport.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (lines.size() < kHardwareReportMinLines)
        return unknown;
    QString version = unknown;
    for (const QString& line : lines) {
        if (line.contains(QLatin1String("System Firmware Version")))
            version = dropLeadingCharacters(line, kSystemFirmwareValueColumn);
    }
    return version;
}

DisplayFirmwareLines parseDisplayFirmwareLines(const QString& displaysReport) {
    DisplayFirmwareLines found;
    const QStringList lines = displaysReport.split(QLatin1Char('\n'));
    if (lines.size() < kDisplaysReportMinLines)
        return found;
    for (const QString& line : lines) {
        if (!line.contains(QLatin1String("Display Firmware Version:")))
            continue;
        const QString trimmed = line.trimmed();
        if (characterCount(trimmed) < kDisplayFirmwareMinLength)
            continue;
        const QString rest = dropLeadingCharacters(trimmed, kDisplayFirmwareValueColumn).trimmed();
        // Every single blank splits: two blanks in a row leave an empty word, so the build is always
        // the third piece of the rest.
        const QStringList words = rest.split(QLatin1Char(' '));
        if (words.size() >= 3)
            found.build = words[2].trimmed();
        found.versions.append(words[0].trimmed());
    }
    return found;
}

bool isAppleSiliconChipReport(const QString& chipReport) {
    if (chipReport.isEmpty() || chipReport.contains(QLatin1String(" T2 ")))
        return false;
    return chipReport.contains(QLatin1String(" iBoot")) || chipReport.contains(QLatin1String(" mBoot"));
}

bool reportsStudioDisplay(const QString& displaysReport) {
    return displaysReport.contains(QLatin1String("Studio Display:"));
}

QString registryText(const QByteArray& property) {
    qsizetype length = property.size();
    while (length > 0 && property.at(length - 1) == '\0')
        --length;
    return QString::fromUtf8(property.constData(), length);
}

} // namespace lq
