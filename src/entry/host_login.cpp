#include "entry/host_login.h"

#include "db/server_roles.h"

#include "db/connection.h"
#include "db/db_error.h"
#include "db/password_hash.h"
#include "entry/settings_store.h"

namespace otherin::entry {

namespace {
// What anyone may read of a user; the password columns only where a
// password is checked (on a server clerks may not read them).
const QString kUserColumns = QStringLiteral(
    "select fuserid,coalesce(fnumber,''),coalesce(fname,''),coalesce(fIsAdmin,0),"
    "coalesce(fUserType,1)");
const QString kUserTable = QStringLiteral(" from tblUser");

UserRecord readUser(const db::Query& q) {
    return {q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toString(),
            q.value(3).toInt(), q.value(4).toInt()};
}

struct StoredUser {
    UserRecord user;
    QString hash;
    QString text;  // a password written before hashes were kept
};

std::optional<StoredUser> readStoredUser(db::Connection& connection, qlonglong userId) {
    db::Query q = connection.prepare(
        kUserColumns + QStringLiteral(",coalesce(fpasswordhash,''),coalesce(fpassword,'')") +
        kUserTable + QStringLiteral(" where fuserid=?"));
    q.bind(userId).exec();
    if (!q.next()) return std::nullopt;
    return StoredUser{readUser(q), q.value(5).toString(), q.value(6).toString()};
}

}  // namespace

std::vector<UserRecord> listUsers(db::Connection& connection) {
    db::Query q =
        connection.prepare(kUserColumns + kUserTable + QStringLiteral(" order by fuserid"));
    q.exec();
    std::vector<UserRecord> users;
    while (q.next()) users.push_back(readUser(q));
    return users;
}

std::optional<UserRecord> findUser(db::Connection& connection, qlonglong userId) {
    db::Query q =
        connection.prepare(kUserColumns + kUserTable + QStringLiteral(" where fuserid=?"));
    q.bind(userId).exec();
    if (!q.next()) return std::nullopt;
    return readUser(q);
}

std::optional<UserRecord> checkLogin(db::Connection& connection, qlonglong userId,
                                     const QString& password) {
    const auto stored = readStoredUser(connection, userId);
    if (!stored) return std::nullopt;
    if (!stored->hash.isEmpty()) {
        if (!db::verifyPassword(stored->hash, password)) return std::nullopt;
    } else if (!stored->text.isEmpty()) {
        if (stored->text != password) return std::nullopt;
        setPassword(connection, userId, password);
    } else if (!password.isEmpty()) {
        return std::nullopt;
    }
    return stored->user;
}

void setPassword(db::Connection& connection, qlonglong userId, const QString& password) {
    const QString hash = password.isEmpty() ? QString() : db::hashPassword(password);
    if (connection.exec(
            QStringLiteral("update tblUser set fpasswordhash=?,fpassword='' where fuserid=?"),
            {hash, userId}) == 0) {
        throw db::DbError(QStringLiteral("没有编号为 %1 的用户").arg(userId));
    }
}

void writeLoginSettings(SettingsStore& settings, const UserRecord& user, const QString& token,
                        const QString& connectionString, const QString& appPath) {
    const QString login = QStringLiteral("SystemLogin");
    settings.setValue(login, QStringLiteral("gLoginUserId"), QString::number(user.id));
    settings.setValue(login, QStringLiteral("gLoginUserName"), user.name);
    settings.setValue(login, QStringLiteral("gLoginToken"), token);
    settings.setValue(login, QStringLiteral("IsAdmin"), QString::number(user.isAdmin));
    settings.setValue(login, QStringLiteral("UserType"), QString::number(user.userType));
    settings.setValue(QStringLiteral("DBOperation"), QStringLiteral("DBConnectionString"),
                      connectionString);
    settings.setValue(QStringLiteral("SystemSetup"), QStringLiteral("gAppPath"), appPath);
    settings.sync();
}

std::optional<UserRecord> serverLoginUser(db::Connection& connection) {
    const auto roles = db::serverRoles(connection);
    if (!roles) return std::nullopt;
    db::Query q = connection.prepare(QStringLiteral(
        "select fuserid, coalesce(fnumber, ''), coalesce(fname, ''), "
        "pg_has_role(session_user, ?, 'member'), coalesce(fUserType, 1) from tblUser "
        "where frolename = session_user"));
    q.bind(roles->admin()).exec();
    if (!q.next()) {
        // Not a clerk: the owner's members (the administrator who set the
        // database up, the server's superuser) log in as the module's users;
        // any other login is nobody here.
        if (db::loginIsMemberOf(connection, roles->owner())) return std::nullopt;
        throw db::DbError(
            QStringLiteral(
                "服务器登录 %1 没有对应的用户：请管理员用 otherin user add 为其建立用户。")
                .arg(connection.scalar(QStringLiteral("select session_user")).toString()));
    }
    return UserRecord{q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toString(),
                      q.value(3).toBool() ? 1 : 0, q.value(4).toInt()};
}

}  // namespace otherin::entry
