// A look at the shape of property-list bytes before libplist decodes them: libplist recurses while it
// decodes, copies and frees, and re-decodes a binary object every time it is referenced, so bytes from
// the network or a damaged disk must be held to a bounded depth and size first.
#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

namespace lq::plist {

// Arrays and dictionaries inside one another; nothing the application reads comes near it.
inline constexpr int kMaxNesting = 512;
// Values a decoded list may hold, counting every time a shared binary object is used.
inline constexpr qint64 kMaxValues = 1'000'000;
// Bytes of strings and data a decoded binary list may hold, counting shared objects every time.
inline constexpr qint64 kMaxDecodedBytes = 64LL * 1024 * 1024;

// What any bytes that are not a property list give, phrased as the platform phrases it.
inline QString notAPropertyList() {
    return QStringLiteral("The data couldn’t be read because it isn’t in the correct format.");
}

// Empty when the bytes may be handed to libplist, otherwise a readable reason why not. Bytes starting
// with "bplist00" are judged as a binary list, anything else as XML.
QString shapeProblem(const QByteArray& bytes);

// Where the elements of an XML list's top-level array lie, so that they can be decoded a piece at a
// time: the text before the first element and after the last one frames every piece alike.
struct XmlArrayLayout {
    qsizetype contentBegin = -1;        // just after the top-level <array> tag; -1 when there is none
    qsizetype contentEnd = -1;          // at the '<' of its closing tag
    std::vector<qsizetype> elementEnds; // just after each element, in order
    bool valid() const { return contentBegin >= 0 && contentEnd >= contentBegin; }
};

// shapeProblem() for XML bytes that also records the layout of a top-level array. The layout is left
// invalid when the top level is anything else, or there is more than one value at the top level.
QString shapeProblem(const QByteArray& bytes, XmlArrayLayout* layout);

} // namespace lq::plist
