#include "db/server_logins.h"

#include <libpq-fe.h>

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

}  // namespace

void linkClerk(Connection& connection, qlonglong userId, const QString& login,
               const QString& password, bool administrator) {
    requireRoles(connection);
    const QString made = verifier(connection, login, password);
    TransactionGuard tx(connection);
    if (connection.exec(QStringLiteral("update tblUser set frolename=? where fuserid=?"),
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
