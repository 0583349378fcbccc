// Binary property lists for tests.
#include "support/PlistFixtures.h"

#include <plist/plist.h>

namespace lq::test {

QByteArray toBinary(const QByteArray& xml) {
    plist_t root = nullptr;
    plist_from_xml(xml.constData(), static_cast<uint32_t>(xml.size()), &root);
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &bytes, &length);
    QByteArray binary(bytes, static_cast<qsizetype>(length));
    plist_to_bin_free(bytes);
    plist_free(root);
    return binary;
}

} // namespace lq::test
