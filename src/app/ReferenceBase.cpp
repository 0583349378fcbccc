#include "app/ReferenceBase.h"

#include "platform/ReferenceGetter.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace lq {

ReferenceAddress referenceAddress(const QString& text, const QString& workingDirectory) {
    if (text.trimmed().isEmpty())
        return {QString(), QStringLiteral("must not be empty")};
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    // No scheme at all: a folder. (A single letter before ":" would be a drive, which no Mac has.)
    if (scheme.isEmpty() && !text.contains(QLatin1String("://"))) {
        const QString path = QDir::cleanPath(QDir(workingDirectory).absoluteFilePath(text));
        if (!QFileInfo(path).isDir())
            return {QString(), QStringLiteral("no such folder")};
        QString folder = QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
        if (!folder.endsWith(QLatin1Char('/')))
            folder += QLatin1Char('/');
        return {folder, QString()};
    }
    if (!url.isValid() || url.isRelative())
        return {QString(), QStringLiteral("must be an https or file address, or a folder")};
    if (url.hasQuery() || url.hasFragment())
        return {QString(), QStringLiteral("must have no query (?) or fragment (#)")};
    if (scheme == QLatin1String("file")) {
        if (!url.host().isEmpty() && url.host() != QLatin1String("localhost"))
            return {QString(), QStringLiteral("a file address must name a folder on this Mac")};
    } else if (scheme == QLatin1String("https") || scheme == QLatin1String("http")) {
        if (url.host().isEmpty())
            return {QString(), QStringLiteral("must name a server")};
        if (scheme == QLatin1String("http") && !isLoopbackHost(url.host()))
            return {QString(), QStringLiteral("must be https (plain http only for this machine)")};
    } else {
        return {QString(), QStringLiteral("must be an https or file address, or a folder")};
    }
    if (!text.endsWith(QLatin1Char('/')))
        return {QString(), QStringLiteral("must end in /")};
    return {text, QString()};
}

QString referenceSourceName(ReferenceSource source) {
    switch (source) {
    case ReferenceSource::CommandLine:
        return QStringLiteral("commandLine");
    case ReferenceSource::Setting:
        return QStringLiteral("setting");
    case ReferenceSource::BuiltIn:
        return QStringLiteral("builtIn");
    }
    return QString();
}

ReferenceBase chooseReferenceBase(const std::optional<QString>& option, const QString& setting,
                                  const QString& builtIn, const QString& workingDirectory) {
    if (option)
        return {*option, ReferenceSource::CommandLine, QString()};
    if (!setting.isEmpty()) {
        const ReferenceAddress address = referenceAddress(setting, workingDirectory);
        if (address.problem.isEmpty())
            return {address.url, ReferenceSource::Setting, QString()};
        return {
            builtIn, ReferenceSource::BuiltIn,
            QStringLiteral("The ReferenceBaseURL setting “%1” %2; the reference lists come from %3 instead.")
                .arg(setting, address.problem, builtIn)};
    }
    return {builtIn, ReferenceSource::BuiltIn, QString()};
}

} // namespace lq
