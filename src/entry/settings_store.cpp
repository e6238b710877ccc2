#include "entry/settings_store.h"

namespace otherin::entry {

SettingsStore::SettingsStore()
    : settings_(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                            QString::fromLatin1(kApplication),
                                            QString::fromLatin1(kApplication))) {}

SettingsStore::SettingsStore(const QString& iniFile)
    : settings_(std::make_unique<QSettings>(iniFile, QSettings::IniFormat)) {}

QString SettingsStore::value(const QString& section, const QString& key,
                             const QString& fallback) const {
    const QVariant v = settings_->value(section + QLatin1Char('/') + key);
    return v.isValid() ? v.toString() : fallback;
}

void SettingsStore::setValue(const QString& section, const QString& key, const QString& value) {
    settings_->setValue(section + QLatin1Char('/') + key, value);
}

void SettingsStore::sync() {
    settings_->sync();
}

}  // namespace otherin::entry
