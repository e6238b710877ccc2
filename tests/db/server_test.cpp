// Behaviour that only a database server has: logins it refuses, connections it
// drops. Skipped on SQLite; the retry rules are checked on both.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <functional>

#include "db/connection.h"
#include "db/connection_string.h"
#include "db/db_error.h"
#include "db/retry.h"
#include "db/schema.h"
#include "db/server_logins.h"
#include "db/server_roles.h"
#include "db/transaction.h"
#include "entry/database_file.h"
#include "support/test_database.h"

using namespace otherin;
using namespace otherin::db;
using otherin::testing::TestDatabase;

namespace {

// Another clerk's connection ends ours, as a server restart would.
void endSession(Connection& admin, qlonglong backend) {
    ASSERT_TRUE(admin.scalar(QStringLiteral("select pg_terminate_backend(?)"), {backend}).toBool());
}

qlonglong backendOf(Connection& c) {
    return c.scalar(QStringLiteral("select pg_backend_pid()")).toLongLong();
}

class ServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!TestDatabase::onServer()) GTEST_SKIP() << "needs a database server (OTHERIN_TEST_DB)";
        db_ = std::make_unique<TestDatabase>(TestDatabase::Seed::Empty, TestDatabase::Roles::None);
    }
    std::unique_ptr<TestDatabase> db_;
};

TEST_F(ServerTest, ConnectionDroppedBetweenOperationsIsMadeAgainAtTheNextOpen) {
    const QString cs = db_->connectionString();
    Connection c;
    c.open(cs);
    c.exec(QStringLiteral("create table t(n integer)"));
    const qlonglong backend = backendOf(c);
    c.close();
    // the same physical connection serves the next operation
    c.open(cs);
    EXPECT_EQ(backendOf(c), backend);
    c.close();
    EXPECT_EQ(c.connectCount(), 1);

    Connection admin;
    admin.open(cs);
    endSession(admin, backend);
    c.open(cs);
    {
        TransactionGuard tx(c);
        c.exec(QStringLiteral("insert into t(n) values(?)"), {1});
        tx.commit();
    }
    EXPECT_EQ(c.connectCount(), 2);
    EXPECT_NE(backendOf(c), backend);
    EXPECT_EQ(admin.scalar(QStringLiteral("select count(*) from t")).toInt(), 1);
}

// A connection used moments ago is not asked whether it answers before an
// operation: the operation's first statement, whatever its kind, finds it
// ended and runs again on a new connection. A later statement is not run
// again (what ran before it is gone with the connection): it is told.
TEST_F(ServerTest, AFirstStatementFindingTheConnectionEndedRunsAgainOnANewOne) {
    const QString cs = db_->connectionString();
    Connection admin;
    admin.open(cs);
    admin.exec(QStringLiteral("create table t(n integer)"));
    const QString insert = QStringLiteral("insert into t(n) values(?)");
    const struct {
        const char* what;
        std::function<void(Connection&)> first;
    } cases[] = {
        {"a transaction's begin",
         [&](Connection& c) {
             TransactionGuard tx(c);
             c.exec(insert, {1});
             tx.commit();
         }},
        {"a statement without values",
         [](Connection& c) { c.exec(QStringLiteral("insert into t(n) values(2)")); }},
        {"a statement prepared on the ended connection",
         [&](Connection& c) { c.exec(insert, {3}); }},
        {"a statement new to the connection",
         [](Connection& c) { c.exec(QStringLiteral("insert into t(n) select ?"), {4}); }},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.what);
        Connection c;
        c.open(cs);
        c.exec(insert, {0});  // prepared, and kept for the connection
        const qlonglong backend = backendOf(c);
        c.close();
        endSession(admin, backend);
        c.open(cs);
        k.first(c);
        c.close();
        EXPECT_EQ(c.connectCount(), 2);
    }
    EXPECT_EQ(admin
                  .scalar(QStringLiteral("select string_agg(n::text, ',' order by n) from t "
                                         "where n > 0"))
                  .toString(),
              QStringLiteral("1,2,3,4"));

    Connection c;
    c.open(cs);
    const qlonglong backend = backendOf(c);
    endSession(admin, backend);
    EXPECT_THROW(c.exec(insert, {5}), DbError);
    c.close();
    c.open(cs);
    c.exec(insert, {6});
    c.close();
    EXPECT_EQ(admin
                  .scalar(QStringLiteral("select string_agg(n::text, ',' order by n) from t "
                                         "where n > 4"))
                  .toString(),
              QStringLiteral("6"));
}

// A server database is made by its administrator and filled by `otherin
// init`: the host refuses an empty one rather than filling it at a login.
TEST_F(ServerTest, InitFillsAnEmptyServerDatabaseWhichTheHostRefusesBefore) {
    ConnectionTarget empty = parseConnectionString(db_->connectionString());
    const QString name = empty.database + QStringLiteral("_empty");
    empty.database = QStringLiteral("postgres");
    Connection server;
    server.open(empty.toConnectionString());
    server.exec(QStringLiteral("create database %1").arg(name));
    empty.database = name;
    const QString url = empty.toConnectionString();
    {
        Connection host;
        try {
            entry::openHostDatabase(host, url, embeddedDatabasePath());
            ADD_FAILURE() << "a database without our tables was opened";
        } catch (const DbError& e) {
            EXPECT_TRUE(e.message().contains(QStringLiteral("otherin init")))
                << e.message().toStdString();
        }
        const ServerRoles roles{defaultRolePrefix(name)};
        EXPECT_EQ(
            entry::initDatabase(url, true),
            QStringLiteral("已新建数据库 %1，含演示数据\n服务器角色: %2（所有者，不能登录）、"
                           "%3（录单员组）、%4（管理员组）\n"
                           "演示用户 1: 登录名 %5_demo_admin，密码 demo-admin\n"
                           "演示用户 2: 登录名 %5_demo_zhang，密码 demo-zhang\n"
                           "演示用户 3: 登录名 %5_demo_li，密码 demo-li")
                .arg(empty.describe(), roles.owner(), roles.clerk(), roles.admin(), roles.prefix));
        entry::openHostDatabase(host, url, embeddedDatabasePath());
        EXPECT_GT(host.scalar(QStringLiteral("select count(*) from tblUser")).toInt(), 0);
        EXPECT_EQ(schema::currentVersion(host), schema::kVersion);
    }
    server.exec(QStringLiteral("drop database %1 with (force)").arg(name));
    otherin::testing::dropServerRoles(server, defaultRolePrefix(name));
}

// The rules of retrying: conflicts a bounded number of times, a connection the
// server dropped (made again) once, but never what a commit was asked for, and
// other errors never.
TEST(RetryTest, ConflictsAreRetriedABoundedNumberOfTimesAndNothingDurableIsRepeated) {
    TestDatabase db{TestDatabase::Seed::Empty, TestDatabase::Roles::None};
    Connection& admin = db.connection();
    admin.exec(QStringLiteral("create table t(n integer)"));
    const DbError deadlock(QStringLiteral("deadlock detected"), QStringLiteral("40P01"));
    const DbError serialization(QStringLiteral("could not serialize"), QStringLiteral("40001"));
    const DbError other(QStringLiteral("syntax error"), QStringLiteral("42601"));
    struct Case {
        const char* name;
        const DbError* error;  // null: the server ends the connection
        int failing;           // attempts that fail so
        bool commitFirst;      // a transaction of its own commits first
        int attempts;
        bool fails;
        int rows;
    };
    const Case cases[] = {
        {"deadlock once", &deadlock, 1, false, 2, false, 1},
        {"serialization twice", &serialization, 2, false, 3, false, 1},
        {"conflict every time", &deadlock, 99, false, kOperationAttempts, true, 0},
        {"another error", &other, 99, false, 1, true, 0},
        {"conflict after a commit", &deadlock, 99, true, 1, true, 1},
        {"dropped with nothing written", nullptr, 1, false, 2, false, 1},
        {"dropped after a commit", nullptr, 1, true, 1, true, 1},
    };
    for (const Case& k : cases) {
        if (!k.error && !TestDatabase::onServer()) continue;
        SCOPED_TRACE(k.name);
        admin.exec(QStringLiteral("delete from t"));
        Connection c;
        c.open(db.connectionString());
        int attempts = 0;
        bool failed = false;
        try {
            retrying(c, [&] {
                ++attempts;
                if (k.commitFirst) {
                    TransactionGuard first(c);
                    c.exec(QStringLiteral("insert into t(n) values(0)"));
                    first.commit();
                }
                if (attempts <= k.failing && k.error) throw *k.error;
                if (attempts <= k.failing) endSession(admin, backendOf(c));
                TransactionGuard tx(c);
                c.exec(QStringLiteral("insert into t(n) values(?)"), {attempts});
                tx.commit();
            });
        } catch (const DbError&) {
            failed = true;
        }
        EXPECT_EQ(attempts, k.attempts);
        EXPECT_EQ(failed, k.fails);
        EXPECT_EQ(c.transactionDepth(), 0);
        EXPECT_EQ(admin.scalar(QStringLiteral("select count(*) from t")).toInt(), k.rows);
    }
}

}  // namespace

namespace {

// Whether `role` may run `sql`: tried inside a transaction that is rolled back.
bool mayRun(Connection& c, const QString& role, const QString& sql) {
    TransactionGuard tx(c);
    c.exec(QStringLiteral("set local role ") + role);
    try {
        c.exec(sql);
        return true;
    } catch (const DbError&) {
        return false;
    }
}

}  // namespace

// init hands every object to an owner role that cannot log in; clerks read
// everything and write bills, but not users, logins or the roles' record;
// administrators may; the prefix is the database's own, kept in it.
TEST_F(ServerTest, TheDatabaseIsOwnedByItsOwnerRoleAndTheGroupsHaveTheirRights) {
    const QString prefix = QStringLiteral("t%1").arg(QCoreApplication::applicationPid());
    db_ = std::make_unique<TestDatabase>(TestDatabase::Seed::Demo, TestDatabase::Roles::None);
    Connection& c = db_->connection();
    const ServerRoles roles = setUpServerRoles(c, prefix);
    EXPECT_EQ(setUpServerRoles(c, QStringLiteral("another")).prefix, prefix);
    ASSERT_TRUE(serverRoles(c));
    EXPECT_EQ(serverRoles(c)->prefix, prefix);
    EXPECT_EQ(c.scalar(QStringLiteral("select count(*) from pg_class where relnamespace="
                                      "current_schema()::regnamespace and relkind in "
                                      "('r','v','S') and pg_get_userbyid(relowner)<>?"),
                       {roles.owner()})
                  .toInt(),
              0);
    EXPECT_EQ(c.scalar(QStringLiteral("select string_agg(rolname, ',' order by rolname) from "
                                      "pg_roles where rolname like ? and not rolcanlogin"),
                       {prefix + QStringLiteral("\\_%")})
                  .toString(),
              roles.admin() + u',' + roles.clerk() + u',' + roles.logins() + u',' + roles.owner());
    const struct {
        const char* sql;
        bool clerk;
        bool admin;
    } cases[] = {
        {"select count(*) from vGOtherIn", true, true},
        {"update icstockbill set fexplanation=fexplanation", true, true},
        {"insert into tblItemInput (fuserid, fitemid) values (1, 1101)", true, true},
        {"select count(*) from tblUser", true, true},
        {"update tblUser set fIsAdmin=1", false, true},
        {"select fpasswordhash from tblUser", false, true},
        {"select fpassword from tblUser", false, true},
        {"select fuserid, fname, frolename from tblUser", true, true},
        {"delete from tblLoginSession", false, true},
        {"insert into tblUserGroupRelation (fuserid, fgroupid) values (3, 1)", false, true},
        {"insert into tbluserPrivillenge (fuserid, fPrivillengeid) values (3, 1)", false, true},
        {"update tblSystemSwitch set fvalue='1'", false, true},
        {"update tblPeriod set fyear=fyear", false, true},
        {"update icitem set fname='x'", false, true},
        {"delete from tblBillPrint", false, true},
        {"delete from schema_version", false, true},
        {"truncate tblTimeStock", false, false},
        {"update tblServerRoles set fprefix='x'", false, true},
        {"drop table icstockbill", false, false},
    };
    for (const auto& k : cases) {
        const QString sql = QString::fromLatin1(k.sql);
        EXPECT_EQ(mayRun(c, roles.clerk(), sql), k.clerk) << k.sql;
        EXPECT_EQ(mayRun(c, roles.admin(), sql), k.admin) << k.sql;
    }
    EXPECT_FALSE(rolePrefix(QStringLiteral("X; drop")));
    EXPECT_EQ(defaultRolePrefix(QStringLiteral("Stock-2026")), QStringLiteral("stock_2026"));
    otherin::testing::dropServerRoles(db_->seed(), prefix);
}

// The administrator's own login, not a superuser, owns the database: with
// CREATEROLE init sets the roles up and its administrators add clerks; without,
// it gets the tables and is told what it lacks.
TEST_F(ServerTest, InitByTheDatabaseOwnersLoginSetsUpRolesOnlyWithCreateRole) {
    for (const bool createRole : {false, true}) {
        SCOPED_TRACE(createRole ? "createrole" : "plain");
        ConnectionTarget target = parseConnectionString(db_->connectionString());
        const QString plain = QStringLiteral("plain_%1").arg(QCoreApplication::applicationPid());
        const QString name = target.database + QStringLiteral("_plain");
        db_->exec(QStringLiteral("create role %1 login password 'pw'%2")
                      .arg(plain, createRole ? QStringLiteral(" createrole") : QString()));
        db_->exec(QStringLiteral("create database %1 owner %2").arg(name, plain));
        target.database = name;
        target.user = plain;
        target.password = QStringLiteral("pw");
        const QString prefix = QStringLiteral("p%1").arg(QCoreApplication::applicationPid());
        const ServerRoles roles{prefix};
        try {
            const QString said = entry::initDatabase(target.toConnectionString(), false, prefix);
            EXPECT_TRUE(createRole) << "roles were made by a role without CREATEROLE";
            EXPECT_TRUE(said.contains(roles.owner())) << said.toStdString();
            Connection c;
            c.open(target.toConnectionString());
            addClerk(c, prefix + QStringLiteral("_zhao"), QStringLiteral("赵六"),
                     QStringLiteral("pw"), false);
            EXPECT_EQ(c.scalar(QStringLiteral("select tableowner from pg_tables where "
                                              "tablename='icstockbill'"))
                          .toString(),
                      roles.owner());
        } catch (const DbError& e) {
            EXPECT_FALSE(createRole) << e.message().toStdString();
            EXPECT_TRUE(e.message().contains(QStringLiteral("CREATEROLE")))
                << e.message().toStdString();
        }
        Connection c;
        c.open(target.toConnectionString());
        EXPECT_EQ(schema::currentVersion(c), schema::kVersion);
        c.disconnect();
        db_->exec(QStringLiteral("drop database %1 with (force)").arg(name));
        otherin::testing::dropServerRoles(db_->seed(), prefix, {plain});
    }
}

// Clerks' logins are made, re-passworded and disabled by administrators only,
// through the one function; the server keeps only a SCRAM verifier made on
// the client; a disabled clerk's open connection ends.
TEST_F(ServerTest, AdministratorsManageClerksLoginsThroughOneFunction) {
    const QString prefix = QStringLiteral("u%1").arg(QCoreApplication::applicationPid());
    db_ = std::make_unique<TestDatabase>(TestDatabase::Seed::Demo, TestDatabase::Roles::None);
    Connection& c = db_->connection();
    const ServerRoles roles = setUpServerRoles(c, prefix);
    const QString clerk = prefix + QStringLiteral("_zhang");
    const QString admin = prefix + QStringLiteral("_wang");
    const qlonglong id =
        addClerk(c, clerk, QStringLiteral("张小三"), QStringLiteral("pw-1"), false);
    addClerk(c, admin, QStringLiteral("王五"), QStringLiteral("pw-2"), true);
    const auto verifierOf = [&](const QString& role) {
        return c.scalar(QStringLiteral("select rolpassword from pg_authid where rolname=?"), {role})
            .toString();
    };
    const QString first = verifierOf(clerk);
    EXPECT_TRUE(first.startsWith(QStringLiteral("SCRAM-SHA-256$"))) << first.toStdString();
    QStringList listed;
    for (const ClerkLogin& k : listClerks(c))
        listed << QStringLiteral("%1 %2 %3 %4 %5")
                      .arg(k.login, k.name)
                      .arg(k.userId)
                      .arg(k.administrator)
                      .arg(k.canLogIn);
    EXPECT_EQ(listed, QStringList({QStringLiteral("%1 张小三 %2 0 1").arg(clerk).arg(id),
                                   QStringLiteral("%1 王五 %2 1 1").arg(admin).arg(id + 1)}));
    setClerkPassword(c, clerk, QStringLiteral("pw-3"));
    EXPECT_NE(verifierOf(clerk), first);

    // Only administrators reach the function, and only for this database's clerks.
    const QString call =
        QStringLiteral("select otherin_clerk_login('passwd', '%1', '%2', false)").arg(clerk, first);
    EXPECT_FALSE(mayRun(c, roles.clerk(), call));
    EXPECT_TRUE(mayRun(c, roles.admin(), call));
    EXPECT_THROW(disableClerk(c, QStringLiteral("postgres")), DbError);
    EXPECT_THROW(disableClerk(c, roles.owner()), DbError);
    EXPECT_THROW(addClerk(c, QStringLiteral("x; drop table icstockbill"), QString(),
                          QStringLiteral("pw"), false),
                 DbError);
    EXPECT_FALSE(mayRun(c, roles.admin(),
                        QStringLiteral("select otherin_clerk_login('add', 'plain_text', 'secret', "
                                       "false)")));

    ConnectionTarget target = parseConnectionString(db_->connectionString());
    target.user = clerk;
    target.password = QStringLiteral("pw-3");
    Connection asClerk;
    asClerk.open(target.toConnectionString());
    disableClerk(c, clerk);
    EXPECT_FALSE(
        c.scalar(QStringLiteral("select rolcanlogin from pg_roles where rolname=?"), {clerk})
            .toBool());
    EXPECT_THROW(asClerk.scalar(QStringLiteral("select 1")), DbError);
    asClerk.close();

    otherin::testing::dropServerRoles(db_->seed(), prefix);
}
