#pragma once

#include <QString>
#include <optional>

namespace otherin::db {

class Connection;

// The roles of a module database on a PostgreSQL server. Role names are the
// server's, shared by all its databases, so each module database names its
// roles with a prefix of its own, kept in the database (tblServerRoles): a
// copy, a renamed database or a restored dump still finds its roles.
//   <prefix>_owner  owns every table, view, sequence and function; cannot log in
//   <prefix>_clerk  the clerks' group: reads everything, writes the bills and
//                   what the windows write, but not the users or the logins
//   <prefix>_admin  the administrators' group: a clerk who may also change
//                   users and logins
struct ServerRoles {
    QString prefix;
    QString owner() const { return prefix + QStringLiteral("_owner"); }
    QString clerk() const { return prefix + QStringLiteral("_clerk"); }
    QString admin() const { return prefix + QStringLiteral("_admin"); }
    // May create roles; owns the one function that makes clerks' logins.
    QString logins() const { return prefix + QStringLiteral("_logins"); }
};

// A prefix a role name can start with: lower-case letters, digits and '_',
// starting with a letter, at most 40 characters; none otherwise.
std::optional<QString> rolePrefix(const QString& wanted);
// The prefix a database named `databaseName` gets by default: its name in
// lower case, every other character made '_'.
QString defaultRolePrefix(const QString& databaseName);

// True when the server has a role named `role`.
bool roleExists(Connection& connection, const QString& role);
// True when the login of the connection (session_user) is a member of `role`.
bool loginIsMemberOf(Connection& connection, const QString& role);
// `name` quoted as the server quotes a name in a statement.
QString quotedName(Connection& connection, const QString& name);

// The roles recorded in the database; none on SQLite or before they were set up.
std::optional<ServerRoles> serverRoles(Connection& connection);

// Sets the roles up (the administrator's `otherin init`, run by a role that
// may create roles): creates the three roles where missing, records the
// prefix (a database with roles keeps its own prefix: `prefix` only serves a
// database without), hands the database's objects to the owner role, makes
// the connecting role a member of the owner and administrator roles, and
// grants the groups their rights, for objects made by later upgrades too.
// Runs in one transaction; raises DbError (also on SQLite).
ServerRoles setUpServerRoles(Connection& connection, const QString& prefix);

// The change history is read by clerks and administrators and written by
// the owner's triggers alone.
void protectHistory(Connection& connection, const ServerRoles& roles);

}  // namespace otherin::db
