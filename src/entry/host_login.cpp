#include "entry/host_login.h"

#include "db/connection.h"
#include "entry/settings_store.h"

namespace otherin::entry {

namespace {
const QString kUserColumns = QStringLiteral(
    "select fuserid,coalesce(fnumber,''),coalesce(fname,''),coalesce(fIsAdmin,0),"
    "coalesce(fUserType,1),coalesce(fpassword,'') from tblUser");

UserRecord readUser(const db::Query& q) {
    return {q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toString(),
            q.value(3).toInt(), q.value(4).toInt()};
}
}  // namespace

std::vector<UserRecord> listUsers(db::Connection& connection) {
    db::Query q = connection.prepare(kUserColumns + QStringLiteral(" order by fuserid"));
    q.exec();
    std::vector<UserRecord> users;
    while (q.next()) users.push_back(readUser(q));
    return users;
}

std::optional<UserRecord> checkLogin(db::Connection& connection, qlonglong userId,
                                     const QString& password) {
    db::Query q = connection.prepare(kUserColumns + QStringLiteral(" where fuserid=?"));
    q.bind(userId).exec();
    if (!q.next() || q.value(5).toString() != password) return std::nullopt;
    return readUser(q);
}

void writeLoginSettings(SettingsStore& settings, const UserRecord& user,
                        const QString& connectionString, const QString& appPath) {
    const QString login = QStringLiteral("SystemLogin");
    settings.setValue(login, QStringLiteral("gLoginUserId"), QString::number(user.id));
    settings.setValue(login, QStringLiteral("gLoginUserName"), user.name);
    settings.setValue(login, QStringLiteral("IsAdmin"), QString::number(user.isAdmin));
    settings.setValue(login, QStringLiteral("UserType"), QString::number(user.userType));
    settings.setValue(QStringLiteral("DBOperation"), QStringLiteral("DBConnectionString"),
                      connectionString);
    settings.setValue(QStringLiteral("SystemSetup"), QStringLiteral("gAppPath"), appPath);
    settings.sync();
}

}  // namespace otherin::entry
