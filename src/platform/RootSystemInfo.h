// System facts read from the root's SystemVersion.plist (a real Mac has the same file), the process's
// user and the clock.
#pragma once

#include "platform/SystemInfo.h"
#include "platform/SystemRoot.h"

namespace lq {

class RootSystemInfo : public SystemInfo {
public:
    explicit RootSystemInfo(SystemRoot root) : root_(std::move(root)) {}
    OsVersion osVersion() const override;
    QString userName() const override;
    QDateTime now() const override;

private:
    SystemRoot root_;
};

// Builds the numbers and the version text from SystemVersion.plist's two values; a product version
// without a major number above 0 gives an unknown version.
OsVersion makeOsVersion(const QString& productVersion, const QString& buildVersion);

} // namespace lq
