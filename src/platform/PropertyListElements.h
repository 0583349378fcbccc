// Decoding a list whose top level is an array a few elements at a time. libplist's tree takes many
// times the file's size, so a long list (the install history) is never held as one tree.
#pragma once

#include "platform/PropertyList.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <limits>

namespace lq::plist {

struct ElementsResult {
    QString error;                // not empty when the bytes are not a property list (the text parse gives)
    Type rootType = Type::Absent; // the top-level type of a list that decoded
};

// Decodes `bytes` as parse() does and, when the top level is an array, calls `visit` with each element
// in order until it returns false. A Node handed to `visit` is valid only during that call. The
// elements are those parse() would give, decoded a piece at a time; bytes the pieces cannot be cut
// from safely are decoded whole.
ElementsResult forEachTopLevelElement(QByteArray bytes, const std::function<bool(const Node&)>& visit);

} // namespace lq::plist
