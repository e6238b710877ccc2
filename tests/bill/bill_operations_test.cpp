#include <gtest/gtest.h>

#include <functional>
#include <latch>
#include <optional>
#include <thread>

#include "bill/bill_operations.h"
#include "scenario.h"
#include "support/scripted_prompter.h"

using namespace otherin;
using namespace otherin::testing;
using enum Op;
using enum entry::Icon;

namespace {

const char* const kOkAgain = "编号为:QT01的单据已经审核!操作不成功";
const char* const kVoided = "编号为:QT03的单据已经作废!操作不成功";

// Under audit posting (1) audit adds and un-audit takes back; under save posting
// (0) the saved bill is in the ledger already, void takes it back and un-void
// brings it back. Void, un-void and delete never post under audit posting.
const Scenario kPosting[] = {
    {.bills = "1 101*5 101*3",
     .arg = "1,1",
     .answer = true,
     .after = "1AC2",
     .ledgerAfter = "101:8=16"},
    {.bills = "1A 101*5 101*3",
     .ledger = "101:8",
     .op = UnAudit,
     .arg = "1",
     .answer = true,
     .after = "1",
     .ledgerAfter = "101:0=0"},
    {.bills = "1 101*5", .ledger = "101:5", .op = Void, .arg = "1", .answer = true, .after = "1V"},
    {.bills = "1V 101*5",
     .ledger = "101:5",
     .op = UnVoid,
     .arg = "1",
     .answer = true,
     .after = "1"},
    {.bills = "1 101*5",
     .ledger = "101:5",
     .op = Delete,
     .arg = "1",
     .answer = true,
     .after = "",
     .freed = "1:QT01"},
    {.bills = "2 102*4",
     .ledger = "102:4",
     .arg = "2",
     .posting = 0,
     .answer = true,
     .after = "2AC2"},
    {.bills = "2A 102*4",
     .ledger = "102:4",
     .op = UnAudit,
     .arg = "2",
     .posting = 0,
     .answer = true,
     .after = "2"},
    {.bills = "2 102*4",
     .ledger = "102:4",
     .op = Void,
     .arg = "2",
     .posting = 0,
     .answer = true,
     .after = "2V",
     .ledgerAfter = ""},
    {.bills = "2V 102*4",
     .op = UnVoid,
     .arg = "2",
     .posting = 0,
     .answer = true,
     .after = "2",
     .ledgerAfter = "102:4=8"},
    // numbers are freed in read order; an item down to 0 leaves the ledger
    {.bills = "4 101*1; 5 101*2; 6 102*3",
     .ledger = "101:10 102:3",
     .op = Delete,
     .arg = "6,4,5",
     .posting = 0,
     .answer = true,
     .after = "",
     .ledgerAfter = "101:7=14",
     .freed = "1:QT04 2:QT05 3:QT06"},
    // a database error takes back bills, numbers and ledger
    {.bills = "1 101*5",
     .ledger = "101:5",
     .op = Delete,
     .arg = "1",
     .posting = 0,
     .mode = "protect",
     .text = "lines are protected",
     .icon = Critical},
    // the period's first day counts; an administrator deletes any user's bill
    {.bills = "2F 101*5", .arg = "2", .answer = true, .after = "2AC2", .ledgerAfter = "101:5=10"},
    {.bills = "5U3 101*5",
     .op = Delete,
     .arg = "5",
     .mode = "own admin",
     .answer = true,
     .after = "",
     .freed = "1:QT05"},
};

// Every refusal is told after the transaction has ended, changes nothing, and
// one refused bill stops the whole list.
const Scenario kRefusals[] = {
    {.bills = "1A 101*5; 2F 101*5; 3V 101*5", .arg = "2,1,3", .text = kOkAgain},
    {.bills = "3V 101*5", .arg = "3", .text = kVoided},
    {.bills = "1 101*5", .arg = "99", .text = "数据读取错误！", .icon = None},
    {.bills = "4O 101*5", .arg = "4", .text = "不能审核以前期间的单据，操作不成功！"},
    {.bills = "1 101*5",
     .arg = "1) or (1=1",
     .text = "单据内码列表无效: \"1) or (1=1\" 中的 \"1) or (1=1\" 不是整数内码",
     .icon = Critical},
    {.bills = "2 101*5", .op = UnAudit, .arg = "2", .text = "编号为:QT02的单据未审核!操作不成功"},
    {.bills = "1A 101*5; 6AS1 101*5",
     .op = UnAudit,
     .arg = "1",
     .text = "您所选定的单据包含被拆分单据,不能进行反审核!"},
    {.bills = "8AP 101*5",
     .op = UnAudit,
     .arg = "8",
     .text = "编号为:QT08的单据已经记账!操作不成功"},
    {.bills = "9AO 101*5",
     .op = UnAudit,
     .arg = "9",
     .text = "不能反审核以前期间的单据，操作不成功！"},
    {.bills = "10AH5 101*5",
     .op = UnAudit,
     .arg = "10",
     .text = "编号为:QT10的单据已经核销,不能进行反审核,操作不成功"},
    {.bills = "1A 101*5; 6AS1 101*5",
     .op = UnAudit,
     .arg = "6",
     .text = "编号为:QT06的单据为拆分单据,不能进行反审核,操作不成功"},
    {.bills = "1A 101*5", .op = Void, .arg = "1", .text = kOkAgain},
    {.bills = "3V 101*5", .op = Void, .arg = "3", .text = kVoided},
    {.bills = "4O 101*5", .op = Void, .arg = "4", .text = "不能作废以前期间的单据，操作不成功！"},
    {.bills = "1 101*5", .op = Void, .arg = "99", .text = "数据读取错误！"},
    {.bills = "2 101*5", .op = UnVoid, .arg = "2", .text = "编号为:QT02的单据未作废!操作不成功"},
    {.bills = "7VO 101*5",
     .op = UnVoid,
     .arg = "7",
     .text = "不能反作废以前期间的单据，操作不成功！"},
    {.bills = "1 101*5", .op = UnVoid, .arg = "99", .text = "数据读取错误！", .icon = Critical},
    {.bills = "1A 101*5", .op = Delete, .arg = "1", .text = kOkAgain},
    {.bills = "3V 101*5", .op = Delete, .arg = "3", .text = "编号为:QT03的单据作废!操作不成功"},
    {.bills = "4O 101*5", .op = Delete, .arg = "4", .text = "不能删除以前期间的单据，操作不成功！"},
    {.bills = "5U3 101*5",
     .op = Delete,
     .arg = "5",
     .mode = "own",
     .text = "只能删除本人录入的单据,操作不成功！"},
};

TEST(BillOperationsTest, EachPostingSwitchMovesTheLedgerAtItsOwnSteps) {
    runScenarios(kPosting);
}

TEST(BillOperationsTest, RefusalsAreToldAfterTheTransactionEndsAndChangeNothing) {
    runScenarios(kRefusals);
}

// Answers its message late: while the box is still open, another user audits
// another bill on a connection of their own.
class LatePrompter : public ScriptedPrompter {
  public:
    std::function<void()> whileOpen;
    void message(const QString& text, entry::Icon icon, const QString& title) override {
        ScriptedPrompter::message(text, icon, title);
        if (whileOpen) whileOpen();
    }
};

TEST(BillOperationsTest, ARefusalWaitingForTheUserDoesNotBlockAnotherUsersAudit) {
    TestDatabase db;
    seedScenario(db, {.bills = "1A 101*5; 2 102*4"});
    entry::LoginContext ctx, other;
    logIn(ctx, db, QStringLiteral("2"));
    logIn(other, db, QStringLiteral("3"));
    other.gIsCheckUpdate = 1;
    ScriptedPrompter otherPrompter;
    otherPrompter.watch(other.gConnection);
    std::optional<bool> otherAudited;
    LatePrompter late;
    late.watch(ctx.gConnection);
    late.whileOpen = [&] { otherAudited = bill::checkBill(other, otherPrompter, "2"); };

    EXPECT_FALSE(bill::checkBill(ctx, late, QStringLiteral("1")));
    EXPECT_EQ(late.lastText(), QString::fromUtf8(kOkAgain));
    ASSERT_TRUE(otherAudited.has_value());
    EXPECT_TRUE(*otherAudited) << otherPrompter.lastText().toStdString();
    EXPECT_TRUE(otherPrompter.messages().empty());
    EXPECT_EQ(db.scalar(QStringLiteral("select fstatus from icstockbill where finterid=2")).toInt(),
              1);
    EXPECT_EQ(db.scalar(QStringLiteral("select sum(fqty) from tblTimeStock")).toDouble(), 4.0);
}

// Two users audit overlapping selections, listed in opposite orders, at the same
// moment. Whoever locks first audits all of its bills; the other is refused by
// the state it then reads (never by a deadlock), and the ledger holds each bill
// once.
TEST(BillOperationsTest, TwoUsersAuditingOverlappingBillsAuditEachBillOnce) {
    TestDatabase db;
    seedScenario(db, {.bills = "1 101*1 102*1; 2 101*2 102*1; 3 101*3 102*1; 4 101*4 102*1"});
    bool done[2] = {false, false};
    QString told[2];
    std::latch start(2);
    auto audit = [&](int k, const char* user, const char* ids) {
        entry::LoginContext ctx;
        logIn(ctx, db, QLatin1String(user));
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
    EXPECT_EQ(
        db.scalar(QStringLiteral("select sum(finterid) from icstockbill where fstatus=1")).toInt(),
        winner == 0 ? 6 : 9);
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from icstockbill where fstatus=1")).toInt(),
              3);
    EXPECT_EQ(
        db.scalar(QStringLiteral("select fqty from tblTimeStock where fitemid=101")).toDouble(),
        winner == 0 ? 6.0 : 9.0);
    EXPECT_EQ(
        db.scalar(QStringLiteral("select fqty from tblTimeStock where fitemid=102")).toDouble(),
        3.0);
}

}  // namespace
