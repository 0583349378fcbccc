// Files of the judged Mac under the system root, and the user's own files.
#pragma once

#include "platform/FileSystem.h"
#include "platform/SystemRoot.h"

namespace lq {

class RootFileSystem : public FileSystem {
public:
    explicit RootFileSystem(SystemRoot root) : root_(std::move(root)) {}
    FileRead readMacFile(const QString& macPath, qint64 maxBytes) const override;
    bool isMacDirectory(const QString& macPath) const override;
    std::optional<qint64> countMacDirectoryEntries(const QString& macPath) const override;
    QString writeUserFile(const QString& localPath, const QByteArray& bytes) override;

private:
    SystemRoot root_;
};

} // namespace lq
