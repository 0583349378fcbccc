// File access through Qt, and whole-file reads that never wait on what is not a regular file.
#include "platform/RootFileSystem.h"

#include "platform/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace lq {

FileRead RootFileSystem::readMacFile(const QString& macPath, qint64 maxBytes) const {
    return readRegularFile(root_.map(macPath), QFileInfo(macPath).fileName(), maxBytes);
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
    // A folder the user may not write into (a shared folder holding a file of the user's own) has no
    // room for that temporary file; the file is then written in place, as any editor would, rather
    // than refused.
    QSaveFile file(localPath);
    file.setDirectWriteFallback(true);
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
