// Behaviour that only a database server has: logins it refuses, connections it
// drops, transactions it picks as deadlock victims. Skipped on SQLite, which
// has none of these; the retry rules themselves are checked on both.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <latch>
#include <set>
#include <thread>

#include "db/connection.h"
#include "db/connection_string.h"
#include "db/db_error.h"
#include "db/retry.h"
#include "db/schema.h"
#include "db/transaction.h"
#include "entry/database_file.h"
#include "entry/login_context.h"
#include "stock/bill_numbering.h"
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
        db_ = std::make_unique<TestDatabase>();
        target_ = parseConnectionString(db_->connectionString());
    }

    // The message of a connection that fails to open.
    QString openFailure(const ConnectionTarget& target) {
        Connection c;
        try {
            c.open(target.toConnectionString());
        } catch (const DbError& e) {
            EXPECT_FALSE(c.isOpen());
            return e.message();
        }
        ADD_FAILURE() << "opened " << target.describe().toStdString();
        return QString();
    }

    std::unique_ptr<TestDatabase> db_;
    ConnectionTarget target_;
};

TEST_F(ServerTest, RefusedLoginsNameTheServerAndTheReasonButNoPassword) {
    ConnectionTarget unknownUser = target_;
    unknownUser.user = QStringLiteral("no_such_clerk");
    unknownUser.password = QStringLiteral("s3cret-word");
    const QString refused = openFailure(unknownUser);
    EXPECT_TRUE(refused.contains(unknownUser.describe())) << refused.toStdString();
    EXPECT_TRUE(refused.contains(QStringLiteral("no_such_clerk"))) << refused.toStdString();
    EXPECT_FALSE(refused.contains(QStringLiteral("s3cret-word"))) << refused.toStdString();

    ConnectionTarget noServer = target_;
    noServer.host = QStringLiteral("/nonexistent/otherin-socket");
    noServer.password = QStringLiteral("s3cret-word");
    const QString unreachable = openFailure(noServer);
    EXPECT_TRUE(unreachable.contains(QStringLiteral("/nonexistent/otherin-socket")))
        << unreachable.toStdString();
    EXPECT_FALSE(unreachable.contains(QStringLiteral("s3cret-word"))) << unreachable.toStdString();
}

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

// An operation whose connection broke is run again on a new one only when it
// had written nothing; one that had committed is reported, never repeated.
TEST_F(ServerTest, BrokenConnectionIsRetriedOnlyWhenNothingWasWritten) {
    const QString cs = db_->connectionString();
    Connection admin;
    admin.open(cs);
    admin.exec(QStringLiteral("create table t(n integer)"));
    struct Case {
        const char* name;
        bool commitFirst;  // the operation commits a row before the break
        int attempts;
        int rows;
        bool fails;
    };
    for (const Case& k : {Case{"nothing written", false, 2, 1, false},
                          Case{"written before the break", true, 1, 1, true}}) {
        SCOPED_TRACE(k.name);
        admin.exec(QStringLiteral("delete from t"));
        Connection c;
        c.open(cs);
        int attempts = 0;
        const auto operation = [&] {
            ++attempts;
            if (k.commitFirst) {
                TransactionGuard tx(c);
                c.exec(QStringLiteral("insert into t(n) values(?)"), {attempts});
                tx.commit();
            }
            if (attempts == 1) endSession(admin, backendOf(c));
            TransactionGuard tx(c);
            if (!k.commitFirst) c.exec(QStringLiteral("insert into t(n) values(?)"), {attempts});
            tx.commit();
        };
        bool failed = false;
        try {
            retrying(c, operation);
        } catch (const DbError&) {
            failed = true;
        }
        EXPECT_EQ(failed, k.fails);
        EXPECT_EQ(attempts, k.attempts);
        EXPECT_EQ(admin.scalar(QStringLiteral("select count(*) from t")).toInt(), k.rows);
        c.close();
    }
}

// Two clerks lock the same rows in opposite orders: the server breaks the
// deadlock by failing one of them, which is run again and succeeds.
TEST_F(ServerTest, DeadlockVictimIsRunAgainAndBothFinish) {
    const QString cs = db_->connectionString();
    db_->execAll({QStringLiteral("create table t(id integer primary key, n integer)"),
                  QStringLiteral("insert into t(id,n) values(1,0),(2,0)")});
    std::atomic<int> attempts{0};
    std::latch bothLocked(2);
    std::atomic<bool> errors{false};
    auto clerk = [&](int first, int second) {
        Connection c;
        c.open(cs);
        bool firstRound = true;
        try {
            retrying(c, [&] {
                ++attempts;
                TransactionGuard tx(c);
                c.exec(QStringLiteral("update t set n=n+1 where id=?"), {first});
                if (firstRound) {
                    firstRound = false;
                    bothLocked.arrive_and_wait();
                }
                c.exec(QStringLiteral("update t set n=n+1 where id=?"), {second});
                tx.commit();
            });
        } catch (const DbError& e) {
            ADD_FAILURE() << e.message().toStdString();
            errors = true;
        }
    };
    std::thread a(clerk, 1, 2), b(clerk, 2, 1);
    a.join();
    b.join();
    EXPECT_FALSE(errors.load());
    EXPECT_GE(attempts.load(), 3);  // the victim ran again
    EXPECT_LE(attempts.load(), 1 + kOperationAttempts);
    EXPECT_EQ(db_->scalar(QStringLiteral("select sum(n) from t")).toInt(), 4);
}

// Two connections take ids and bill numbers at the same moment, without
// saving bills that would show a number as taken: none is issued twice.
TEST_F(ServerTest, TwoConnectionsNumberingAtOnceNeverShareANumber) {
    constexpr int kEach = 200;
    std::vector<std::pair<qint32, QString>> issued[2];
    std::latch start(2);
    auto clerk = [&](int k) {
        entry::LoginContext ctx;
        ctx.DBConnectionString = db_->connectionString();
        ctx.gBillTypeId = 7;
        ctx.gBillLength = 6;
        ctx.gConnection.open(ctx.DBConnectionString);
        start.arrive_and_wait();
        for (int i = 0; i < kEach; ++i) {
            const qint32 id = stock::nextInternalId(ctx.gConnection, QStringLiteral("ICStockBill"));
            TransactionGuard tx(ctx.gConnection);
            const QString number = stock::issueBillNumber(ctx, QString());
            tx.commit();
            issued[k].emplace_back(id, number);
        }
        ctx.gConnection.close();
    };
    std::thread a(clerk, 0), b(clerk, 1);
    a.join();
    b.join();
    std::set<qint32> ids;
    std::set<QString> numbers;
    for (const auto& list : issued) {
        for (const auto& [id, number] : list) {
            ids.insert(id);
            numbers.insert(number);
        }
    }
    EXPECT_EQ(ids.size(), size_t{2 * kEach});
    EXPECT_EQ(numbers.size(), size_t{2 * kEach});
}

// A server database is made by its administrator and filled by `otherin
// init`; the program never fills one on a first login.
TEST_F(ServerTest, InitFillsAnEmptyServerDatabaseWhichTheHostRefusesBefore) {
    ConnectionTarget admin = target_;
    admin.database = QStringLiteral("postgres");
    Connection server;
    server.open(admin.toConnectionString());
    ConnectionTarget empty = target_;
    empty.database = target_.database + QStringLiteral("_empty");
    server.exec(QStringLiteral("create database %1").arg(empty.database));
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
        EXPECT_EQ(entry::initDatabase(url, true),
                  QStringLiteral("已新建数据库 %1，含演示数据").arg(empty.describe()));
        EXPECT_EQ(entry::initDatabase(url, false),
                  QStringLiteral("数据库 %1 已存在，已更新到版本 %2")
                      .arg(empty.describe())
                      .arg(schema::kVersion));
        entry::openHostDatabase(host, url, embeddedDatabasePath());
        EXPECT_GT(host.scalar(QStringLiteral("select count(*) from tblUser")).toInt(), 0);
        EXPECT_EQ(schema::currentVersion(host), schema::kVersion);
    }
    server.exec(QStringLiteral("drop database %1 with (force)").arg(empty.database));
}

// The rules of retrying, whatever the database: conflicts a bounded number of
// times, nothing once a commit was asked for, other errors never.
TEST(RetryTest, ConflictsAreRetriedABoundedNumberOfTimesAndNothingDurableIsRepeated) {
    TestDatabase db;
    Connection& c = db.connection();
    c.exec(QStringLiteral("create table t(n integer)"));
    const DbError deadlock(QStringLiteral("deadlock detected"), QStringLiteral("40P01"));
    const DbError serialization(QStringLiteral("could not serialize"), QStringLiteral("40001"));
    const DbError other(QStringLiteral("syntax error"), QStringLiteral("42601"));
    struct Case {
        const char* name;
        bool commitFirst;                       // a transaction of its own commits first
        std::function<void(int attempt)> fail;  // throws to fail that attempt
        int attempts;
        bool fails;
        int rows;
    };
    const Case cases[] = {
        {"deadlock once", false,
         [&](int a) {
             if (a == 1) throw deadlock;
         },
         2, false, 1},
        {"serialization twice", false,
         [&](int a) {
             if (a < 3) throw serialization;
         },
         3, false, 1},
        {"conflict every time", false, [&](int) { throw deadlock; }, kOperationAttempts, true, 0},
        {"another error", false, [&](int) { throw other; }, 1, true, 0},
        {"conflict after a commit", true, [&](int) { throw deadlock; }, 1, true, 1},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        c.exec(QStringLiteral("delete from t"));
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
                TransactionGuard tx(c);
                c.exec(QStringLiteral("insert into t(n) values(?)"), {attempts});
                k.fail(attempts);
                tx.commit();
            });
        } catch (const DbError&) {
            failed = true;
        }
        EXPECT_EQ(attempts, k.attempts);
        EXPECT_EQ(failed, k.fails);
        EXPECT_EQ(c.transactionDepth(), 0);
        EXPECT_EQ(c.scalar(QStringLiteral("select count(*) from t")).toInt(), k.rows);
    }
}

}  // namespace
