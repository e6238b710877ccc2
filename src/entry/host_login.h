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
// users, check a user and password, and write the login settings the
// component reads at start-up.
std::vector<UserRecord> listUsers(db::Connection& connection);
std::optional<UserRecord> checkLogin(db::Connection& connection, qlonglong userId,
                                     const QString& password);
void writeLoginSettings(SettingsStore& settings, const UserRecord& user,
                        const QString& connectionString, const QString& appPath);

}  // namespace otherin::entry
