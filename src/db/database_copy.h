#pragma once

#include <QString>

namespace otherin::db {

class Connection;

struct CopyReport {
    int tables = 0;
    qint64 rows = 0;
};

// Copies every table of our schema from one database into another, e.g. an
// embedded file into a new server database. The target gets the schema if it
// has none, must be at the source's schema version, and must hold no rows in
// our tables yet (its version table aside): a copy never merges. The copy is
// one transaction on the target; the source is only read.
CopyReport copyDatabase(Connection& from, Connection& to);

}  // namespace otherin::db
