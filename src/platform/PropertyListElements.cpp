// Decoding a top-level array a piece at a time through libplist.
#include "platform/PropertyListElements.h"

#include "platform/PropertyListShape.h"

#include <plist/plist.h>

#include <cstdint>
#include <memory>
#include <optional>

namespace lq::plist {

namespace {

struct FreeNode {
    void operator()(plist_t node) const { plist_free(node); }
};
using OwnedNode = std::unique_ptr<void, FreeNode>;

ElementsResult wholeDocument(const QByteArray& bytes, const std::function<bool(const Node&)>& visit) {
    const ParseResult parsed = parse(bytes);
    if (!parsed.document)
        return {parsed.error, Type::Absent};
    const Node root = parsed.document->root();
    bool going = true;
    root.forEachElement([&](const Node& element) {
        if (going)
            going = visit(element);
    });
    return {QString(), root.type()};
}

// Binary lists name their top object in the trailer. libplist decodes only what can be reached from
// that object, so pointing the trailer at one element after another decodes the elements one by one,
// from the same bytes and by the same decoder as the whole list.
class BinaryElements {
public:
    explicit BinaryElements(QByteArray& bytes)
        : bytes_(bytes), data_(reinterpret_cast<const uint8_t*>(bytes.constData())),
          size_(static_cast<uint64_t>(bytes.size())) {}

    // The top-level array's references, or nothing when the top object is not an array.
    bool findTopArray() {
        const uint64_t t = size_ - kTrailer;
        const unsigned offsetWidth = data_[t + 6];
        refWidth_ = data_[t + 7];
        count_ = number(t + 8, 8);
        const uint64_t root = number(t + 16, 8);
        const uint64_t tableAt = number(t + 24, 8);
        const uint64_t at = number(tableAt + root * offsetWidth, offsetWidth);
        if ((data_[at] >> 4) != 0xA)
            return false;
        length_ = data_[at] & 0xF;
        refsAt_ = at + 1;
        if (length_ == 0xF) {
            const unsigned width = 1U << (data_[at + 1] & 0xF);
            length_ = number(at + 2, width);
            refsAt_ = at + 2 + width;
        }
        // The shape check has vouched for all of this; the pieces are only cut from what it read.
        return refsAt_ + length_ * refWidth_ <= tableAt;
    }

    // Decodes the elements in order; false when libplist refuses one or `visit` stops.
    std::optional<QString> visitEach(const std::function<bool(const Node&)>& visit) {
        char* const topField = bytes_.data() + (size_ - kTrailer + 16);
        for (uint64_t i = 0; i < length_; ++i) {
            const uint64_t ref = number(refsAt_ + i * refWidth_, refWidth_);
            if (ref >= count_)
                return notAPropertyList();
            for (int byte = 7; byte >= 0; --byte)
                topField[7 - byte] = static_cast<char>((ref >> (8 * byte)) & 0xFF);
            plist_t element = nullptr;
            plist_from_bin(bytes_.constData(), static_cast<uint32_t>(size_), &element);
            if (!element)
                return notAPropertyList();
            const OwnedNode owned(element);
            if (!visit(Node(element)))
                break;
        }
        return std::nullopt;
    }

private:
    static constexpr uint64_t kTrailer = 32;

    uint64_t number(uint64_t at, unsigned width) const {
        uint64_t value = 0;
        for (unsigned i = 0; i < width; ++i)
            value = (value << 8) | data_[at + i];
        return value;
    }

    QByteArray& bytes_;
    const uint8_t* data_;
    uint64_t size_;
    unsigned refWidth_ = 0;
    uint64_t count_ = 0;
    uint64_t length_ = 0;
    uint64_t refsAt_ = 0;
};

// XML pieces: the text before the top-level array's first element and after its last frames every
// piece, so each piece is a whole list of a few elements, decoded by the same decoder as the whole.
// About this many bytes of elements go into one piece.
constexpr qsizetype kXmlPieceBytes = 256 * 1024;

std::optional<QString> visitXmlPieces(const QByteArray& bytes, const XmlArrayLayout& layout,
                                      const std::function<bool(const Node&)>& visit) {
    const QByteArray head = bytes.left(layout.contentBegin);
    const QByteArray tail = bytes.mid(layout.contentEnd);
    QByteArray piece;
    qsizetype from = layout.contentBegin;
    size_t next = 0;
    while (next < layout.elementEnds.size()) {
        // Whole elements up to about kXmlPieceBytes, and at least one.
        size_t last = next;
        while (last + 1 < layout.elementEnds.size() && layout.elementEnds[last + 1] - from <= kXmlPieceBytes)
            ++last;
        const qsizetype to = layout.elementEnds[last];
        piece.resize(0); // keeps its buffer for the next piece
        piece.append(head).append(bytes.constData() + from, to - from).append(tail);
        plist_t root = nullptr;
        plist_from_xml(piece.constData(), static_cast<uint32_t>(piece.size()), &root);
        if (!root)
            return notAPropertyList();
        const OwnedNode owned(root);
        const Node array(root);
        // The scan and the decoder must agree on where elements begin and end.
        if (!array.isArray() || array.size() != static_cast<qsizetype>(last - next + 1))
            return notAPropertyList();
        bool going = true;
        array.forEachElement([&](const Node& element) {
            if (going)
                going = visit(element);
        });
        if (!going)
            break;
        from = to;
        next = last + 1;
    }
    return std::nullopt;
}

} // namespace

ElementsResult forEachTopLevelElement(QByteArray bytes, const std::function<bool(const Node&)>& visit) {
    if (bytes.isEmpty() || bytes.size() > std::numeric_limits<int32_t>::max())
        return wholeDocument(bytes, visit);
    if (!bytes.startsWith("bplist00")) {
        XmlArrayLayout layout;
        if (QString problem = shapeProblem(bytes, &layout); !problem.isEmpty())
            return {std::move(problem), Type::Absent};
        if (!layout.valid())
            return wholeDocument(bytes, visit);
        if (std::optional<QString> error = visitXmlPieces(bytes, layout, visit))
            return {std::move(*error), Type::Absent};
        return {QString(), Type::Array};
    }
    if (QString problem = shapeProblem(bytes); !problem.isEmpty())
        return {std::move(problem), Type::Absent};
    bytes.detach(); // the trailer is rewritten below; the caller's bytes stay as they were
    BinaryElements elements(bytes);
    if (!elements.findTopArray())
        return wholeDocument(bytes, visit);
    if (std::optional<QString> error = elements.visitEach(visit))
        return {std::move(*error), Type::Absent};
    return {QString(), Type::Array};
}

} // namespace lq::plist
