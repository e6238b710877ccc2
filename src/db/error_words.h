#pragma once

typedef struct pg_conn PGconn;
class QSqlDriver;

#include <QString>

#include "db/dialect.h"

class QSqlDriver;
class QSqlError;

namespace otherin::db {

// What went wrong in the database, in the terms a clerk can act on. Server
// errors are told apart by their SQLSTATE class, SQLite's by its result code.
enum class Failure {
    ConnectionLost,     // the connection broke during the work
    ServerUnreachable,  // no connection could be made
    LoginRefused,
    NoDatabase,
    PermissionDenied,
    Duplicate,   // a unique key
    RuleBroken,  // a check, not-null or foreign key
    Conflict,    // deadlock or serialization failure
    DiskFull,
    ServerResources,  // too many connections, out of memory
    ReadOnly,         // a read-only file, folder or server
    Locked,           // another program or clerk holds the lock
    Cancelled,        // a timeout or an administrator ended the statement
    Damaged,          // not a database file, or a damaged one
    FileUnusable,     // the file could not be opened, read or written
    BadValue,         // a value the column cannot take
    ServerFault,
    ModuleRule,  // a rule of the module's that the server keeps, told in its own words
    Other,
};

// The SQLSTATE of the module's rules kept by the server (a class of our own):
// their messages are already the module's words for the clerk.
inline constexpr char kModuleRuleState[] = "OI001";

// Where the failure happened and what the database said about it.
struct FailureReport {
    DialectKind kind = DialectKind::Sqlite;
    QString code;                   // SQLSTATE, or SQLite's extended result code as a number
    QString where;                  // the database file, or the server and database
    QString serverText;             // the database's own message
    bool connectionBroken = false;  // the server connection is no longer usable
    bool opening = false;           // the failure is that of making the connection
};

Failure classify(const FailureReport& report);

// The sentence a clerk is shown: what happened and what to do.
QString failureSentence(Failure failure, const FailureReport& report);

// The sentence, and the database's own text on a second line.
QString inClerksWords(const FailureReport& report);

// The prefix of the second line.
inline constexpr char16_t kDetailPrefix[] = u"详细信息：";

// A report of a failed statement or open, read from the driver: its kind, the
// file or server it works on and whether its connection still stands.
FailureReport reportOf(const QSqlError& error, const QSqlDriver* driver);

// A server connection as the client library last saw it, without asking the
// server: whether it stands, and the server process serving it (0 when not
// a server connection).
struct ServerLink {
    bool standing = false;
    int backendPid = 0;
};
ServerLink serverLink(const QSqlDriver* driver);

// The client library's connection under a server driver; null for others.
PGconn* serverHandle(const QSqlDriver* driver);

}  // namespace otherin::db
