#pragma once

#include <QString>
#include <QTextStream>

namespace otherin::app {

// `otherin backup [--db DB] [--to DIR] [--keep N]`: a checked copy of the
// database in `folder`, named by date and time; the newest `keep` copies stay.
// An embedded file is copied with the database's online backup while other
// programs keep working; a server database is dumped with the server's own
// tool. Answers the exit status: 0 when the copy was made and checked, 1
// otherwise (the reason on `err`; no partial copy is left).
int runBackup(const QString& connectionString, const QString& folder, int keep, QTextStream& out,
              QTextStream& err);

// `otherin restore --from BACKUP [--db DB]`: puts a copy back. An embedded
// file is replaced only while no program has it open, and what it replaced is
// kept aside; a server dump goes into an empty database only. Both are checked
// after. Answers the exit status as runBackup does.
int runRestore(const QString& from, const QString& connectionString, QTextStream& out,
               QTextStream& err);

}  // namespace otherin::app
