#pragma once

#include <QMetaType>
#include <QString>
#include <QStringList>

namespace otherin::app {

// What a copy of the embedded database came to.
struct FileBackup {
    bool made = false;
    QString path;      // the checked copy (made), or the one removed
    QString problem;   // why nothing was kept, in the user's words
    qint64 bytes = 0;
    QStringList removed;  // older copies let go beyond the number kept
};

// A consistent copy of the database file `database` in `folder`, taken with
// the engine's online backup in one step while other programs keep working,
// private to the user (mode 0600), named by date and time, and checked (the
// engine's integrity check, then the ledger against the bills as `otherin
// verify` does) before it gets its name; a copy that failed or did not pass
// is removed. The newest `keep` copies stay.
FileBackup backupDatabaseFile(const QString& database, const QString& folder, int keep);

// Empty when the file is a sound database of ours: the engine's integrity
// check passes and the ledger agrees with the bills; else what is wrong.
QString checkDatabaseFile(const QString& path);

// What a restore did, for the user.
struct FileRestore {
    bool restored = false;
    QString problem;
    QStringList told;  // each step done, in order
};

// Puts the copy `backup` in the place of `database`, only while no program
// has the database open. The copy is checked first (as a backup is); the
// file it replaces, and that file's -wal and -shm, are kept aside beside it
// under one dated name, so a stale log is never played into the restored
// file; the restored file is checked again.
FileRestore restoreDatabaseFile(const QString& backup, const QString& database);

}  // namespace otherin::app

Q_DECLARE_METATYPE(otherin::app::FileBackup)
