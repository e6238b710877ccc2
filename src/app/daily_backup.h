#pragma once

#include <QDate>
#include <QObject>
#include <QString>
#include <memory>
#include <thread>

#include "app/sqlite_backup.h"

namespace otherin::entry {
class SettingsStore;
}

namespace otherin::app {

// Section "Backup" of the settings: Automatic (1, the default: a copy of the
// embedded database at the first start of each day), Folder (where copies
// go; by default "backups" beside the embedded database) and Keep (how many
// copies stay).
struct BackupSettings {
    bool automatic = true;
    QString folder;
    int keep = 0;
};
BackupSettings readBackupSettings(const entry::SettingsStore& settings);
QString defaultBackupFolder();

// True when `folder` holds no copy taken on `day`.
bool backupDue(const QString& folder, const QDate& day);

// The day's copy of the embedded database, taken in a thread of its own with
// its own connections while the clerk works on.
class DailyBackup : public QObject {
    Q_OBJECT
  public:
    DailyBackup() = default;
    ~DailyBackup() override;
    // Starts the copy when the settings ask for one and none was taken
    // today; false when nothing was started.
    bool start(const QString& database, const BackupSettings& settings);
    // Waits for a copy under way to end (at the program's end).
    void wait();

  signals:
    // In the thread that called start(), once the copy has ended.
    void finished(const otherin::app::FileBackup& result);

  private:
    std::thread worker_;
};

}  // namespace otherin::app
