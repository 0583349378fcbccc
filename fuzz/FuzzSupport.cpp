// Shared pieces of the fuzz targets.
#include "FuzzSupport.h"

#include "platform/PropertyListShape.h"

#include <QCoreApplication>
#include <QTimeZone>

#include <cstdio>
#include <cstdlib>

namespace lq::fuzz {

void fail(const char* rule) {
    std::fprintf(stderr, "rule broken: %s\n", rule);
    std::abort();
}

void ensureApplication() {
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "lq-fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
}

namespace {

// `containers`: the arrays and dictionaries this value is inside.
void walkAt(const plist::Node& node, int containers) {
    if (node.isArray() || node.isDictionary())
        require(containers < plist::kMaxNesting, "no decoded list is deeper than the limit");
    switch (node.type()) {
    case plist::Type::String:
        require(node.string().has_value(), "a string reads as a string");
        break;
    case plist::Type::Data:
        require(node.data().has_value(), "data reads as data");
        break;
    case plist::Type::Date:
        require(node.date().has_value(), "a date reads as a date");
        break;
    case plist::Type::Boolean:
        require(node.boolean().has_value(), "a boolean reads as a boolean");
        break;
    case plist::Type::Array: {
        qsizetype seen = 0;
        node.forEachElement([&](const plist::Node& element) {
            ++seen;
            walkAt(element, containers + 1);
        });
        require(seen == node.size(), "an array visits as many elements as it has");
        break;
    }
    case plist::Type::Dictionary: {
        qsizetype seen = 0;
        node.forEachEntry([&](const QString&, const plist::Node& value) {
            ++seen;
            walkAt(value, containers + 1);
        });
        require(seen == node.size(), "a dictionary visits as many entries as it has");
        break;
    }
    default:
        require(!node.string() && !node.data() && !node.date() && !node.boolean(),
                "a value of another type reads as nothing");
        break;
    }
}

} // namespace

void walk(const plist::Node& node) {
    walkAt(node, 0);
}

QString describe(const plist::Node& node, qint64& budget) {
    if (--budget < 0)
        return QStringLiteral("…");
    switch (node.type()) {
    case plist::Type::Array: {
        QString text = QStringLiteral("[");
        node.forEachElement(
            [&](const plist::Node& element) { text += describe(element, budget) + QLatin1Char(','); });
        return text + QLatin1Char(']');
    }
    case plist::Type::Dictionary: {
        QString text = QStringLiteral("{");
        node.forEachEntry([&](const QString& key, const plist::Node& value) {
            text += key + QLatin1Char('=') + describe(value, budget) + QLatin1Char(',');
        });
        return text + QLatin1Char('}');
    }
    case plist::Type::String:
        return QLatin1Char('"') + *node.string() + QLatin1Char('"');
    case plist::Type::Date:
        return node.date()->toString(Qt::ISODateWithMs);
    case plist::Type::Data:
        return QString::fromLatin1(node.data()->toBase64());
    case plist::Type::Boolean:
        return *node.boolean() ? QStringLiteral("true") : QStringLiteral("false");
    case plist::Type::Integer:
        return QStringLiteral("integer");
    case plist::Type::Real:
        return QStringLiteral("real");
    default:
        return QStringLiteral("other");
    }
}

ToolRun InputTools::run(const QString& path, const QStringList&, ErrorStream, const QByteArray*) {
    return answers.value(path, ToolRun{kToolNotStartedStatus, {}, {}});
}

FileRead NoFiles::readMacFile(const QString& macPath, qint64) const {
    return {std::nullopt, QStringLiteral("The file “%1” couldn’t be opened.").arg(macPath)};
}

QDateTime FixedSystem::now() const {
    return QDateTime(QDate(2026, 12, 10), QTime(8, 0), Qt::UTC);
}

} // namespace lq::fuzz
