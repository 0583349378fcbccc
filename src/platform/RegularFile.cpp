// Whole-file reads through POSIX calls, so the kind of file is known before it is opened.
#include "platform/RegularFile.h"

#include <QFile>

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lq {

namespace {

constexpr qsizetype kFirstPiece = 64 * 1024;

QString cannotOpen(const QString& shownName, const QString& reason) {
    return QStringLiteral("The file “%1” couldn’t be opened: %2.").arg(shownName, reason);
}

QString tooLarge(const QString& shownName) {
    return QStringLiteral("The file “%1” is too large to read.").arg(shownName);
}

QString notRegular() {
    return QStringLiteral("It is not a regular file");
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

} // namespace

FileRead readRegularFile(const QString& localPath, const QString& shownName, qint64 maxBytes) {
    const QByteArray path = QFile::encodeName(localPath);
    // Judged before opening: opening a FIFO waits for a writer that may never come, and opening a
    // device may act on it.
    struct stat info {};
    if (::stat(path.constData(), &info) != 0)
        return {std::nullopt, cannotOpen(shownName, qt_error_string(errno))};
    if (!S_ISREG(info.st_mode))
        return {std::nullopt, cannotOpen(shownName, notRegular())};
    if (info.st_size > maxBytes)
        return {std::nullopt, tooLarge(shownName)};

    // Should the path have been swapped for a FIFO since, the open still returns at once.
    const Descriptor file(::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (file.get() < 0)
        return {std::nullopt, cannotOpen(shownName, qt_error_string(errno))};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return {std::nullopt, cannotOpen(shownName, notRegular())};
    if (info.st_size > maxBytes)
        return {std::nullopt, tooLarge(shownName)};

    // Read at the size the file gives, with one byte more so that its end is seen without growing;
    // the buffer grows only for a file that grows while it is read (or gives no size). Reading stops
    // one byte past the cap.
    const qint64 limit = maxBytes + 1;
    QByteArray bytes(static_cast<qsizetype>(std::min<qint64>(static_cast<qint64>(info.st_size) + 1, limit)),
                     Qt::Uninitialized);
    qsizetype used = 0;
    for (;;) {
        if (used == bytes.size()) {
            if (used >= limit)
                return {std::nullopt, tooLarge(shownName)};
            bytes.resize(static_cast<qsizetype>(
                std::min<qint64>(std::max<qint64>(static_cast<qint64>(used) * 2, kFirstPiece), limit)));
        }
        const ssize_t got = ::read(file.get(), bytes.data() + used, static_cast<size_t>(bytes.size() - used));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return {
                std::nullopt,
                QStringLiteral("The file “%1” couldn’t be read: %2.").arg(shownName, qt_error_string(errno))};
        if (got == 0)
            break;
        used += static_cast<qsizetype>(got);
    }
    if (used > maxBytes)
        return {std::nullopt, tooLarge(shownName)};
    bytes.truncate(used);
    return {std::move(bytes), QString()};
}

} // namespace lq
