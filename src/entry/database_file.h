#pragma once

#include <QString>

namespace otherin::db {
class Connection;
}

namespace otherin::entry {

// Where a database may come into being. A mistyped path must not silently
// turn into a fresh demo database with a password-less administrator, so a
// new file is made only at the embedded database's standard place on first
// run, or when the administrator asks for one (`otherin init`).

// Opens the host's database and brings its schema to the current version.
// The embedded database at `defaultPath` is created with the demo data when
// it does not exist yet (or holds no tables); any other file must exist and
// hold our tables, else db::DbError names it; so must a server database.
void openHostDatabase(db::Connection& connection, const QString& connectionString,
                      const QString& defaultPath);

// Raises db::DbError naming the file when the connection string points at an
// embedded database file that does not exist: opening it would create it.
void requireDatabaseFile(const QString& connectionString);

// `otherin init`: creates the schema in `database` (a file path, or the
// connection string of an existing, empty server database), and the demo
// data when `demo` is set. An existing database of ours is only brought to
// the current version. Answers what was done, for the terminal.
QString initDatabase(const QString& database, bool demo, const QString& rolePrefix = QString());

// Creates an empty file (and its folder) that only its owner may read and
// write. The database engine gives its -wal and -shm files the mode of the
// database file, so they stay private too. Raises db::DbError when the file
// exists or cannot be made.
void createPrivateFile(const QString& path);

}  // namespace otherin::entry
