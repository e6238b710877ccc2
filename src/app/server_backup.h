#pragma once

#include <QString>
#include <QTextStream>

#include "db/connection_string.h"

namespace otherin::app {

// A server database dumped into `folder` with the server's dump tool (custom
// format), checked by listing it with the restore tool; the newest `keep`
// dumps stay. Answers the exit status (0 made and checked, 1 not; no partial
// dump is left).
int backupServer(const db::ConnectionTarget& target, const QString& folder, int keep,
                 QTextStream& out, QTextStream& err);

// A dump restored into `target`, which must be an empty database; the ledger
// is checked after, as `otherin verify` does.
int restoreServer(const QString& from, const db::ConnectionTarget& target, QTextStream& out,
                  QTextStream& err);

}  // namespace otherin::app
