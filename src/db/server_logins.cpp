#include "db/server_logins.h"

#include <libpq-fe.h>

#include <QRandomGenerator>
#include <QRegularExpression>

#include "db/connection.h"
#include "db/db_error.h"
#include "db/error_words.h"
#include "db/query.h"
#include "db/server_roles.h"
#include "db/transaction.h"

namespace otherin::db {

namespace {

ServerRoles requireRoles(Connection& c) {
    const auto roles = serverRoles(c);
    if (!roles)
        throw DbError(QStringLiteral("这个数据库还没有服务器角色：请先用 otherin init 建立"));
    return *roles;
}

// The server's verifier of `password` for `login`, made by the client library.
QString verifier(Connection& c, const QString& login, const QString& password) {
    if (password.isEmpty()) throw DbError(QStringLiteral("密码不能为空"));
    PGconn* pg = serverHandle(c.driver());
    if (!pg) throw DbError(QStringLiteral("没有服务器连接"));
    char* made = PQencryptPasswordConn(pg, password.toUtf8().constData(),
                                       login.toUtf8().constData(), "scram-sha-256");
    if (!made) throw DbError(QString::fromUtf8(PQerrorMessage(pg)).trimmed());
    const QString text = QString::fromLatin1(made);
    PQfreemem(made);
    return text;
}

void callLoginFunction(Connection& c, const QString& action, const QString& login,
                       const QString& verifier, bool administrator) {
    c.exec(QStringLiteral("select otherin_clerk_login(?, ?, ?, ?)"),
           {action, login, verifier.isEmpty() ? QVariant() : QVariant(verifier), administrator});
}

// A password nobody knows: the login exists, but no one can use it until
// the administrator sets one.
QString unknownPassword() {
    QString text;
    for (int i = 0; i < 32; ++i) text += QChar(u'a' + QRandomGenerator::system()->bounded(26));
    return text;
}

// <prefix>_<number> made a login name, or <prefix>_user<id> when the number
// gives none or is taken.
QString loginFor(Connection& c, const QString& prefix, const QString& number, qlonglong id) {
    QString word = number.toLower();
    word.replace(QRegularExpression(QStringLiteral("[^a-z0-9_]")), QStringLiteral("_"));
    QString login = (prefix + u'_' + word).left(63);
    if (word.isEmpty() || word.count(u'_') == word.size() || roleExists(c, login))
        login = prefix + QStringLiteral("_user%1").arg(id);
    return login;
}

}  // namespace

SharedLoginMove moveFromSharedLogin(Connection& connection, const QString& prefix,
                                    const QString& sharedLogin) {
    const auto before = serverRoles(connection);
    SharedLoginMove move;
    move.sharedLogin =
        !sharedLogin.isEmpty()
            ? sharedLogin
            : connection
                  .scalar(QStringLiteral("select tableowner from pg_tables where "
                                         "schemaname = current_schema() and tablename = "
                                         "'icstockbill'"))
                  .toString();
    if (before && move.sharedLogin == before->owner())
        throw DbError(QStringLiteral("表已归 %1 所有：请用 --shared-login 指出原来共用的登录")
                          .arg(before->owner()));
    if (!roleExists(connection, move.sharedLogin))
        throw DbError(QStringLiteral("服务器上没有登录 %1").arg(move.sharedLogin));
    if (connection.scalar(QStringLiteral("select session_user")).toString() == move.sharedLogin)
        throw DbError(QStringLiteral("共用的登录 %1 迁移后将被停用：请用服务器的超级用户或另一个"
                                     "有 CREATEROLE 权限的管理员登录运行")
                          .arg(move.sharedLogin));
    const QString shared = quotedName(connection, move.sharedLogin);
    TransactionGuard tx(connection);
    // Handing the tables over takes the shared login's rights on them.
    if (!loginIsMemberOf(connection, move.sharedLogin))
        connection.exec(QStringLiteral("grant %1 to session_user").arg(shared));
    const ServerRoles roles = setUpServerRoles(connection, prefix);
    Query q = connection.prepare(QStringLiteral(
        "select fuserid, coalesce(fnumber, ''), coalesce(fname, ''), coalesce(fIsAdmin, 0) "
        "from tblUser where frolename is null order by fuserid"));
    q.exec();
    std::vector<ClerkLogin> users;
    while (q.next())
        users.push_back({q.value(1).toString(), q.value(2).toString(), q.value(0).toLongLong(),
                         q.value(3).toInt() == 1, true});
    for (ClerkLogin& user : users) {
        user.login = loginFor(connection, roles.prefix, user.login, user.userId);
        linkClerk(connection, user.userId, user.login, unknownPassword(), user.administrator);
        move.made.push_back(user);
    }
    connection.exec(QStringLiteral("alter role %1 nologin").arg(shared));
    tx.commit();
    connection.exec(
        QStringLiteral("select pg_terminate_backend(pid) from pg_stat_activity where usename = ?"),
        {move.sharedLogin});
    return move;
}

void linkClerk(Connection& connection, qlonglong userId, const QString& login,
               const QString& password, bool administrator) {
    requireRoles(connection);
    const QString made = verifier(connection, login, password);
    TransactionGuard tx(connection);
    // After any set-up of the roles running meanwhile, which hands the tables
    // this write touches (the users, the history) to the owner.
    connection.exec(connection.dialect().schemaLock());
    // The server checks the login's password from now on: the module keeps
    // no password of a clerk with a login of their own.
    if (connection.exec(QStringLiteral("update tblUser set frolename=?,fpasswordhash='',"
                                       "fpassword='' where fuserid=?"),
                        {login, userId}) != 1)
        throw DbError(QStringLiteral("没有编号为 %1 的用户").arg(userId));
    callLoginFunction(connection, QStringLiteral("add"), login, made, administrator);
    tx.commit();
}

qlonglong addClerk(Connection& connection, const QString& login, const QString& name,
                   const QString& password, bool administrator) {
    requireRoles(connection);
    TransactionGuard tx(connection);
    const qlonglong id =
        connection.scalar(QStringLiteral("select coalesce(max(fuserid), 0) + 1 from tblUser"))
            .toLongLong();
    connection.exec(QStringLiteral("insert into tblUser (fuserid, fnumber, fname, fIsAdmin, "
                                   "fUserType) values (?, ?, ?, ?, 1)"),
                    {id, login, name, administrator ? 1 : 0});
    linkClerk(connection, id, login, password, administrator);
    tx.commit();
    return id;
}

void setClerkPassword(Connection& connection, const QString& login, const QString& password) {
    requireRoles(connection);
    callLoginFunction(connection, QStringLiteral("passwd"), login,
                      verifier(connection, login, password), false);
}

void disableClerk(Connection& connection, const QString& login) {
    requireRoles(connection);
    callLoginFunction(connection, QStringLiteral("disable"), login, QString(), false);
}

std::vector<ClerkLogin> listClerks(Connection& connection) {
    const ServerRoles roles = requireRoles(connection);
    Query q = connection.prepare(QStringLiteral(
        "select u.frolename, coalesce(u.fname, ''), u.fuserid, "
        "pg_has_role(r.oid, ?, 'member'), r.rolcanlogin from tblUser u join pg_roles r on "
        "r.rolname = u.frolename order by u.fuserid"));
    q.bind(roles.admin()).exec();
    std::vector<ClerkLogin> clerks;
    while (q.next())
        clerks.push_back({q.value(0).toString(), q.value(1).toString(), q.value(2).toLongLong(),
                          q.value(3).toBool(), q.value(4).toBool()});
    return clerks;
}

}  // namespace otherin::db
