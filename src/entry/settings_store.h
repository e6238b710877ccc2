#pragma once

#include <QSettings>
#include <QString>
#include <memory>

namespace otherin::entry {

// The per-user settings the suite's main program writes at login: application
// "MendaxoStock2007", sections "SystemSetup", "SystemLogin", "DBOperation".
// By default it is the user's own store; the host and tests can point it at
// a file of their own.
class SettingsStore {
  public:
    SettingsStore();
    explicit SettingsStore(const QString& iniFile);

    // Answers `fallback` when the key is absent. A value is the text as
    // written, commas included.
    QString value(const QString& section, const QString& key, const QString& fallback) const;
    // Writes keep the file private to the user (mode 0600): it is created so
    // before its first line is written, and a file found readable by others
    // is made private.
    void setValue(const QString& section, const QString& key, const QString& value);
    void remove(const QString& section, const QString& key);
    void sync();
    QString fileName() const { return settings_->fileName(); }

    static constexpr const char* kApplication = "MendaxoStock2007";

    // The store in `iniFile`, or the user's own when it is empty.
    static std::unique_ptr<SettingsStore> open(const QString& iniFile);

  private:
    void keepPrivate();

    std::unique_ptr<QSettings> settings_;
};

}  // namespace otherin::entry
