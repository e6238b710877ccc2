// Behaviour that only a database server has: logins it refuses, connections it
// drops. Skipped on SQLite, which has neither.
#include <gtest/gtest.h>

#include "db/connection.h"
#include "db/connection_string.h"
#include "db/db_error.h"
#include "db/transaction.h"
#include "support/test_database.h"

using namespace otherin::db;
using otherin::testing::TestDatabase;

namespace {

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

    ConnectionTarget missingDatabase = target_;
    missingDatabase.database = QStringLiteral("no_such_stock_db");
    const QString missing = openFailure(missingDatabase);
    EXPECT_TRUE(missing.contains(QStringLiteral("no_such_stock_db"))) << missing.toStdString();
    EXPECT_TRUE(missing.contains(QStringLiteral("does not exist"))) << missing.toStdString();

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
    const qlonglong backend = c.scalar(QStringLiteral("select pg_backend_pid()")).toLongLong();
    c.close();
    // the same physical connection serves the next operation
    c.open(cs);
    EXPECT_EQ(c.scalar(QStringLiteral("select pg_backend_pid()")).toLongLong(), backend);
    c.close();
    EXPECT_EQ(c.connectCount(), 1);

    // the server ends the session, as a restart does
    Connection admin;
    admin.open(cs);
    ASSERT_TRUE(admin.scalar(QStringLiteral("select pg_terminate_backend(?)"), {backend}).toBool());

    c.open(cs);
    {
        TransactionGuard tx(c);
        c.exec(QStringLiteral("insert into t(n) values(?)"), {1});
        tx.commit();
    }
    EXPECT_EQ(c.connectCount(), 2);
    EXPECT_NE(c.scalar(QStringLiteral("select pg_backend_pid()")).toLongLong(), backend);
    EXPECT_EQ(admin.scalar(QStringLiteral("select count(*) from t")).toInt(), 1);
}

}  // namespace
