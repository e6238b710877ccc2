#pragma once

#include <QString>
#include <QStringList>

namespace otherin::db {

class Connection;

// The embedded database is created by the program itself: a versioned schema
// script, then (for the demo database) readable demo data.
namespace schema {

constexpr int kVersion = 1;

// Splits a script into statements: each ends with ';' as the last character of
// a line; whole-line "--" comments are dropped.
QStringList splitScript(const QString& script);

// Runs a script in one transaction.
void runScript(Connection& connection, const QString& script);

// Creates the tables, view and indexes when the database has none yet.
// Answers true when it created them.
bool ensureSchema(Connection& connection);

// Loads the demo data (base data, layouts, users, periods).
void installDemoData(Connection& connection);

// The scripts shipped with the program.
QString schemaScript();
QString demoDataScript();

}  // namespace schema
}  // namespace otherin::db
