#pragma once

#include <QSqlError>
#include <QString>

namespace otherin::db {

// The database's own message of a failed statement, as the user is shown it.
// The server's text carries its severity, the statement's position and the
// error code around the message; only the message itself is kept.
QString databaseMessage(const QSqlError& error);

// The failure as the one exception type, with the server's SQLSTATE.
class DbError;
[[noreturn]] void raise(const QSqlError& error);

}  // namespace otherin::db
