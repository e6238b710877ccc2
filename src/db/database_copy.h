#pragma once

#include <QString>
#include <functional>

namespace otherin::db {

class Connection;

struct CopyReport {
    int tables = 0;
    qint64 rows = 0;
};

// Told now and then while rows are copied: the rows copied so far of all the
// source holds.
using CopyProgress = std::function<void(qint64 copied, qint64 total)>;

// Copies every table of our schema from one database into another, e.g. an
// embedded file into a new server database. The target gets the schema if it
// has none, must be at the source's schema version, and must hold no rows in
// our tables yet (its version table aside): a copy never merges. The copy is
// one transaction on the target; the source is only read. Before the commit
// every table's row count is compared with the source's; a difference raises
// DbError naming the table and nothing is kept.
// Tables that belong to the database they are in and are neither copied nor
// compared: those of the running programs (announcements of bill writes, bills
// open in an editor; a copy writes its own announcements as its bills arrive),
// a server's record of its roles, and its transactions whose history is still
// to be finished (empty at rest).
bool belongsToItsDatabase(const QString& table);

CopyReport copyDatabase(Connection& from, Connection& to, const CopyProgress& progress = {});

}  // namespace otherin::db
