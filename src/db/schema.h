#pragma once

#include <QString>
#include <QStringList>

namespace otherin::db {

class Connection;

// The embedded database is created by the program itself: a versioned schema
// script, then (for the demo database) readable demo data.
namespace schema {

// The version this program writes; the base script is version 1 and each
// step of schema_upgrades.cpp adds one.
constexpr int kVersion = 5;

// Splits a script into statements: each ends with ';' as the last character of
// a line; whole-line "--" comments are dropped.
QStringList splitScript(const QString& script);

// Runs a script in one transaction.
void runScript(Connection& connection, const QString& script);

// Creates the tables, view and indexes when the database has none yet, then
// brings it to kVersion through the upgrade steps. Answers true when it
// created them. A database newer than the program raises DbError.
bool ensureSchema(Connection& connection);

// The version recorded in the database.
int currentVersion(Connection& connection);

// Loads the demo data (base data, layouts, users, periods).
void installDemoData(Connection& connection);

// The scripts shipped with the program.
QString schemaScript();
QString demoDataScript();

}  // namespace schema
}  // namespace otherin::db
