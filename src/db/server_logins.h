#pragma once

#include <QString>
#include <vector>

namespace otherin::db {

class Connection;

// The clerks of a server database: each one a login role of its own in the
// clerks' (or administrators') group, and the tblUser row naming it, changed
// together in one transaction by an administrator (`otherin user …`).
// Passwords are turned into the server's SCRAM verifier here, on the client,
// so the clear password never reaches the server or its log. Each raises
// DbError with the server's refusal (not an administrator, no such clerk).
struct ClerkLogin {
    QString login;
    QString name;
    qlonglong userId = 0;
    bool administrator = false;
    bool canLogIn = false;
};

qlonglong addClerk(Connection& connection, const QString& login, const QString& name,
                   const QString& password, bool administrator);
// Gives the existing user `userId` a login role of their own; the password
// the module kept for them goes (the server checks the login's).
void linkClerk(Connection& connection, qlonglong userId, const QString& login,
               const QString& password, bool administrator);
void setClerkPassword(Connection& connection, const QString& login, const QString& password);
// The clerk can no longer log in, and their open connections are ended.
void disableClerk(Connection& connection, const QString& login);
std::vector<ClerkLogin> listClerks(Connection& connection);

// A server database every clerk reached through one shared login (the owner
// of its tables, as earlier versions set up), moved to logins of their own:
// the roles are set up with `prefix` (the owner role takes the tables), each
// user without a login gets one (<prefix>_<user number>, or <prefix>_user<id>),
// in the administrators' group when tblUser says so, with a password nobody
// knows until the administrator sets one, and the shared login can no longer
// log in, its open connections ended. `sharedLogin` empty: the tables' owner.
// Run by the server's superuser or another login with CREATEROLE, never by
// the shared login itself. Answers the shared login and the new logins.
struct SharedLoginMove {
    QString sharedLogin;
    std::vector<ClerkLogin> made;
};
SharedLoginMove moveFromSharedLogin(Connection& connection, const QString& prefix,
                                    const QString& sharedLogin = QString());

}  // namespace otherin::db
