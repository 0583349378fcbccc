// Property-list decoding through libplist.
#include "platform/PropertyList.h"
#include "platform/PropertyListShape.h"

#include <QTimeZone>

#include <plist/plist.h>

#include <cstdlib>
#include <limits>

namespace lq::plist {

namespace {
// libplist counts dates from the start of 2001 (UTC), as Apple does.
constexpr qint64 kAppleEpochOffset = 978307200;
} // namespace

Type Node::type() const {
    if (!node_)
        return Type::Absent;
    switch (plist_get_node_type(node_)) {
    case PLIST_BOOLEAN:
        return Type::Boolean;
    case PLIST_UINT:
        return Type::Integer;
    case PLIST_REAL:
        return Type::Real;
    case PLIST_STRING:
        return Type::String;
    case PLIST_ARRAY:
        return Type::Array;
    case PLIST_DICT:
        return Type::Dictionary;
    case PLIST_DATE:
        return Type::Date;
    case PLIST_DATA:
        return Type::Data;
    default:
        return Type::Other;
    }
}

std::optional<QString> Node::string() const {
    if (type() != Type::String)
        return std::nullopt;
    char* value = nullptr;
    plist_get_string_val(node_, &value);
    QString text = QString::fromUtf8(value ? value : "");
    std::free(value);
    return text;
}

std::optional<QByteArray> Node::data() const {
    if (type() != Type::Data)
        return std::nullopt;
    char* value = nullptr;
    uint64_t length = 0;
    plist_get_data_val(node_, &value, &length);
    QByteArray bytes(value ? value : "", static_cast<qsizetype>(value ? length : 0));
    std::free(value);
    return bytes;
}

std::optional<QDateTime> Node::date() const {
    if (type() != Type::Date)
        return std::nullopt;
    int32_t seconds = 0;
    int32_t micros = 0;
    plist_get_date_val(node_, &seconds, &micros);
    const qint64 ms = (kAppleEpochOffset + seconds) * 1000 + micros / 1000;
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
}

std::optional<bool> Node::boolean() const {
    if (type() != Type::Boolean)
        return std::nullopt;
    uint8_t value = 0;
    plist_get_bool_val(node_, &value);
    return value != 0;
}

Node Node::operator[](const char* key) const {
    if (!isDictionary())
        return Node();
    return Node(plist_dict_get_item(node_, key));
}

qsizetype Node::size() const {
    if (isArray())
        return plist_array_get_size(node_);
    if (isDictionary())
        return plist_dict_get_size(node_);
    return 0;
}

Node::Iterator::Iterator(void* array) : array_(array) {
    plist_array_iter iter = nullptr;
    plist_array_new_iter(array_, &iter);
    iter_ = iter;
}

Node::Iterator::~Iterator() {
    std::free(iter_);
}

Node Node::Iterator::next() {
    plist_t item = nullptr;
    if (iter_)
        plist_array_next_item(array_, iter_, &item);
    return Node(item);
}

Node::DictIterator::DictIterator(void* dict) : dict_(dict) {
    plist_dict_iter iter = nullptr;
    plist_dict_new_iter(dict_, &iter);
    iter_ = iter;
}

Node::DictIterator::~DictIterator() {
    std::free(iter_);
}

Node Node::DictIterator::next(QString& key) {
    char* rawKey = nullptr;
    plist_t value = nullptr;
    if (iter_)
        plist_dict_next_item(dict_, iter_, &rawKey, &value);
    key = QString::fromUtf8(rawKey ? rawKey : "");
    std::free(rawKey);
    return Node(value);
}

void Document::Free::operator()(void* node) const {
    plist_free(node);
}

ParseResult parse(const QByteArray& bytes) {
    ParseResult result;
    if (bytes.isEmpty() || bytes.size() > std::numeric_limits<int32_t>::max()) {
        result.error = notAPropertyList();
        return result;
    }
    // libplist has no limits of its own: deep nesting overflows its stack and shared binary objects
    // multiply on decoding, so the shape is checked first.
    if (QString problem = shapeProblem(bytes); !problem.isEmpty()) {
        result.error = std::move(problem);
        return result;
    }
    plist_t root = nullptr;
    const auto length = static_cast<uint32_t>(bytes.size());
    if (bytes.startsWith("bplist00"))
        plist_from_bin(bytes.constData(), length, &root);
    else
        plist_from_xml(bytes.constData(), length, &root);
    if (!root) {
        result.error = notAPropertyList();
        return result;
    }
    Document document;
    document.root_.reset(root);
    result.document = std::move(document);
    return result;
}

} // namespace lq::plist
