// Maps macOS paths onto a root folder.
#include "platform/SystemRoot.h"

#include <QFileInfo>

namespace lq {

SystemRoot::SystemRoot(QString root) : root_(std::move(root)) {
    // A trailing slash would double the separator; "/" itself maps every path onto itself.
    while (root_.size() > 1 && root_.endsWith(QLatin1Char('/')))
        root_.chop(1);
}

QString SystemRoot::map(const QString& macPath) const {
    if (root_ == QLatin1String("/") || root_.isEmpty())
        return macPath;
    return root_ + macPath;
}

bool SystemRoot::isHostRoot() const {
    if (root_ == QLatin1String("/") || root_.isEmpty())
        return true;
    return QFileInfo(root_).canonicalFilePath() == QLatin1String("/");
}

} // namespace lq
