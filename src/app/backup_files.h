#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace otherin::app {

// Copies of one database in one folder, named by the moment they were taken:
// "<stem>-YYYYMMDD-HHMMSS<suffix>" (otherin-20261207-093015.sqlite). The names
// sort as the moments do.
QString backupFileName(const QString& stem, const QString& suffix, const QDateTime& at);

// The copies of `stem` and `suffix` in `folder`, oldest first.
QStringList backupsIn(const QString& folder, const QString& stem, const QString& suffix);

// Removes all but the newest `keep` copies; answers the names removed.
QStringList keepNewest(const QString& folder, const QString& stem, const QString& suffix, int keep);

// Makes the folder (and its parents) when missing; raises db::DbError naming
// it when it cannot be made or is not a folder.
void prepareBackupFolder(const QString& folder);

// How many copies are kept when nobody says: a week of daily copies.
constexpr int kDefaultKeep = 7;

}  // namespace otherin::app
