#include "entry/settings_store.h"

#include <fcntl.h>
#include <unistd.h>
#include <QDir>
#include <QFileInfo>

#include <QFile>
#include <optional>

namespace otherin::entry {

SettingsStore::SettingsStore()
    : settings_(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                            QString::fromLatin1(kApplication),
                                            QString::fromLatin1(kApplication))) {}

SettingsStore::SettingsStore(const QString& iniFile)
    : settings_(std::make_unique<QSettings>(iniFile, QSettings::IniFormat)) {}

namespace {

// The text after '=' of the last line `key=...` in `[section]` of an INI
// file, or none.
std::optional<QString> lineText(const QString& fileName, const QString& section,
                                const QString& key) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QString header = QLatin1Char('[') + section + QLatin1Char(']');
    std::optional<QString> found;
    bool inSection = false;
    for (const QString& raw : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inSection = line == header;
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (inSection && eq > 0 && line.left(eq).trimmed() == key) {
            found = line.mid(eq + 1).trimmed();
        }
    }
    return found;
}

}  // namespace

QString SettingsStore::value(const QString& section, const QString& key,
                             const QString& fallback) const {
    const QVariant v = settings_->value(section + QLatin1Char('/') + key);
    if (!v.isValid()) return fallback;
    // An unquoted comma makes QSettings read a list ("Mendaxo, 进销存" would
    // become two texts); the suite's main program means the text as written.
    if (v.typeId() == QMetaType::QStringList) {
        return lineText(settings_->fileName(), section, key)
            .value_or(v.toStringList().join(QLatin1Char(',')));
    }
    return v.toString();
}

void SettingsStore::keepPrivate() {
    const QString file = settings_->fileName();
    constexpr QFileDevice::Permissions kPrivate = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    if (!QFile::exists(file)) {
        QDir().mkpath(QFileInfo(file).absolutePath());
        const int fd = ::open(QFile::encodeName(file).constData(), O_CREAT | O_WRONLY, 0600);
        if (fd >= 0) ::close(fd);
        return;
    }
    if (QFile::permissions(file) & ~(kPrivate | QFileDevice::ReadUser | QFileDevice::WriteUser))
        QFile::setPermissions(file, kPrivate);
}

void SettingsStore::setValue(const QString& section, const QString& key, const QString& value) {
    const QString path = section + QLatin1Char('/') + key;
    // The same text again changes nothing: the file is not written for it
    // (a clerk's header is remembered at every save).
    const QVariant stored = settings_->value(path);
    if (stored.typeId() == QMetaType::QString && stored.toString() == value) return;
    keepPrivate();
    settings_->setValue(path, value);
}

void SettingsStore::remove(const QString& section, const QString& key) {
    settings_->remove(section + QLatin1Char('/') + key);
}

void SettingsStore::sync() {
    settings_->sync();
    if (QFile::exists(settings_->fileName())) keepPrivate();
}

std::unique_ptr<SettingsStore> SettingsStore::open(const QString& iniFile) {
    return iniFile.isEmpty() ? std::make_unique<SettingsStore>()
                             : std::make_unique<SettingsStore>(iniFile);
}

}  // namespace otherin::entry
