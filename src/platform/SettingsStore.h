// The per-user settings. No defaults are registered: a key never written reads as false or 0.0.
#pragma once

#include <QString>

namespace lq {

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual bool boolValue(const QString& key) const = 0;
    virtual double doubleValue(const QString& key) const = 0;
    virtual void setBool(const QString& key, bool value) = 0;
    virtual void setDouble(const QString& key, double value) = 0;
};

} // namespace lq
