// File access through Qt.
#include "platform/RootFileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace lq {

FileRead RootFileSystem::readMacFile(const QString& macPath, qint64 maxBytes) const {
    QFile file(root_.map(macPath));
    if (!file.open(QIODevice::ReadOnly)) {
        return {std::nullopt, QStringLiteral("The file “%1” couldn’t be opened: %2.")
                                  .arg(QFileInfo(macPath).fileName(), file.errorString())};
    }
    // A file that says it is too large is refused before anything is read. One that gives its size is
    // read at that size: asking for the cap would reserve the whole cap on every read. Reading stops one
    // byte past the cap for one that gives no size.
    if (!file.isSequential() && file.size() > maxBytes)
        return {std::nullopt,
                QStringLiteral("The file “%1” is too large to read.").arg(QFileInfo(macPath).fileName())};
    QByteArray bytes = file.isSequential() ? file.read(maxBytes + 1) : file.readAll();
    if (bytes.size() > maxBytes)
        return {std::nullopt,
                QStringLiteral("The file “%1” is too large to read.").arg(QFileInfo(macPath).fileName())};
    if (file.error() != QFileDevice::NoError)
        return {std::nullopt, QStringLiteral("The file “%1” couldn’t be read: %2.")
                                  .arg(QFileInfo(macPath).fileName(), file.errorString())};
    return {std::move(bytes), QString()};
}

bool RootFileSystem::isMacDirectory(const QString& macPath) const {
    return QFileInfo(root_.map(macPath)).isDir();
}

std::optional<qint64> RootFileSystem::countMacDirectoryEntries(const QString& macPath) const {
    QDir dir(root_.map(macPath));
    if (!dir.exists() || !dir.isReadable())
        return std::nullopt;
    return dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot).size();
}

QString RootFileSystem::writeUserFile(const QString& localPath, const QByteArray& bytes) {
    // QSaveFile writes a temporary file beside the target and renames it over the target only when
    // every byte is on disk: a failed or interrupted export never destroys the file that was there.
    QSaveFile file(localPath);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("The file “%1” couldn’t be saved: %2.")
            .arg(QFileInfo(localPath).fileName(), file.errorString());
    if (file.write(bytes) != bytes.size()) {
        const QString error = file.errorString();
        file.cancelWriting();
        return QStringLiteral("The file “%1” couldn’t be saved: %2.")
            .arg(QFileInfo(localPath).fileName(), error);
    }
    if (!file.commit())
        return QStringLiteral("The file “%1” couldn’t be saved: %2.")
            .arg(QFileInfo(localPath).fileName(), file.errorString());
    return QString();
}

} // namespace lq
