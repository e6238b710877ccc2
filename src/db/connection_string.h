#pragma once

#include <QList>
#include <QString>
#include <utility>

#include "db/dialect.h"

namespace otherin::db {

struct ConnectionTarget {
    DialectKind kind = DialectKind::Sqlite;
    QString path;  // the database file for the embedded database
    // A database server: an empty host or user leaves the choice to the
    // client library's defaults (local socket, login name); a host starting
    // with '/' is the folder of the server's Unix socket.
    QString host;
    int port = -1;
    QString database;
    QString user;
    QString password;
    // Further client library options (sslmode=require, options=-c …), in
    // the order given.
    QList<std::pair<QString, QString>> options;

    // The server and database for messages, never the password.
    QString describe() const;
    // The connection string that parses back into this target.
    QString toConnectionString() const;
};

// Reads a connection string. Accepted: "" (the embedded database at its
// standard place), "sqlite:PATH" and
// "postgresql://[user[:password]@][host][:port]/dbname[?key=value&...]"
// (also "postgres://"); the query keys host and port override those of the
// authority, any other key is handed to the client library. Anything else
// raises DbError naming the accepted forms.
ConnectionTarget parseConnectionString(const QString& connectionString);

// The client library's options of a server connection, as the driver takes
// them: the connect timeout, the target's own options, each value quoted, and
// standard string rules (a backslash is an ordinary character in a quoted
// text) whatever the server's default is, merged into the one "options"
// value the library keeps. Raises DbError for an option it cannot pass on.
QString serverConnectOptions(const ConnectionTarget& target, int connectTimeoutSeconds);

// A value as the server's client library reads it in a connection string:
// between single quotes, the quote and the backslash escaped by a backslash.
QString libraryQuoted(const QString& value);

// The value of a --db option: a connection string, or a bare path of an
// embedded database file.
QString connectionStringFromArgument(const QString& value);

// Where the embedded database lives when the connection string is empty.
QString embeddedDatabasePath();

}  // namespace otherin::db
