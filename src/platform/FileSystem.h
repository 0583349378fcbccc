// Files and folders: the judged Mac's (macOS paths, mapped onto the root) and the user's own (export).
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace lq {

struct FileRead {
    std::optional<QByteArray> bytes; // set on success
    QString error;                   // readable description on failure
};

// Larger files are refused rather than read into memory: nothing the checks read comes near it.
inline constexpr qint64 kMaxReadBytes = 256LL * 1024 * 1024;

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // Reads a regular file of the judged Mac whole. Anything else (a FIFO, a device, a folder) is refused
    // unopened, as is a file larger than `maxBytes`.
    virtual FileRead readMacFile(const QString& macPath, qint64 maxBytes = kMaxReadBytes) const = 0;
    virtual bool isMacDirectory(const QString& macPath) const = 0;
    // Number of entries of a folder of the judged Mac (hidden ones included), nothing when unreadable.
    virtual std::optional<qint64> countMacDirectoryEntries(const QString& macPath) const = 0;
    // Writes a file the user chose, replacing an existing one only once the new one is complete. When
    // no temporary file can be made beside it (a folder the user may not write into), a file the user
    // may write is overwritten in place instead. Returns an empty text on success, else a readable
    // description of the failure.
    virtual QString writeUserFile(const QString& localPath, const QByteArray& bytes) = 0;
};

} // namespace lq
