// Programs started at once on one database (startup_worker.cpp): on an old database, on a
// first run, and by `otherin init --demo`. Every start succeeds; everything is there once.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <memory>

#include "db/connection_string.h"
#include "db/database_copy.h"
#include "db/schema.h"
#include "db/server_roles.h"
#include "support/qstring_print.h"
#include "support/test_database.h"
#include "worker_processes.h"

using namespace Qt::StringLiterals;

using otherin::db::Connection;
using otherin::testing::column;
using otherin::testing::runTogether;
using otherin::testing::TestDatabase;
namespace schema = otherin::db::schema;

namespace {

// What `count` workers started with `args` and let go together answered, sorted.
QStringList startTogether(int count, const QStringList& args) {
    QStringList answers =
        runTogether(QStringLiteral(STARTUP_WORKER), count, [&](int) { return args; });
    answers.sort();
    return answers;
}

// "table:rows" of every table, to hold against a database made by one start.
QStringList rowCounts(Connection& c) {
    QStringList counts;
    const QStringList tables =
        column(c, c.dialect().isServer()
                      ? u"select lower(table_name) from information_schema.tables where "
                        "table_schema=current_schema() and table_type='BASE TABLE'"_s
                      : u"select lower(name) from sqlite_master where type='table'"_s);
    for (const QString& table : tables) {
        // The history also records the demo users' logins, which only an
        // init on a server makes.
        if (otherin::db::belongsToItsDatabase(table) || table == u"otherin_history"_s) continue;
        counts << table + QLatin1Char(':') +
                      c.scalar(u"select count(*) from %1"_s.arg(table)).toString();
    }
    counts.sort();
    return counts;
}

// Each version recorded once, and every table as a single start leaves it.
void expectMadeOnce(Connection& raced, Connection& single) {
    QStringList eachOnce;
    for (int v = 1; v <= schema::kVersion; ++v) eachOnce << u"%1:1"_s.arg(v);
    EXPECT_EQ(column(raced,
                     u"select version||':'||count(*) from schema_version "
                     "group by version order by version"_s),
              eachOnce);
    EXPECT_EQ(rowCounts(raced), rowCounts(single));
}

class StartupRaceTest : public ::testing::TestWithParam<int> {
  protected:
    void TearDown() override {
        for (const QString& name : made_) {
            server_->exec(u"drop database if exists %1 with (force)"_s.arg(name));
            otherin::testing::dropServerRoles(server_->seed(),
                                              otherin::db::defaultRolePrefix(name));
        }
    }

    // A database that holds nothing yet, on the backend under test: a file
    // not made yet, or an empty database on the server.
    QString emptyDatabase(const QString& name) {
        if (!TestDatabase::onServer()) return u"sqlite:"_s + dir_.filePath(name + u".sqlite"_s);
        if (!server_) server_ = std::make_unique<TestDatabase>();
        auto target = otherin::db::parseConnectionString(server_->seedConnectionString());
        target.database += QLatin1Char('_') + name;
        server_->exec(u"create database %1"_s.arg(target.database));
        made_ << target.database;
        return target.toConnectionString();
    }

    // A database as the first version left it, with a password kept as text
    // (the upgrade hashes it, a slow step that widens the window).
    void makeOld(Connection& c, const QString& name) {
        c.open(emptyDatabase(name));
        schema::runScript(c, schema::schemaScript());
        c.exec(
            u"insert into tblUser(fuserid,fnumber,fname,fpassword) values"
            "(1,'a','甲','first')"_s);
    }

    const int workers_ = GetParam();
    QTemporaryDir dir_;
    std::unique_ptr<TestDatabase> server_;
    QStringList made_;
};

TEST_P(StartupRaceTest, OldDatabaseIsUpgradedOnce) {
    Connection raced, single;
    makeOld(raced, u"raced"_s);
    makeOld(single, u"single"_s);
    schema::ensureSchema(single);
    EXPECT_EQ(startTogether(workers_, {"--db", raced.target().toConnectionString(), "--default",
                                       dir_.filePath(u"elsewhere.sqlite"_s)}),
              QStringList(workers_, u"opened"_s));
    expectMadeOnce(raced, single);
}

// The embedded database's first run is on a file whatever the tests run on.
TEST_P(StartupRaceTest, FirstRunAtTheDefaultPlaceMakesOneDemoDatabase) {
    const QString path = dir_.filePath(u"share/otherin.sqlite"_s);
    EXPECT_EQ(startTogether(workers_, {"--db", path, "--default", path}),
              QStringList(workers_, u"opened"_s));
    Connection raced, single;
    raced.open(u"sqlite:"_s + path);
    single.open(u"sqlite:"_s + dir_.filePath(u"single.sqlite"_s));
    ASSERT_TRUE(schema::ensureSchema(single, schema::Contents::Demo));
    expectMadeOnce(raced, single);
}

// One init makes the database with its demo data; the others find it made.
TEST_P(StartupRaceTest, InitWithDemoDataMakesTheDatabaseOnce) {
    const QString url = emptyDatabase(u"raced"_s);
    const auto target = otherin::db::parseConnectionString(url);
    const QString name = TestDatabase::onServer() ? target.describe() : target.path;
    // On a server each init also sets the database's roles up, once.
    const otherin::db::ServerRoles roles{otherin::db::defaultRolePrefix(target.database)};
    const QString rolesLine =
        TestDatabase::onServer()
            ? u"\n服务器角色: %1（所有者，不能登录）、%2（录单员组）、%3（管理员组）"_s.arg(
                  roles.owner(), roles.clerk(), roles.admin())
            : QString();
    QStringList expected(
        workers_ - 1,
        u"数据库 %1 已存在，已更新到版本 %2；已有的数据库不装入演示数据"_s.arg(name).arg(
            schema::kVersion) +
            rolesLine);
    QString demoUsers;
    if (TestDatabase::onServer())
        for (const auto& [id, number] :
             {std::pair{1, "admin"}, std::pair{2, "zhang"}, std::pair{3, "li"}})
            demoUsers += u"\n演示用户 %1: 登录名 %2_demo_%3，密码 demo-%3"_s.arg(id).arg(
                roles.prefix, QLatin1String(number));
    expected << u"已新建数据库 %1，含演示数据"_s.arg(name) + rolesLine + demoUsers;
    expected.sort();
    EXPECT_EQ(startTogether(workers_, {"--init", "--demo", "--db", url}), expected);
    Connection raced, single;
    raced.open(url);
    single.open(emptyDatabase(u"single"_s));
    ASSERT_TRUE(schema::ensureSchema(single, schema::Contents::Demo));
    expectMadeOnce(raced, single);
}

INSTANTIATE_TEST_SUITE_P(Processes, StartupRaceTest, ::testing::Values(2, 4, 8));

}  // namespace
