#include "app/daily_backup.h"

#include <QDir>
#include <QFileInfo>
#include <QMetaObject>

#include "app/backup_files.h"
#include "db/connection_string.h"
#include "entry/settings_store.h"

namespace otherin::app {

QString defaultBackupFolder() {
    return QFileInfo(db::embeddedDatabasePath()).dir().filePath(QStringLiteral("backups"));
}

BackupSettings readBackupSettings(const entry::SettingsStore& settings) {
    const QString section = QStringLiteral("Backup");
    BackupSettings out;
    out.automatic =
        settings.value(section, QStringLiteral("Automatic"), QStringLiteral("1")).trimmed() !=
        QLatin1String("0");
    out.folder = settings.value(section, QStringLiteral("Folder"), QString()).trimmed();
    if (out.folder.isEmpty()) out.folder = defaultBackupFolder();
    bool ok = false;
    out.keep = settings.value(section, QStringLiteral("Keep"), QString()).toInt(&ok);
    if (!ok || out.keep < 1) out.keep = kDefaultKeep;
    return out;
}

bool backupDue(const QString& folder, const QDate& day) {
    const QString stamp = day.toString(QStringLiteral("-yyyyMMdd-"));
    for (const QString& name :
         backupsIn(folder, QStringLiteral("otherin"), QStringLiteral(".sqlite"))) {
        if (name.contains(stamp)) return false;
    }
    return true;
}

DailyBackup::~DailyBackup() {
    wait();
}

bool DailyBackup::start(const QString& database, const BackupSettings& settings) {
    if (!settings.automatic || worker_.joinable() ||
        !backupDue(settings.folder, QDate::currentDate()))
        return false;
    // The destructor waits for the thread, so the object outlives it; the
    // result is told in the starting thread's event loop.
    worker_ = std::thread([this, database, settings] {
        const FileBackup result = backupDatabaseFile(database, settings.folder, settings.keep);
        QMetaObject::invokeMethod(
            this, [this, result] { emit finished(result); }, Qt::QueuedConnection);
    });
    return true;
}

void DailyBackup::wait() {
    if (worker_.joinable()) worker_.join();
}

}  // namespace otherin::app
