#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

namespace otherin::db {

class Connection;

// The embedded database is created by the program itself: a versioned schema
// script, then (for the demo database) readable demo data.
namespace schema {

// The version this program writes; the base script is version 1 and each
// step of schema_upgrades.cpp adds one.
constexpr int kVersion = 19;

// Splits a script into statements: each ends with ';' as the last character of
// a line; whole-line "--" comments are dropped.
QStringList splitScript(const QString& script);

// Runs a script in one transaction.
void runScript(Connection& connection, const QString& script);

// The server's schema the module's tables are in, quoted as a name for a
// statement (a server's functions pin their search path to it).
QString serverSchema(Connection& connection);

// What a database that ensureSchema() creates is filled with.
enum class Contents { Empty, Demo };

// Creates the tables, view and indexes when the database has none yet (with
// the demo data when `contents` asks for it), then brings it to kVersion
// through the upgrade steps. Answers true when it created them. A database
// newer than the program raises DbError.
//
// Programs may start on one new or old database at the same moment: all of
// the work is one write transaction under the schema lock
// (Dialect::schemaLock), and what the database holds is read once the lock is
// held, so a program that waited finds the work done and does none of it. A
// database already at kVersion is left without taking the lock.
// Demo data follows `today` (see installDemoData).
bool ensureSchema(Connection& connection, Contents contents = Contents::Empty,
                  const QDate& today = QDate::currentDate());

// The version recorded in the database.
int currentVersion(Connection& connection);

// Loads the demo data (base data, layouts, users) with the accounting
// periods of calendar months from the year before `today` to the year after,
// and `today`'s year and period as the current ones: a demo made on any day
// shows a bill dated that day in its default journal.
void installDemoData(Connection& connection, const QDate& today);

// The scripts shipped with the program.
QString schemaScript();
QString demoDataScript();
// The print template of the other stock-in bill (bill type 7) the demo is
// made with, and the one it was made with up to schema version 6.
QString billPrintTemplate();
QString firstBillPrintTemplate();

}  // namespace schema
}  // namespace otherin::db
