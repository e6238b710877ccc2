#include <gtest/gtest.h>

#include <QCoreApplication>

#include <latch>
#include <thread>

#include "bill/bill_operations.h"
#include "scenario.h"
#include "support/scripted_prompter.h"

using namespace otherin;
using namespace otherin::testing;

namespace {

// Under audit posting audit adds and un-audit takes back; under save posting
// the saved bill is in the ledger already, void takes it back and un-void
// brings it back. Void, un-void and delete never post under audit posting.
const Scenario kPosting[] = {
    {"1 101*5 101*3", "audit 1,1", "+", "1AC2 | 101:8=16"},
    {"1A 101*5 101*3 | 101:8", "unaudit 1", "+", "1 | 101:0=0"},
    {"1 101*5 | 101:5", "void 1", "+", "1V"},
    {"1V 101*5 | 101:5", "unvoid 1", "+", "1"},
    {"1 101*5 | 101:5", "delete 1", "+", "- | ~ | 1:QT01"},
    {"2 102*4 | 102:4", "audit/save 2", "+", "2AC2"},
    {"2A 102*4 | 102:4", "unaudit/save 2", "+", "2"},
    {"2 102*4 | 102:4", "void/save 2", "+", "2V | -"},
    {"2V 102*4", "unvoid/save 2", "+", "2 | 102:4=8"},
    // numbers are freed in read order; an item down to 0 leaves the ledger
    {"4 101*1; 5 101*2; 6 102*3 | 101:10 102:3", "delete/save 6,4,5", "+",
     "- | 101:7=14 | 1:QT04 2:QT05 3:QT06"},
    // a database error takes back bills, numbers and ledger
    {"1 101*5 | 101:5", "delete/save/protect 1", "-x lines are protected"},
    // the period's first day counts; an administrator deletes any user's bill
    {"2F 101*5", "audit 2", "+", "2AC2 | 101:5=10"},
    // an audit that posts leaves no empty ledger row behind, a clerk's neither
    {"1 101*-5 | 101:5", "audit 1", "+", "1AC2 | -"},
    {"1 101*-5 102*1 | 101:5", "audit/clerk 1", "+", "1AC2 | 102:1=2"},
    {"5U3 101*5", "delete/own/admin 5", "+", "- | ~ | 1:QT05"},
};

// On a server, a clerk's own login holding the rights passes the server's
// rules in every operation that moves a bill's state and the ledger.
const Scenario kAsAClerk[] = {
    {"1 101*5 101*3", "audit/clerk 1,1", "+", "1AC2 | 101:8=16"},
    {"~", "unaudit/clerk 1", "+", "1 | 101:0=0"},
    {"2 102*4 | 102:4", "void/save/clerk 2", "+", "2V | -"},
    {"~", "unvoid/save/clerk 2", "+", "2 | 102:4=8"},
    {"4 101*1; 5 101*2; 6 102*3 | 101:10 102:3", "delete/save/clerk 6,4,5", "+",
     "- | 101:7=14 | 1:QT04 2:QT05 3:QT06"},
};

// Every refusal is told after the transaction has ended, changes nothing, and
// one refused bill stops the whole list.
const Scenario kRefusals[] = {
    {"1A 101*5; 2F 101*5; 3V 101*5", "audit 2,1,3", "-! 编号为:QT01的单据已经审核!操作不成功"},
    {"3V 101*5", "audit 3", "-! 编号为:QT03的单据已经作废!操作不成功"},
    {"1 101*5", "audit 99", "-0 数据读取错误！"},
    {"4O 101*5", "audit 4", "-! 不能审核以前期间的单据，操作不成功！"},
    {"1 101*5", "audit 1) or (1=1",
     "-x 单据内码列表无效: \"1) or (1=1\" 中的 \"1) or (1=1\" 不是整数内码"},
    {"2 101*5", "unaudit 2", "-! 编号为:QT02的单据未审核!操作不成功"},
    {"1A 101*5; 6AS1 101*5", "unaudit 1", "-! 您所选定的单据包含被拆分单据,不能进行反审核!"},
    {"8AP 101*5", "unaudit 8", "-! 编号为:QT08的单据已经记账!操作不成功"},
    {"9AO 101*5", "unaudit 9", "-! 不能反审核以前期间的单据，操作不成功！"},
    {"10AH5 101*5", "unaudit 10", "-! 编号为:QT10的单据已经核销,不能进行反审核,操作不成功"},
    {"1A 101*5; 6AS1 101*5", "unaudit 6",
     "-! 编号为:QT06的单据为拆分单据,不能进行反审核,操作不成功"},
    {"1A 101*5", "void 1", "-! 编号为:QT01的单据已经审核!操作不成功"},
    {"3V 101*5", "void 3", "-! 编号为:QT03的单据已经作废!操作不成功"},
    {"4O 101*5", "void 4", "-! 不能作废以前期间的单据，操作不成功！"},
    {"1 101*5", "void 99", "-! 数据读取错误！"},
    {"2 101*5", "unvoid 2", "-! 编号为:QT02的单据未作废!操作不成功"},
    {"7VO 101*5", "unvoid 7", "-! 不能反作废以前期间的单据，操作不成功！"},
    {"1 101*5", "unvoid 99", "-x 数据读取错误！"},
    {"1A 101*5", "delete 1", "-! 编号为:QT01的单据已经审核!操作不成功"},
    {"3V 101*5", "delete 3", "-! 编号为:QT03的单据作废!操作不成功"},
    {"4O 101*5", "delete 4", "-! 不能删除以前期间的单据，操作不成功！"},
    {"5U3 101*5", "delete/own 5", "-! 只能删除本人录入的单据,操作不成功！"},
};

TEST(BillOperationsTest, EachPostingSwitchMovesTheLedgerAtItsOwnSteps) {
    runScenarios(kPosting);
}

TEST(BillOperationsTest, AClerksOwnLoginPassesTheServersRulesInEveryOperation) {
    runScenarios(kAsAClerk);
}

TEST(BillOperationsTest, RefusalsAreToldAfterTheTransactionEndsAndChangeNothing) {
    runScenarios(kRefusals);
}

// A bill posted already (saved while the rule posted at save) is audited
// under posting at audit without being posted twice; its marker stays set.
TEST(BillOperationsTest, AnAuditNeverPostsABillTwice) {
    TestDatabase db;
    seedBills(db, QStringLiteral("1 101*5 | 101:5"));
    db.markPostedBills(0);
    entry::LoginContext ctx;
    logIn(ctx, db, QStringLiteral("2"));
    ctx.gIsCheckUpdate = 1;
    ScriptedPrompter prompter;
    ASSERT_TRUE(bill::checkBill(ctx, prompter, QStringLiteral("1")));
    EXPECT_EQ(stateOf(db), QStringLiteral("1AC2 | 101:5=10"));
    EXPECT_EQ(db.scalar(QStringLiteral("select fstockposted from icstockbill")).toInt(), 1);
}

// An audit of many bills, listed in any order, leaves one history row per
// bill: its number and the operation, with no texts (its lines are as they were).
TEST(BillOperationsTest, AnAuditOfManyBillsLeavesOneHistoryRowPerBill) {
    TestDatabase db;
    seedBills(db, QStringLiteral("1 101*1; 2 101*2; 3 102*3; 4 102*4"));
    entry::LoginContext ctx;
    logIn(ctx, db, QStringLiteral("2"));
    ctx.gIsCheckUpdate = 1;
    const qlonglong seen =
        db.scalar(QStringLiteral("select coalesce(max(fid),0) from otherin_history")).toLongLong();
    ScriptedPrompter prompter;
    ASSERT_TRUE(bill::checkBill(ctx, prompter, QStringLiteral("3,1,4")));
    EXPECT_EQ(db.column(QStringLiteral("select finterid||' '||fbillno||' '||fop||' '||"
                                       "length(fbefore||fafter) from otherin_history where "
                                       "fkind='bill' and fid>%1 order by finterid")
                            .arg(seen)),
              (QStringList{QStringLiteral("1 QT01 审核 0"), QStringLiteral("3 QT03 审核 0"),
                           QStringLiteral("4 QT04 审核 0")}));
}

// Two users audit overlapping selections, listed in opposite orders, at the same
// moment. Whoever locks first audits all of its bills; the other is refused by
// the state it then reads (never by a deadlock), and the ledger holds each bill
// once.
TEST(BillOperationsTest, TwoUsersAuditingOverlappingBillsAuditEachBillOnce) {
    TestDatabase db;
    seedBills(db, "1 101*1 102*1; 2 101*2 102*1; 3 101*3 102*1; 4 101*4 102*1");
    bool done[2] = {false, false};
    QString told[2];
    // On a server each user audits through a clerk's own login.
    QString logins[2];
    for (int k = 0; k < 2 && TestDatabase::onServer(); ++k) {
        logins[k] = db.linkClerkLogin(
            2 + k, QStringLiteral("ta%1_%2").arg(QCoreApplication::applicationPid()).arg(k),
            QStringLiteral("pw"));
    }
    std::latch start(2);
    auto audit = [&](int k, const char* user, const char* ids) {
        entry::LoginContext ctx;
        logIn(ctx, db, QLatin1String(user));
        if (!logins[k].isEmpty()) ctx.DBConnectionString = logins[k];
        ctx.gIsCheckUpdate = 1;
        ScriptedPrompter prompter;
        start.arrive_and_wait();
        done[k] = bill::checkBill(ctx, prompter, QString::fromLatin1(ids));
        told[k] = prompter.lastText();
    };
    std::thread a(audit, 0, "2", "1,2,3"), b(audit, 1, "3", "4,3,2");
    a.join();
    b.join();

    ASSERT_NE(done[0], done[1]) << told[0].toStdString() << " / " << told[1].toStdString();
    const int winner = done[0] ? 0 : 1;
    EXPECT_TRUE(told[1 - winner].contains(QStringLiteral("的单据已经审核!操作不成功")))
        << told[1 - winner].toStdString();
    EXPECT_EQ(stateOf(db), winner == 0 ? QStringLiteral("1AC2; 2AC2; 3AC2; 4 | 101:6=12 102:3=6")
                                       : QStringLiteral("1; 2AC3; 3AC3; 4AC3 | 101:9=18 102:3=6"));
}

}  // namespace
