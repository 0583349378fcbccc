// Maps the macOS paths the checks use onto this machine: "/" on a Mac, a simulated Mac's folder elsewhere.
#pragma once

#include <QString>

namespace lq {

class SystemRoot {
public:
    explicit SystemRoot(QString root);

    // The local path of the macOS absolute path `macPath` (which starts with "/").
    QString map(const QString& macPath) const;
    const QString& root() const { return root_; }
    // Whether the root is this machine's own "/" (spelled so, or a path that resolves to it): then the
    // Mac judged is the running system, and services that the system itself provides (the I/O
    // Registry) are asked directly.
    bool isHostRoot() const;

private:
    QString root_;
};

} // namespace lq
