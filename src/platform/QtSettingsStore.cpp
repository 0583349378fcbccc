// Settings through QSettings. A value of the wrong kind (a damaged file, a hand edit) reads as absent,
// so the application falls back to the behaviour of a fresh install instead of guessing.
#include "platform/QtSettingsStore.h"

#include <QFile>
#include <QStandardPaths>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace lq {

namespace {

// QSettings reads its file as it is made, with a blocking open: a FIFO there would hang the launch. A
// missing file is fine (there is nothing to read); a link is followed to a regular file.
bool safeToRead(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return errno == ENOENT;
    return S_ISREG(info.st_mode);
}

// QSettings writes a whole new file and renames it over the old one, through a link onto its target:
// it may only do so where the file is the user's own regular file, or where there is none yet.
bool safeToWrite(const QString& path) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return errno == ENOENT;
    return S_ISREG(info.st_mode) && info.st_uid == ::geteuid();
}

// Where QSettings keeps the user's settings on Linux (on a Mac they are the system's preferences, read
// and written by the preferences service rather than by this process, and nothing is at this path).
QString userSettingsPath(const SettingsDomain& domain) {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/') +
           domain.organization + QLatin1Char('/') + domain.application + QStringLiteral(".conf");
}

} // namespace

QtSettingsStore::QtSettingsStore() : QtSettingsStore(userSettingsDomain()) {}

QtSettingsStore::QtSettingsStore(const SettingsDomain& domain)
    : QtSettingsStore(userSettingsPath(domain), [domain] {
          return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                             domain.organization, domain.application);
      }) {}

QtSettingsStore::QtSettingsStore(const QString& file)
    : QtSettingsStore(file, [file] { return std::make_unique<QSettings>(file, QSettings::IniFormat); }) {}

QtSettingsStore::QtSettingsStore(const QString& path, const std::function<std::unique_ptr<QSettings>()>& open)
    : open_(open) {
    if (safeToRead(path))
        settings_ = open();
}

QtSettingsStore::~QtSettingsStore() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        ending_ = true;
    }
    wake_.notify_one();
    if (writer_.joinable())
        writer_.join();
}

// The writing thread: a QSettings of its own (distinct QSettings objects may share a file across
// threads), one file write for each burst of values.
void QtSettingsStore::writeInOrder() {
    const std::unique_ptr<QSettings> file = open_();
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return ending_ || !pending_.empty(); });
        if (pending_.empty())
            return;
        std::deque<std::pair<QString, QVariant>> burst;
        burst.swap(pending_);
        lock.unlock();
        // Judged at every write: the file may have become a link, or someone else's, since the launch.
        if (safeToWrite(file->fileName())) {
            for (const auto& [key, value] : burst)
                file->setValue(key, value);
            file->sync();
        }
        lock.lock();
    }
}

QString QtSettingsStore::location() const {
    return settings_ ? settings_->fileName() : QString();
}

bool QtSettingsStore::keepsValuesInMemory() const {
    return !settings_ || !safeToWrite(settings_->fileName());
}

QVariant QtSettingsStore::stored(const QString& key) const {
    if (const auto kept = session_.constFind(key); kept != session_.constEnd())
        return *kept;
    return settings_ ? settings_->value(key) : QVariant();
}

void QtSettingsStore::store(const QString& key, const QVariant& value) {
    session_.insert(key, value);
    if (!settings_)
        return; // a file that could not be read safely is never written either
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        pending_.emplace_back(key, value);
        if (!writer_.joinable())
            writer_ = std::thread([this] { writeInOrder(); });
    }
    wake_.notify_one();
}

bool QtSettingsStore::boolValue(const QString& key) const {
    const QVariant value = stored(key);
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    const QString text = value.toString().trimmed().toLower();
    // INI files hold text; only the spellings QSettings itself writes count.
    return text == QLatin1String("true") || text == QLatin1String("1");
}

double QtSettingsStore::doubleValue(const QString& key) const {
    bool ok = false;
    const double value = stored(key).toDouble(&ok);
    return ok && qIsFinite(value) ? value : 0.0;
}

QString QtSettingsStore::stringValue(const QString& key) const {
    const QVariant value = stored(key);
    // Text only: a number or a list (a damaged file, a profile with the wrong type) reads as absent.
    if (value.typeId() != QMetaType::QString && value.typeId() != QMetaType::QByteArray)
        return QString();
    return value.toString();
}

// A value that reads the same as what is stored is not written: writing rewrites the whole file, and
// drops whatever the user put there that QSettings does not keep (comments, lines it cannot read).
void QtSettingsStore::setBool(const QString& key, bool value) {
    if (boolValue(key) != value)
        store(key, value);
}

void QtSettingsStore::setDouble(const QString& key, double value) {
    if (doubleValue(key) != value)
        store(key, value);
}

} // namespace lq
