#include "db/server_roles.h"

#include <QRegularExpression>

#include "db/connection.h"
#include "db/db_error.h"
#include "db/query.h"
#include "db/schema.h"
#include "db/transaction.h"
#include "db/upgrade_bill_rules.h"
#include "db/upgrade_bill_writer.h"

namespace otherin::db {

namespace {

// Tables a clerk reads but never writes, and administrators may change: who
// the users are, their logins, groups and rights, the switches, the periods,
// the item master and the bill type's settings (other programs of the suite
// keep the item master; the windows only read it), and the schema's version.
const char* const kAdministratorsTables[] = {"tblUser",
                                             "tblLoginSession",
                                             "tblServerRoles",
                                             "tblUserGroup",
                                             "tblUserGroupRelation",
                                             "tblgroupprivillenge",
                                             "tbluserPrivillenge",
                                             "tblSystemPrivillenge",
                                             "tblSystemSwitch",
                                             "tblSystemInfo",
                                             "tblPeriod",
                                             "icitem",
                                             "tblItem",
                                             "tblItemclass",
                                             "tblMeasureUnit",
                                             "tblStock",
                                             "tblsubtype",
                                             "tblBillInfo",
                                             "tblBillInfoEntry",
                                             "tblBillPrint",
                                             "tblFindInfoEntry",
                                             "tblFindInfoentry2",
                                             "schema_version",
                                             "tblMaxBillNo",
                                             "tblmaxNum",
                                             "tblBillNoAdd",
                                             "tblTimeStock"};

// Every object of the module's schema, with the words ALTER takes for it.
QStringList ownedObjects(Connection& c) {
    Query q = c.prepare(
        QStringLiteral("select case c.relkind when 'S' then 'sequence' when 'v' then 'view' "
                       "when 'm' then 'materialized view' else 'table' end || ' ' || "
                       "quote_ident(c.relname) from pg_class c where c.relnamespace = "
                       "current_schema()::regnamespace and c.relkind in ('r','p','v','m','S') "
                       "and not exists (select 1 from pg_depend d where d.classid = "
                       "'pg_class'::regclass and d.objid = c.oid and d.deptype = 'i') "
                       "union all select 'function ' || p.oid::regprocedure::text from pg_proc p "
                       "where p.pronamespace = current_schema()::regnamespace and p.proname <> "
                       "'otherin_clerk_login'"));
    q.exec();
    QStringList objects;
    while (q.next()) objects << q.value(0).toString();
    return objects;
}

// Makes `grantee` a member of `role` unless it is one already (a second
// grant would only draw a notice).
void grantOnce(Connection& c, const QString& role, const QString& grantee) {
    if (!c.scalar(QStringLiteral("select pg_has_role(?, ?, 'member')"), {grantee, role}).toBool())
        c.exec(QStringLiteral("grant %1 to %2").arg(quotedName(c, role), quotedName(c, grantee)));
}

// The one door to role management: administrators make, re-password and
// disable the logins of their database's clerks through this function, owned
// by a role that may create roles, without that power of their own.
void setUpLoginFunction(Connection& c, const ServerRoles& roles) {
    const QString logins = quotedName(c, roles.logins());
    if (!roleExists(c, roles.logins()))
        c.exec(QStringLiteral("create role %1 nologin createrole").arg(logins));
    c.exec(QStringLiteral("grant %1, %2 to %3 with admin option")
               .arg(quotedName(c, roles.clerk()), quotedName(c, roles.admin()), logins));
    c.exec(QStringLiteral("grant pg_signal_backend to %1").arg(logins));
    grantOnce(c, roles.logins(), c.scalar(QStringLiteral("select current_user")).toString());
    const QString body = QStringLiteral(R"SQL(
create or replace function otherin_clerk_login(action text, login text, verifier text,
                                               administrator boolean)
returns void language plpgsql security definer set search_path = pg_catalog, pg_temp as $f$
begin
    if login is null or login !~ '^[a-z][a-z0-9_]{0,62}$' or login in (%1, %2, %3, %4) then
        raise exception '登录名“%”无效：只能用小写字母、数字和下划线，以字母开头', login;
    end if;
    if action in ('add', 'passwd') and (verifier is null or verifier not like 'SCRAM-SHA-256$%') then
        raise exception '密码须先在客户端加密（SCRAM-SHA-256）';
    end if;
    if action = 'add' then
        execute format('create role %I login password %L in role %I', login, verifier,
                       case when administrator then %2 else %1 end);
        return;
    end if;
    if not exists (select 1 from pg_roles r where r.rolname = login and not r.rolsuper
                   and pg_has_role(r.oid, %1, 'member')) then
        raise exception '“%”不是本数据库的录单员', login;
    end if;
    if action = 'passwd' then
        execute format('alter role %I password %L', login, verifier);
    elsif action = 'disable' then
        execute format('alter role %I nologin', login);
        perform pg_terminate_backend(a.pid) from pg_stat_activity a where a.usename = login;
    elsif action = 'enable' then
        execute format('alter role %I login', login);
    else
        raise exception '未知的操作 %', action;
    end if;
end
$f$)SQL");
    const auto literal = [&](const QString& text) {
        return c.scalar(QStringLiteral("select quote_literal(?)"), {text}).toString();
    };
    c.exec(body.arg(literal(roles.clerk()), literal(roles.admin()), literal(roles.owner()),
                    literal(roles.logins())));
    const QString function =
        QStringLiteral("function otherin_clerk_login(text, text, text, boolean)");
    c.exec(QStringLiteral("grant usage, create on schema %1 to %2")
               .arg(schema::serverSchema(c), logins));
    c.exec(QStringLiteral("alter %1 owner to %2").arg(function, logins));
    c.exec(QStringLiteral("revoke all on %1 from public").arg(function));
    c.exec(QStringLiteral("revoke all on %1 from %2").arg(function, quotedName(c, roles.clerk())));
    c.exec(QStringLiteral("grant execute on %1 to %2").arg(function, quotedName(c, roles.admin())));
}

}  // namespace

bool roleExists(Connection& c, const QString& role) {
    return c.scalar(QStringLiteral("select count(*) from pg_roles where rolname=?"), {role})
               .toInt() > 0;
}

bool loginIsMemberOf(Connection& c, const QString& role) {
    return c.scalar(QStringLiteral("select pg_has_role(session_user, ?, 'member')"), {role})
        .toBool();
}

QString quotedName(Connection& c, const QString& name) {
    return c.scalar(QStringLiteral("select quote_ident(?)"), {name}).toString();
}

void protectHistory(Connection& connection, const ServerRoles& roles) {
    for (const QString& table :
         {QStringLiteral("otherin_history"), QStringLiteral("otherin_history_open")}) {
        if (!connection.tableExists(table)) continue;
        for (const QString& role : {roles.clerk(), roles.admin()}) {
            connection.exec(QStringLiteral("revoke insert, update, delete, truncate on %1 from %2")
                                .arg(table, quotedName(connection, role)));
            connection.exec(QStringLiteral("grant select on %1 to %2")
                                .arg(table, quotedName(connection, role)));
        }
    }
}

std::optional<QString> rolePrefix(const QString& wanted) {
    static const QRegularExpression valid(QStringLiteral("^[a-z][a-z0-9_]{0,39}$"));
    if (!valid.match(wanted).hasMatch()) return std::nullopt;
    return wanted;
}

QString defaultRolePrefix(const QString& databaseName) {
    QString prefix = databaseName.toLower();
    for (QChar& ch : prefix)
        if (!(ch.isLetterOrNumber() && ch.unicode() < 128) && ch != u'_') ch = u'_';
    if (prefix.isEmpty() || !prefix.front().isLetter()) prefix.prepend(QStringLiteral("db_"));
    return prefix.left(40);
}

std::optional<ServerRoles> serverRoles(Connection& connection) {
    if (!connection.dialect().isServer() ||
        !connection.tableExists(QStringLiteral("tblServerRoles")))
        return std::nullopt;
    const QString prefix =
        connection.scalar(QStringLiteral("select fprefix from tblServerRoles")).toString();
    if (prefix.isEmpty()) return std::nullopt;
    return ServerRoles{prefix};
}

ServerRoles setUpServerRoles(Connection& connection, const QString& prefix) {
    if (!connection.dialect().isServer()) throw DbError(QStringLiteral("数据库文件没有服务器角色"));
    TransactionGuard tx(connection);
    // Programs setting up one database at once meet here and take turns.
    connection.exec(connection.dialect().schemaLock());
    ServerRoles roles;
    if (const auto recorded = serverRoles(connection)) {
        roles = *recorded;
    } else {
        const auto valid = rolePrefix(prefix);
        if (!valid)
            throw DbError(QStringLiteral("角色前缀“%1”无效：只能用小写字母、数字和下划线，"
                                         "以字母开头，最多 40 个字符")
                              .arg(prefix));
        roles.prefix = *valid;
        connection.exec(QStringLiteral("insert into tblServerRoles (fprefix) values (?)"),
                        {roles.prefix});
    }
    const QString owner = quotedName(connection, roles.owner());
    const QString clerk = quotedName(connection, roles.clerk());
    const QString admin = quotedName(connection, roles.admin());
    for (const QString& role : {roles.owner(), roles.clerk(), roles.admin()}) {
        if (!roleExists(connection, role))
            connection.exec(
                QStringLiteral("create role %1 nologin").arg(quotedName(connection, role)));
    }
    // The administrator who sets up (and later upgrades) acts for the owner.
    const QString me = connection.scalar(QStringLiteral("select current_user")).toString();
    grantOnce(connection, roles.owner(), me);
    grantOnce(connection, roles.admin(), me);
    grantOnce(connection, roles.clerk(), roles.admin());
    // Whoever is given an object must be able to make one in its schema; the
    // owner also makes the tables of later upgrades there.
    const QString schema = schema::serverSchema(connection);
    connection.exec(QStringLiteral("grant usage, create on schema %1 to %2").arg(schema, owner));
    for (const QString& object : ownedObjects(connection))
        connection.exec(QStringLiteral("alter %1 owner to %2").arg(object, owner));
    const QString grants = QStringLiteral(
        "grant usage on schema %2 to %1;"
        "grant select, insert, update, delete on all tables in schema %2 to %1;"
        "grant usage, select, update on all sequences in schema %2 to %1;"
        "grant execute on all functions in schema %2 to %1;"
        "alter default privileges for role %3 in schema %2 "
        "grant select, insert, update, delete on tables to %1;"
        "alter default privileges for role %3 in schema %2 "
        "grant usage, select, update on sequences to %1;"
        "alter default privileges for role %3 in schema %2 grant execute on functions to %1");
    for (const QString& statement : grants.arg(clerk, schema, owner).split(u';'))
        connection.exec(statement);
    for (const char* table : kAdministratorsTables) {
        if (!connection.tableExists(QString::fromLatin1(table))) continue;
        connection.exec(QStringLiteral("revoke insert, update, delete on %1 from %2")
                            .arg(QString::fromLatin1(table), clerk));
        connection.exec(QStringLiteral("grant select, insert, update, delete on %1 to %2")
                            .arg(QString::fromLatin1(table), admin));
    }
    // Clerks read the users, but not what is kept of their passwords.
    const QString userColumns =
        connection
            .scalar(QStringLiteral("select string_agg(quote_ident(column_name), ', ' order "
                                   "by ordinal_position) from information_schema.columns "
                                   "where table_schema = current_schema() and table_name = "
                                   "'tbluser' and column_name not in ('fpasswordhash', "
                                   "'fpassword')"))
            .toString();
    if (!userColumns.isEmpty()) {
        connection.exec(QStringLiteral("revoke select on tblUser from %1").arg(clerk));
        connection.exec(
            QStringLiteral("grant select (%1) on tblUser to %2").arg(userColumns, clerk));
    }
    protectHistory(connection, roles);
    schema::addBillRuleTriggers(connection, roles);
    schema::passOverStampedAuditsFor(connection, roles);
    setUpLoginFunction(connection, roles);
    tx.commit();
    return roles;
}

}  // namespace otherin::db
