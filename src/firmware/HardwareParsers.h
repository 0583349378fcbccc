// Pure readings of the hardware facts: the model family, the firmware lines of system_profiler's
// reports and whether a chip report belongs to an Apple-silicon Mac.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace lq {

// A model identifier split into the family that names its firmware list and the rest.
struct ModelClass {
    QString family;
    QString number;
    bool identified = false;
};

// The family is the first known family name found anywhere in `modelIdentifier`; the number is the
// identifier less as many leading characters as the family name has. Unknown models are
// "unidentified" with number "0,0".
ModelClass classifyModel(const QString& modelIdentifier);

// The value of the last "System Firmware Version" line of a SPHardwareDataType report, cut at a fixed
// column; "Unknown" when the report is empty, has fewer than three lines or no such line.
QString parseSystemFirmwareVersion(const QString& hardwareReport);

// What the "Display Firmware Version:" lines of a SPDisplaysDataType report hold, in report order.
struct DisplayFirmwareLines {
    QStringList versions;
    // The third word of the last line that had three or more words (the build, with its ")").
    std::optional<QString> build;
};
DisplayFirmwareLines parseDisplayFirmwareLines(const QString& displaysReport);

// Whether a SPiBridgeDataType report names Apple-silicon boot firmware ("iBoot-…", or "mBoot-…" from
// macOS 26.4 on). A report that names a T2 chip never does.
bool isAppleSiliconChipReport(const QString& chipReport);

// An I/O Registry text property as text. The registry stores such strings C-style, with a
// terminating NUL (often more than one); those bytes are no part of the text. Everything else,
// white space included, is taken as it stands.
QString registryText(const QByteArray& property);

// Whether a SPDisplaysDataType report lists a Studio Display.
bool reportsStudioDisplay(const QString& displaysReport);

// `text` less its first `count` characters, counted as a reader sees them (a character built of
// several code points counts once); empty when `text` is not longer than that.
QString dropLeadingCharacters(const QString& text, int count);
// How many characters `text` has, counted as dropLeadingCharacters counts them.
int characterCount(const QString& text);

} // namespace lq
