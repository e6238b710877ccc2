#include <gtest/gtest.h>

#include <QSqlDriver>
#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "db/connection.h"
#include "db/db_error.h"
#include "db/sqlite_busy.h"
#include "db/transaction.h"
#include "support/qstring_print.h"
#include "support/test_database.h"

using namespace otherin::db;
using namespace std::chrono_literals;
using otherin::testing::TestDatabase;

namespace {

// Another clerk's program in the middle of a save: a connection of its own,
// in a thread of its own, that holds the file's write lock (a written row,
// not committed) from construction until release() or until `holdAtMost`
// has passed, whichever comes first.
class LockHolder {
  public:
    LockHolder(const QString& connectionString, std::chrono::milliseconds holdAtMost) {
        auto taken = taken_.get_future();
        thread_ = std::thread([this, connectionString, holdAtMost] {
            try {
                Connection c;
                c.open(connectionString);
                TransactionGuard tx(c);
                c.exec(QStringLiteral("insert into t(who) values('holder')"));
                held_ = true;
                taken_.set_value();
                released_.get_future().wait_for(holdAtMost);
                held_ = false;
                tx.commit();
            } catch (const DbError& e) {
                failure_ = e.message();
                taken_.set_value();
            }
        });
        taken.wait();
    }
    ~LockHolder() { finish(); }

    bool held() const { return held_; }
    // Ends the transaction; answers what went wrong in the holder, if anything.
    QString finish() {
        if (thread_.joinable()) {
            released_.set_value();
            thread_.join();
        }
        return failure_;
    }

  private:
    std::promise<void> taken_;
    std::promise<void> released_;
    std::atomic<bool> held_{false};
    QString failure_;
    std::thread thread_;
};

class SqliteBusyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (TestDatabase::onServer()) GTEST_SKIP() << "one embedded file shared by two programs";
        db_.exec(QStringLiteral("create table t(id integer primary key, who text)"));
        cs_ = db_.connectionString();
        c_.open(cs_);
    }
    void write(const char* who) {
        TransactionGuard tx(c_);
        c_.exec(QStringLiteral("insert into t(who) values(?)"), {QString::fromUtf8(who)});
        tx.commit();
    }
    QString writers() {
        return c_
            .scalar(QStringLiteral("select group_concat(who,',') from (select who from t "
                                   "order by id)"))
            .toString();
    }

    TestDatabase db_{TestDatabase::Seed::Empty, TestDatabase::Roles::None};
    QString cs_;
    Connection c_;
};

// A save that meets another program's write lock waits for it and then
// writes, after the other's commit; the driver's own timed wait is replaced.
TEST_F(SqliteBusyTest, WriteWaitsForAnotherProgramsLockAndThenGoesThrough) {
    EXPECT_EQ(c_.scalar(QStringLiteral("pragma busy_timeout")).toInt(), 0);
    LockHolder other(cs_, 200ms);
    ASSERT_TRUE(other.held());
    write("clerk");
    EXPECT_FALSE(other.held());
    EXPECT_EQ(other.finish(), QString());
    EXPECT_EQ(writers(), QStringLiteral("holder,clerk"));
}

// A lock held past the deadline is told in the clerk's words while the other
// program still holds it; the next wait has a deadline of its own, so the
// give-up of the last one does not cut it short.
TEST_F(SqliteBusyTest, LockHeldPastTheDeadlineIsToldAsBusyAndTheNextWaitStartsAfresh) {
    ASSERT_TRUE(waitBrieflyWhenBusy(c_.driver(), 300));
    {
        LockHolder other(cs_, 5s);
        ASSERT_TRUE(other.held());
        try {
            write("too late");
            ADD_FAILURE() << "the write went through while another program held the lock";
        } catch (const DbError& e) {
            EXPECT_TRUE(other.held());
            EXPECT_EQ(e.code().toInt() & 0xff, 5) << e.code().toStdString();
            EXPECT_TRUE(e.message().contains(QStringLiteral("正被另一个程序锁定")))
                << e.message().toStdString();
            EXPECT_TRUE(e.message().contains(db_.path())) << e.message().toStdString();
        }
        EXPECT_EQ(other.finish(), QString());
    }
    EXPECT_EQ(c_.transactionDepth(), 0);
    LockHolder again(cs_, 100ms);
    ASSERT_TRUE(again.held());
    write("clerk");
    EXPECT_EQ(again.finish(), QString());
    EXPECT_EQ(writers(), QStringLiteral("holder,holder,clerk"));
}

}  // namespace
