#pragma once

#include <QString>
#include <optional>
#include <vector>

namespace otherin::db {
class Connection;
}

namespace otherin::entry {

class SettingsStore;

struct UserRecord {
    qlonglong id = 0;
    QString number;
    QString name;
    int isAdmin = 0;
    int userType = 1;
};

// What the suite's main program does at login, for the host program: list the
// users, check a user and password, record the login and write the login
// settings the component reads at start-up.
std::vector<UserRecord> listUsers(db::Connection& connection);
std::optional<UserRecord> findUser(db::Connection& connection, qlonglong userId);

// On a server whose roles are set up, the user whose login role this
// connection is (session_user, tblUser.frolename), an administrator when the
// role is in the administrators' group: the server has checked the password,
// and nothing on the clerk's PC can change who they are. None elsewhere, and
// for a member of the owner role (the administrator's own login, the
// superuser), who logs in as one of the module's users. Raises DbError for
// any other login: it is no user of this database.
std::optional<UserRecord> serverLoginUser(db::Connection& connection);

// The user when `password` is theirs. A user without a stored password takes
// the empty one. A password still stored as text is accepted once more and
// replaced by its hash.
std::optional<UserRecord> checkLogin(db::Connection& connection, qlonglong userId,
                                     const QString& password);

// Stores the hash of `password` for the user; raises db::DbError when there
// is no such user.
void setPassword(db::Connection& connection, qlonglong userId, const QString& password);

// Writes the login settings, `token` being the login session's
// (beginLoginSession). The component takes the user's rights from the
// database; IsAdmin and UserType are written for the suite's other programs.
void writeLoginSettings(SettingsStore& settings, const UserRecord& user, const QString& token,
                        const QString& connectionString, const QString& appPath);

}  // namespace otherin::entry
