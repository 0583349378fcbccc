// The per-user settings. No defaults are registered: a key never written reads as false, 0.0 or "".
#pragma once

#include <QString>

namespace lq {

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual bool boolValue(const QString& key) const = 0;
    virtual double doubleValue(const QString& key) const = 0;
    // Text set by the user or an administrator (never written by the application itself).
    virtual QString stringValue(const QString& key) const = 0;
    virtual void setBool(const QString& key, bool value) = 0;
    virtual void setDouble(const QString& key, double value) = 0;
};

} // namespace lq
