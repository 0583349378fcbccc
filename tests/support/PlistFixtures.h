// Property-list test data in the binary format, made from XML with libplist.
#pragma once

#include <QByteArray>

namespace lq::test {

// The binary form of an XML property list.
QByteArray toBinary(const QByteArray& xml);

} // namespace lq::test
