// Facts about the running system and the current time.
#pragma once

#include <QDateTime>
#include <QString>

namespace lq {

struct OsVersion {
    int major = 0; // 0 when the version could not be read
    int minor = 0;
    QString text; // "Version 14.5 (Build 23F79)", or "Version unknown"
    bool known() const { return major > 0; }
};

class SystemInfo {
public:
    virtual ~SystemInfo() = default;
    virtual OsVersion osVersion() const = 0;
    virtual QString userName() const = 0;
    virtual QDateTime now() const = 0;
};

} // namespace lq
