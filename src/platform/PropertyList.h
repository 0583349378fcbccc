// Apple property lists (XML and binary), decoded by libplist and read in place without copying.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <memory>
#include <optional>

namespace lq::plist {

enum class Type { Boolean, Integer, Real, String, Array, Dictionary, Date, Data, Other, Absent };

// A view of one value inside a Document; valid while the Document lives. A missing value is a Node
// of type Absent, so lookups chain without checks.
class Node {
public:
    Node() = default;
    explicit Node(void* node) : node_(node) {}

    Type type() const;
    bool isAbsent() const { return node_ == nullptr; }
    bool isArray() const { return type() == Type::Array; }
    bool isDictionary() const { return type() == Type::Dictionary; }

    // The value when it has that type, nothing otherwise.
    std::optional<QString> string() const;
    std::optional<QByteArray> data() const;
    std::optional<QDateTime> date() const;
    std::optional<bool> boolean() const;

    // The value under `key` of a dictionary (Absent for anything else or a missing key).
    Node operator[](const char* key) const;

    // Elements of an array in order; visiting walks the list once, whatever the format.
    template <typename Visitor> void forEachElement(Visitor&& visit) const {
        if (!isArray())
            return;
        Iterator it(node_);
        for (Node element = it.next(); !element.isAbsent(); element = it.next())
            visit(element);
    }
    // Entries of a dictionary, in the order of the file.
    template <typename Visitor> void forEachEntry(Visitor&& visit) const {
        if (!isDictionary())
            return;
        DictIterator it(node_);
        QString key;
        for (Node value = it.next(key); !value.isAbsent(); value = it.next(key))
            visit(key, value);
    }
    qsizetype size() const;

private:
    class Iterator {
    public:
        explicit Iterator(void* array);
        ~Iterator();
        Iterator(const Iterator&) = delete;
        Iterator& operator=(const Iterator&) = delete;
        Node next();

    private:
        void* array_;
        void* iter_ = nullptr;
    };
    class DictIterator {
    public:
        explicit DictIterator(void* dict);
        ~DictIterator();
        DictIterator(const DictIterator&) = delete;
        DictIterator& operator=(const DictIterator&) = delete;
        Node next(QString& key);

    private:
        void* dict_;
        void* iter_ = nullptr;
    };
    void* node_ = nullptr;
};

struct ParseResult;

// Owns a decoded property list.
class Document {
public:
    Node root() const { return Node(root_.get()); }

private:
    friend ParseResult parse(const QByteArray& bytes);
    struct Free {
        void operator()(void* node) const;
    };
    std::unique_ptr<void, Free> root_;
};

struct ParseResult {
    std::optional<Document> document; // set on success
    QString error;                    // a readable description on failure
};

// Decodes XML or binary property-list bytes.
ParseResult parse(const QByteArray& bytes);

} // namespace lq::plist
