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
// Gives the existing user `userId` a login role of their own.
void linkClerk(Connection& connection, qlonglong userId, const QString& login,
               const QString& password, bool administrator);
void setClerkPassword(Connection& connection, const QString& login, const QString& password);
// The clerk can no longer log in, and their open connections are ended.
void disableClerk(Connection& connection, const QString& login);
std::vector<ClerkLogin> listClerks(Connection& connection);

}  // namespace otherin::db
