// Settings through QSettings. A value of the wrong kind (a damaged file, a hand edit) reads as absent,
// so the application falls back to the behaviour of a fresh install instead of guessing.
#include "platform/QtSettingsStore.h"

namespace lq {

QtSettingsStore::QtSettingsStore()
    : settings_(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                            QStringLiteral("lanternquill"), QStringLiteral("Lanternquill"))) {
}

QtSettingsStore::QtSettingsStore(const QString& file)
    : settings_(std::make_unique<QSettings>(file, QSettings::IniFormat)) {}

bool QtSettingsStore::boolValue(const QString& key) const {
    const QVariant value = settings_->value(key);
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    const QString text = value.toString().trimmed().toLower();
    // INI files hold text; only the spellings QSettings itself writes count.
    return text == QLatin1String("true") || text == QLatin1String("1");
}

double QtSettingsStore::doubleValue(const QString& key) const {
    bool ok = false;
    const double value = settings_->value(key).toDouble(&ok);
    return ok && qIsFinite(value) ? value : 0.0;
}

void QtSettingsStore::setBool(const QString& key, bool value) {
    settings_->setValue(key, value);
    settings_->sync();
}

void QtSettingsStore::setDouble(const QString& key, double value) {
    settings_->setValue(key, value);
    settings_->sync();
}

} // namespace lq
