#pragma once

#include <QString>

#include "db/dialect.h"

namespace otherin::db {

struct ConnectionTarget {
    DialectKind kind = DialectKind::Sqlite;
    QString path;  // the database file for the embedded database
};

// Reads a connection string. Accepted: "" (the embedded database at its
// standard place) and "sqlite:PATH". Anything else raises DbError naming the
// accepted forms.
ConnectionTarget parseConnectionString(const QString& connectionString);

// Where the embedded database lives when the connection string is empty.
QString embeddedDatabasePath();

}  // namespace otherin::db
