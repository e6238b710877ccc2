#include "entry/database_file.h"

#include "db/server_logins.h"
#include "db/server_roles.h"

#include <tuple>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "db/connection.h"
#include "db/connection_string.h"
#include "db/db_error.h"
#include "db/schema.h"

namespace otherin::entry {

namespace {

QString initHint(const QString& path) {
    return QStringLiteral("新建数据库请用: otherin init --db %1 [--demo]").arg(path);
}

bool samePath(const QString& a, const QString& b) {
    return QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath();
}

bool hasOurTables(db::Connection& connection) {
    return connection.tableExists(QStringLiteral("schema_version"));
}

// Two programs started together may both find the file missing; the one
// that comes second uses the file the first made.
void createMissingFile(const QString& path) {
    if (QFileInfo::exists(path)) return;
    try {
        createPrivateFile(path);
    } catch (const db::DbError&) {
        if (!QFileInfo(path).isFile()) throw;
    }
}

}  // namespace

void createPrivateFile(const QString& path) {
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath())) {
        throw db::DbError(QStringLiteral("无法创建数据库目录 %1").arg(info.absolutePath()));
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                   QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        throw db::DbError(
            QStringLiteral("无法创建数据库文件 %1: %2").arg(path, file.errorString()));
    }
}

void requireDatabaseFile(const QString& connectionString) {
    const db::ConnectionTarget target = db::parseConnectionString(connectionString);
    if (target.kind == db::DialectKind::Sqlite && !QFileInfo(target.path).isFile()) {
        throw db::DbError(QStringLiteral("数据库文件 %1 不存在").arg(target.path));
    }
}

void openHostDatabase(db::Connection& connection, const QString& connectionString,
                      const QString& defaultPath) {
    const db::ConnectionTarget target = db::parseConnectionString(connectionString);
    if (target.kind != db::DialectKind::Sqlite) {
        // A server database is made by its administrator; one without our
        // tables is prepared on purpose, never on the first login.
        connection.open(connectionString);
        if (!hasOurTables(connection)) {
            throw db::DbError(QStringLiteral("数据库 %1 中没有其它入库单的表。\n%2")
                                  .arg(target.describe(), initHint(QStringLiteral("URL"))));
        }
        db::schema::ensureSchema(connection);
        return;
    }
    if (samePath(target.path, defaultPath)) {
        // First run, or a first run cut short before the schema was written.
        createMissingFile(target.path);
        connection.open(connectionString);
        db::schema::ensureSchema(connection, db::schema::Contents::Demo);
        return;
    }
    if (!QFileInfo::exists(target.path)) {
        throw db::DbError(
            QStringLiteral("数据库文件 %1 不存在。\n%2").arg(target.path, initHint(target.path)));
    }
    // An empty file is no database of ours; opening it would already write to it.
    if (QFileInfo(target.path).size() > 0) connection.open(connectionString);
    if (!connection.isOpen() || !hasOurTables(connection)) {
        throw db::DbError(QStringLiteral("文件 %1 不是其它入库单的数据库。\n%2")
                              .arg(target.path, initHint(target.path)));
    }
    db::schema::ensureSchema(connection);
}

QString initDatabase(const QString& database, bool demo, const QString& rolePrefix) {
    const QString connectionString = db::connectionStringFromArgument(database);
    const db::ConnectionTarget target = db::parseConnectionString(connectionString);
    const bool server = target.kind != db::DialectKind::Sqlite;
    const QString name = server ? target.describe() : target.path;
    if (!server) createMissingFile(target.path);
    db::Connection connection;
    connection.open(connectionString);
    // A database that another program created meanwhile counts as existing.
    const bool created = db::schema::ensureSchema(
        connection, demo ? db::schema::Contents::Demo : db::schema::Contents::Empty);
    QString roles;
    if (server) {
        try {
            const db::ServerRoles r = db::setUpServerRoles(
                connection,
                rolePrefix.isEmpty() ? db::defaultRolePrefix(target.database) : rolePrefix);
            roles = QStringLiteral(
                        "\n服务器角色: %1（所有者，不能登录）、%2（录单员组）、%3（管理员组）")
                        .arg(r.owner(), r.clerk(), r.admin());
            // The demo's users log in as themselves, with passwords for trying out.
            if (created && demo) {
                for (const auto& [id, number, admin] :
                     {std::tuple{1, "admin", true}, std::tuple{2, "zhang", false},
                      std::tuple{3, "li", false}}) {
                    const QString login =
                        r.prefix + QStringLiteral("_demo_") + QLatin1String(number);
                    const QString password = QStringLiteral("demo-") + QLatin1String(number);
                    db::linkClerk(connection, id, login, password, admin);
                    roles += QStringLiteral("\n演示用户 %1: 登录名 %2，密码 %3")
                                 .arg(id)
                                 .arg(login, password);
                }
            }
        } catch (const db::DbError& e) {
            throw db::DbError(QStringLiteral("数据库 %1 的表已建好（版本 %2），但没能建立服务器"
                                             "角色：运行 init 的角色须有 CREATEROLE 权限（或是"
                                             "超级用户）。\n%3")
                                  .arg(name)
                                  .arg(db::schema::kVersion)
                                  .arg(e.message()),
                              e.code());
        }
    }
    if (!created) {
        return QStringLiteral("数据库 %1 已存在，已更新到版本 %2%3")
                   .arg(name)
                   .arg(db::schema::kVersion)
                   .arg(demo ? QStringLiteral("；已有的数据库不装入演示数据") : QString()) +
               roles;
    }
    return (demo ? QStringLiteral("已新建数据库 %1，含演示数据").arg(name)
                 : QStringLiteral("已新建数据库 %1").arg(name)) +
           roles;
}

}  // namespace otherin::entry
