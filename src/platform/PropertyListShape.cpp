// Depth, size and framing checks on property-list bytes, done without recursion before libplist sees
// them.
#include "platform/PropertyListShape.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

namespace lq::plist {

namespace {

QString tooDeep() {
    return QStringLiteral("The data couldn’t be read because it is nested more than %1 levels deep.")
        .arg(kMaxNesting);
}
QString tooLarge() {
    return QStringLiteral("The data couldn’t be read because it holds more than the application accepts.");
}

// Adds without wrapping; every figure here is compared with a cap far below the maximum.
uint64_t addCapped(uint64_t a, uint64_t b) {
    return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

// XML. The scan follows the way libplist reads the text: the same things are skipped (comments,
// CDATA, processing instructions, a DOCTYPE, quoted attribute values) and anything it would read
// differently from a plain XML reader is refused, so no depth can hide from the count.
class XmlShape {
public:
    explicit XmlShape(const QByteArray& bytes, XmlArrayLayout* layout = nullptr)
        : begin_(bytes.constData()), pos_(begin_), end_(pos_ + bytes.size()), layout_(layout) {}

    QString problem() {
        // libplist compares tag names as C strings: a NUL would make "dict\0x" a dictionary.
        if (std::memchr(pos_, 0, static_cast<size_t>(end_ - pos_)))
            return notAPropertyList();
        while (true) {
            skipSpace();
            if (pos_ == end_)
                break;
            if (*pos_ != '<')
                return notAPropertyList(); // text between elements
            ++pos_;
            if (const QString p = markup(); !p.isEmpty())
                return p;
        }
        if (!open_.empty())
            return notAPropertyList();
        if (layout_ && (layoutBroken_ || layout_->contentEnd < 0))
            *layout_ = XmlArrayLayout();
        return QString();
    }

private:
    enum class Kind : char { Array, Dict, Plist, Other };

    QString markup() {
        if (pos_ == end_)
            return notAPropertyList();
        if (*pos_ == '?')
            return skipQuotedPast("?>") ? QString() : notAPropertyList();
        if (*pos_ == '!') {
            if (startsWith("!--"))
                return skipPast("-->") ? QString() : notAPropertyList();
            // A DOCTYPE with an internal subset is never in a property list, and libplist skips one
            // its own way: refuse it rather than guess where it ends.
            if (startsWith("!DOCTYPE"))
                return skipQuotedPast(">", "[") ? QString() : notAPropertyList();
            return notAPropertyList();
        }
        return tag();
    }

    QString tag() {
        const char* const tagStart = pos_ - 1;
        const char* name = pos_;
        while (pos_ < end_ && !isSpace(*pos_) && *pos_ != '<' && *pos_ != '>')
            ++pos_;
        if (pos_ == end_ || *pos_ == '<')
            return notAPropertyList();
        auto nameLength = static_cast<size_t>(pos_ - name);
        if (*pos_ != '>' && !skipQuotedTo('>'))
            return notAPropertyList();
        const bool empty = *(pos_ - 1) == '/';
        if (empty)
            nameLength = std::min(nameLength, static_cast<size_t>(pos_ - name - 1));
        ++pos_;
        std::string_view tagName(name, nameLength);

        if (tagName.starts_with('/')) {
            const Kind kind = kindOf(tagName.substr(1));
            if (open_.empty() || open_.back() != kind)
                return notAPropertyList();
            open_.pop_back();
            if (kind != Kind::Plist)
                noteClosed(tagStart);
            return QString();
        }
        const Kind kind = kindOf(tagName);
        if (kind == Kind::Plist) {
            // libplist recurses into a <plist> met before any value; only the outermost one is real.
            if (!open_.empty())
                return notAPropertyList();
            if (!empty)
                open_.push_back(kind);
            return QString();
        }
        if (++values_ > kMaxValues)
            return tooLarge();
        const bool element = noteValue(kind, empty);
        if (kind == Kind::Other) {
            if (const QString p = empty ? QString() : text(); !p.isEmpty())
                return p;
            if (element)
                layout_->elementEnds.push_back(pos_ - begin_);
            return QString();
        }
        if (empty && element)
            layout_->elementEnds.push_back(pos_ - begin_);
        if (!empty) {
            open_.push_back(kind);
            const auto containers =
                std::count_if(open_.begin(), open_.end(), [](Kind k) { return k != Kind::Plist; });
            if (containers > kMaxNesting)
                return tooDeep();
        }
        return QString();
    }

    // The content of a text element (string, key, integer, data, …) up to its closing tag.
    QString text() {
        while (true) {
            // Text is most of a list: jump to the next markup.
            const auto* markup =
                static_cast<const char*>(std::memchr(pos_, '<', static_cast<size_t>(end_ - pos_)));
            if (!markup)
                return notAPropertyList();
            pos_ = markup;
            if (startsWith("<!--")) {
                pos_ += 4;
                if (!skipPast("-->"))
                    return notAPropertyList();
            } else if (startsWith("<![CDATA[")) {
                pos_ += 9;
                if (!skipPast("]]>"))
                    return notAPropertyList();
            } else if (startsWith("</")) {
                pos_ += 2;
                while (pos_ < end_ && *pos_ != '>') {
                    if (*pos_ == '<')
                        return notAPropertyList();
                    ++pos_;
                }
                if (pos_ == end_)
                    return notAPropertyList();
                ++pos_;
                return QString();
            } else {
                return notAPropertyList(); // an element inside text
            }
        }
    }

    // Arrays and dictionaries open now, not counting the <plist> around them.
    size_t containers() const {
        return open_.size() - (!open_.empty() && open_.front() == Kind::Plist ? 1 : 0);
    }

    // Notes a value about to be read (its tag just ended at pos_); true when it is an element of the
    // top-level array, whose end the caller records once the value has been read.
    bool noteValue(Kind kind, bool empty) {
        if (!layout_)
            return false;
        if (containers() == 0) {
            layoutBroken_ = layoutBroken_ || rootSeen_; // a second value at the top level
            rootSeen_ = true;
            if (kind == Kind::Array && !empty) {
                inRootArray_ = true;
                layout_->contentBegin = pos_ - begin_;
            }
            return false;
        }
        return inRootArray_ && containers() == 1;
    }

    // Notes that the container closed by the tag at `tagStart` (now ended at pos_) is done.
    void noteClosed(const char* tagStart) {
        if (!layout_ || !inRootArray_)
            return;
        if (containers() == 1) {
            layout_->elementEnds.push_back(pos_ - begin_);
        } else if (containers() == 0) {
            layout_->contentEnd = tagStart - begin_;
            inRootArray_ = false;
        }
    }

    static Kind kindOf(std::string_view name) {
        if (name == "array")
            return Kind::Array;
        if (name == "dict")
            return Kind::Dict;
        if (name == "plist")
            return Kind::Plist;
        return Kind::Other;
    }

    // The input holds no NUL (checked first), so these are the only blanks.
    static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

    bool startsWith(std::string_view text) const {
        return static_cast<size_t>(end_ - pos_) >= text.size() &&
               std::memcmp(pos_, text.data(), text.size()) == 0;
    }
    void skipSpace() {
        while (pos_ < end_ && isSpace(*pos_))
            ++pos_;
    }
    // To just after the first `terminator`.
    bool skipPast(std::string_view terminator) {
        const std::string_view rest(pos_, static_cast<size_t>(end_ - pos_));
        const size_t at = rest.find(terminator);
        if (at == std::string_view::npos)
            return false;
        pos_ += at + terminator.size();
        return true;
    }
    // From the opening quote at pos_ to its closing quote; false when it never closes or holds a '<'.
    bool stepToClosingQuote() {
        const char* close =
            static_cast<const char*>(std::memchr(pos_ + 1, '"', static_cast<size_t>(end_ - pos_ - 1)));
        if (!close || std::memchr(pos_, '<', static_cast<size_t>(close - pos_)))
            return false;
        pos_ = close;
        return true;
    }
    // To `c`, stepping over double-quoted runs as libplist does; a '<' on the way is refused, since a
    // markup character there means the reader and this scan could disagree about where the tag ends.
    bool skipQuotedTo(char c) {
        while (pos_ < end_ && *pos_ != c) {
            if (*pos_ == '<')
                return false;
            if (*pos_ == '"' && !stepToClosingQuote())
                return false;
            ++pos_;
        }
        return pos_ < end_;
    }
    // To just after `terminator`, stepping over quoted runs; any of `refused` on the way fails.
    bool skipQuotedPast(std::string_view terminator, std::string_view refused = {}) {
        while (pos_ < end_) {
            if (startsWith(terminator)) {
                pos_ += terminator.size();
                return true;
            }
            if (*pos_ == '<' || refused.find(*pos_) != std::string_view::npos)
                return false;
            if (*pos_ == '"' && !stepToClosingQuote())
                return false;
            ++pos_;
        }
        return false;
    }

    const char* begin_;
    const char* pos_;
    const char* end_;
    std::vector<Kind> open_;
    qint64 values_ = 0;
    XmlArrayLayout* layout_;
    bool rootSeen_ = false;
    bool inRootArray_ = false;
    bool layoutBroken_ = false;
};

// Binary. The trailer and every object reached from the root are checked, and the list is walked
// with an explicit stack, once per object: what a shared object adds (depth, values, bytes) is
// remembered, because libplist decodes it again at every reference.
class BinaryShape {
public:
    explicit BinaryShape(const QByteArray& bytes)
        : data_(reinterpret_cast<const uint8_t*>(bytes.constData())),
          size_(static_cast<uint64_t>(bytes.size())) {}

    QString problem() {
        if (const QString p = trailer(); !p.isEmpty())
            return p;
        return walk();
    }

private:
    static constexpr uint64_t kHeader = 8;
    static constexpr uint64_t kTrailer = 32;

    struct Object {
        bool container = false;
        uint64_t refsAt = 0; // where its references start
        uint64_t refs = 0;   // how many: elements, or keys then values
        bool dictionary = false;
        uint64_t payload = 0; // bytes of text or data it decodes to
    };
    struct Frame {
        uint64_t index;
        Object object;
        uint64_t next = 0;
        uint64_t deepestChild = 0;
        uint64_t values = 1;
        uint64_t bytes = 0;
    };
    enum : uint8_t { Unseen, Open, Done };

    // Offsets and references are big-endian numbers of 1 to 8 bytes.
    static bool readableWidth(unsigned width) { return width >= 1 && width <= 8; }

    uint64_t number(uint64_t at, unsigned width) const {
        uint64_t value = 0;
        for (unsigned i = 0; i < width; ++i)
            value = (value << 8) | data_[at + i];
        return value;
    }

    QString trailer() {
        if (size_ < kHeader + kTrailer)
            return notAPropertyList();
        const uint64_t t = size_ - kTrailer;
        offsetWidth_ = data_[t + 6];
        refWidth_ = data_[t + 7];
        count_ = number(t + 8, 8);
        root_ = number(t + 16, 8);
        tableAt_ = number(t + 24, 8);
        if (!readableWidth(offsetWidth_) || !readableWidth(refWidth_))
            return notAPropertyList();
        // Every object takes at least one byte between the header and the offset table.
        if (tableAt_ < kHeader + 1 || tableAt_ > t || count_ == 0 || count_ > tableAt_ - kHeader ||
            root_ >= count_ || count_ > (t - tableAt_) / offsetWidth_)
            return notAPropertyList();
        if (count_ > static_cast<uint64_t>(kMaxValues))
            return tooLarge();
        return QString();
    }

    std::optional<uint64_t> offsetOf(uint64_t index) const {
        const uint64_t offset = number(tableAt_ + index * offsetWidth_, offsetWidth_);
        if (offset < kHeader || offset >= tableAt_)
            return std::nullopt;
        return offset;
    }

    // The object at `index`, its extent checked against the object area.
    std::optional<Object> object(uint64_t index) const {
        const auto offset = offsetOf(index);
        if (!offset)
            return std::nullopt;
        const uint64_t at = *offset;
        const uint64_t limit = tableAt_;
        const uint8_t marker = data_[at];
        const unsigned high = marker >> 4;
        const unsigned low = marker & 0xF;
        Object object;
        uint64_t start = at + 1;
        uint64_t length = low;
        if ((high == 0x4 || high == 0x5 || high == 0x6 || high == 0xA || high == 0xD) && low == 0xF) {
            // The length follows as an integer object of 1, 2, 4 or 8 bytes.
            if (limit - at < 2 || (data_[at + 1] >> 4) != 0x1 || (data_[at + 1] & 0xF) > 3)
                return std::nullopt;
            const unsigned width = 1U << (data_[at + 1] & 0xF);
            if (limit - at - 2 < width)
                return std::nullopt;
            length = number(at + 2, width);
            start = at + 2 + width;
        }
        const uint64_t room = limit - start;
        auto fits = [room](uint64_t count, uint64_t unit) { return count <= room / unit; };
        switch (high) {
        case 0x0: // false, true
            return (marker == 0x08 || marker == 0x09) ? std::optional(object) : std::nullopt;
        case 0x1: // integers of 1 to 16 bytes
            return (low <= 4 && fits(1ULL << low, 1)) ? std::optional(object) : std::nullopt;
        case 0x2: // reals of 4 or 8 bytes
            return ((low == 2 || low == 3) && fits(1ULL << low, 1)) ? std::optional(object) : std::nullopt;
        case 0x3:
            return (marker == 0x33 && fits(8, 1)) ? std::optional(object) : std::nullopt;
        case 0x4: // data
            if (!fits(length, 1))
                return std::nullopt;
            object.payload = length;
            return object;
        // Text holds no NUL: libplist keeps text as C strings and aborts on reading one that has one.
        case 0x5: // ASCII text
            if (!fits(length, 1) || std::memchr(data_ + start, 0, length))
                return std::nullopt;
            object.payload = length;
            return object;
        case 0x6: // UTF-16 text, up to three bytes of UTF-8 for each unit
            if (!fits(length, 2))
                return std::nullopt;
            for (uint64_t unit = 0; unit < length; ++unit)
                if (data_[start + 2 * unit] == 0 && data_[start + 2 * unit + 1] == 0)
                    return std::nullopt;
            object.payload = length * 3;
            return object;
        case 0x8: // UID
            return fits(low + 1ULL, 1) ? std::optional(object) : std::nullopt;
        case 0xA:
        case 0xD: {
            const uint64_t refs = high == 0xD ? length * 2 : length;
            if (length > room || !fits(refs, refWidth_))
                return std::nullopt;
            object.container = true;
            object.dictionary = high == 0xD;
            object.refsAt = start;
            object.refs = refs;
            return object;
        }
        default: // sets, fill bytes and unassigned markers: never in a property list
            return std::nullopt;
        }
    }

    bool isText(uint64_t index) const {
        const auto offset = offsetOf(index);
        return offset && ((data_[*offset] >> 4) == 0x5 || (data_[*offset] >> 4) == 0x6);
    }

    QString walk() {
        std::vector<uint8_t> state(count_, Unseen);
        std::vector<uint16_t> depthOf(count_, 0);
        std::vector<uint64_t> valuesOf(count_, 0);
        std::vector<uint64_t> bytesOf(count_, 0);
        std::vector<Frame> stack;

        // Folds a finished child into the frame on top, or returns the reason to stop.
        auto fold = [&](uint64_t child) -> QString {
            Frame& parent = stack.back();
            if (stack.size() + depthOf[child] > static_cast<size_t>(kMaxNesting))
                return tooDeep();
            parent.deepestChild = std::max<uint64_t>(parent.deepestChild, depthOf[child]);
            parent.values = addCapped(parent.values, valuesOf[child]);
            parent.bytes = addCapped(parent.bytes, bytesOf[child]);
            if (parent.values > static_cast<uint64_t>(kMaxValues) ||
                parent.bytes > static_cast<uint64_t>(kMaxDecodedBytes))
                return tooLarge();
            return QString();
        };
        // Starts on an object: a leaf is finished at once, a container goes on the stack.
        auto enter = [&](uint64_t index) -> QString {
            const auto object = this->object(index);
            if (!object)
                return notAPropertyList();
            if (!object->container) {
                state[index] = Done;
                valuesOf[index] = 1;
                bytesOf[index] = object->payload;
                return stack.empty() ? QString() : fold(index);
            }
            if (stack.size() + 1 > static_cast<size_t>(kMaxNesting))
                return tooDeep();
            state[index] = Open;
            stack.push_back(Frame{index, *object});
            return QString();
        };

        if (const QString p = enter(root_); !p.isEmpty())
            return p;
        while (!stack.empty()) {
            Frame& frame = stack.back();
            if (frame.next < frame.object.refs) {
                const uint64_t child = number(frame.object.refsAt + frame.next * refWidth_, refWidth_);
                const bool isKey = frame.object.dictionary && frame.next < frame.object.refs / 2;
                ++frame.next;
                if (child >= count_ || (isKey && !isText(child)))
                    return notAPropertyList();
                QString p;
                if (state[child] == Open)
                    return notAPropertyList(); // a list that contains itself
                if (state[child] == Done)
                    p = fold(child);
                else
                    p = enter(child);
                if (!p.isEmpty())
                    return p;
                continue;
            }
            const Frame done = frame;
            stack.pop_back();
            state[done.index] = Done;
            depthOf[done.index] = static_cast<uint16_t>(done.deepestChild + 1);
            valuesOf[done.index] = done.values;
            bytesOf[done.index] = done.bytes;
            if (!stack.empty()) {
                if (const QString p = fold(done.index); !p.isEmpty())
                    return p;
            }
        }
        return QString();
    }

    const uint8_t* data_;
    uint64_t size_;
    unsigned offsetWidth_ = 0;
    unsigned refWidth_ = 0;
    uint64_t count_ = 0;
    uint64_t root_ = 0;
    uint64_t tableAt_ = 0;
};

} // namespace

QString shapeProblem(const QByteArray& bytes) {
    if (bytes.startsWith("bplist00"))
        return BinaryShape(bytes).problem();
    return XmlShape(bytes).problem();
}

QString shapeProblem(const QByteArray& bytes, XmlArrayLayout* layout) {
    *layout = XmlArrayLayout();
    if (bytes.startsWith("bplist00"))
        return BinaryShape(bytes).problem();
    return XmlShape(bytes, layout).problem();
}

} // namespace lq::plist
