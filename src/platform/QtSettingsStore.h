// Settings kept by QSettings: CFPreferences on a Mac, $XDG_CONFIG_HOME/lanternquill/Lanternquill.conf on
// Linux.
#pragma once

#include "platform/SettingsStore.h"

#include <QSettings>

#include <memory>

namespace lq {

class QtSettingsStore : public SettingsStore {
public:
    QtSettingsStore();                             // the user's own settings
    explicit QtSettingsStore(const QString& file); // an INI file of its own (tests)

    bool boolValue(const QString& key) const override;
    double doubleValue(const QString& key) const override;
    void setBool(const QString& key, bool value) override;
    void setDouble(const QString& key, double value) override;

private:
    std::unique_ptr<QSettings> settings_;
};

} // namespace lq
