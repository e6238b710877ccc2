#pragma once

#include <QSqlError>

class QSqlDriver;
#include <QString>

namespace otherin::db {

// The database's own message of a failed statement, as the user is shown it.
// The server's text carries its severity, the statement's position and the
// error code around the message; only the message itself is kept.
QString databaseMessage(const QSqlError& error);

// The failure as the one exception type, with the server's SQLSTATE: its
// message says in the clerk's words what happened and what to do, and gives
// the database's own text on a second line.
[[noreturn]] void raise(const QSqlError& error, const QSqlDriver* driver);

}  // namespace otherin::db
