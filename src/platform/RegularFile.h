// Reading one whole local file with a cap, without ever waiting on it: anything but a regular file (a
// FIFO, a device, a folder, a socket) is refused before a byte is read, and so is a file larger than
// the cap.
#pragma once

#include "platform/FileSystem.h"

#include <QString>

namespace lq {

// Reads the file at `localPath` whole, following symbolic links. Error texts name the file as
// `shownName`; a file that is not a regular one gets the text of a file that cannot be opened.
FileRead readRegularFile(const QString& localPath, const QString& shownName, qint64 maxBytes);

} // namespace lq
