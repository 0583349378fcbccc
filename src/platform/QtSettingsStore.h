// Settings kept by QSettings: the bundle identifier's preferences domain on a Mac,
// $XDG_CONFIG_HOME/lanternquill/Lanternquill.conf on Linux. The file is written only when a value
// changes, and never through a symbolic link or over a file that is not the user's own: then the
// values are kept for this run only. Writing happens on a thread of its own (a write replaces the whole
// file and waits for the disk), in the order the values were set; the store's end waits for it.
#pragma once

#include "platform/SettingsDomain.h"
#include "platform/SettingsStore.h"

#include <QSettings>
#include <QVariantMap>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

namespace lq {

class QtSettingsStore : public SettingsStore {
public:
    QtSettingsStore();                             // the user's own settings
    explicit QtSettingsStore(const QString& file); // an INI file of its own (tests)
    ~QtSettingsStore() override;
    QtSettingsStore(const QtSettingsStore&) = delete;
    QtSettingsStore& operator=(const QtSettingsStore&) = delete;

    bool boolValue(const QString& key) const override;
    double doubleValue(const QString& key) const override;
    QString stringValue(const QString& key) const override;
    void setBool(const QString& key, bool value) override;
    void setDouble(const QString& key, double value) override;

    // Whether the file is left alone (not a regular file, a link, someone else's): values set in this
    // run are then kept in memory only.
    bool keepsValuesInMemory() const;
    // Where the values are kept: the settings file, or on a Mac the preferences domain's file; empty
    // when no file is read.
    QString location() const;

private:
    explicit QtSettingsStore(const SettingsDomain& domain);
    QtSettingsStore(const QString& path, const std::function<std::unique_ptr<QSettings>()>& open);
    QVariant stored(const QString& key) const;
    void store(const QString& key, const QVariant& value);
    void writeInOrder();

    std::function<std::unique_ptr<QSettings>()> open_;
    std::unique_ptr<QSettings> settings_; // none when the file is not one that can be read safely
    QVariantMap session_;                 // every value set in this run, read before the file

    // Values waiting to be written, oldest first, for the writing thread.
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::pair<QString, QVariant>> pending_;
    bool ending_ = false;
    std::thread writer_;
};

} // namespace lq
