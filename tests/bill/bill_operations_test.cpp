#include <gtest/gtest.h>

#include <functional>
#include <latch>
#include <optional>
#include <thread>

#include "bill/bill_operations.h"
#include "entry/login_context.h"
#include "support/scripted_prompter.h"
#include "support/test_database.h"

using namespace otherin;
using otherin::testing::ScriptedPrompter;
using otherin::testing::TestDatabase;

namespace {

class BillOperationsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ctx_.DBConnectionString = db_.connectionString();
        ctx_.msgTitle = QStringLiteral("标题");
        ctx_.gLoginUserId = QStringLiteral("2");
        ctx_.gBillTypeId = 7;
        ctx_.gPeriodStartDate = QStringLiteral("2026-12-01");
        prompter_.watch(ctx_.gConnection);
    }

    // Bill QT<id, two digits> of warehouse 1 by user `operatorId`, lines (item, qty) at price 2
    // on batch B1.
    void addBill(int id, const QList<std::pair<int, double>>& lines, int status = 0,
                 int cancelled = 0, const char* date = "2026-12-05", int operatorId = 2) {
        db_.exec(QStringLiteral("insert into icstockbill(finterid,fbillno,fdate,ftrantype,fstatus,"
                                "fcancellation,fOperator,fstockid1) values(?,?,?,7,?,?,?,1)"),
                 {id, QStringLiteral("QT%1").arg(id, 2, 10, QLatin1Char('0')), QLatin1String(date),
                  status, cancelled, operatorId});
        int entry = 1;
        for (const auto& [item, qty] : lines) {
            db_.exec(QStringLiteral(
                         "insert into icstockbillentry(finterid,fentryid,forderid,fitemid,"
                         "funitid,fqty,fPrice,famount,fbatchno) values(?,?,?,?,1,?,2,?,'B1')"),
                     {id, entry, entry, item, qty, qty * 2});
            ++entry;
        }
    }
    // What the ledger holds of `item` before the test's operation.
    void inStock(int item, double qty) {
        db_.exec(QStringLiteral("insert into tblTimeStock(fstockid,fitemid,funitid,fbatchno,"
                                "fStockPlace,fqty,famount) values(1,?,1,'B1',0,?,?)"),
                 {item, qty, qty * 2});
    }

    double stockOf(int item) {
        return db_
            .scalar(
                QStringLiteral("select coalesce(sum(fqty),0) from tblTimeStock where fitemid=?"),
                {item})
            .toDouble();
    }
    int ledgerRows() {
        return db_.scalar(QStringLiteral("select count(*) from tblTimeStock")).toInt();
    }
    int status(int id) {
        return db_.scalar(QStringLiteral("select fstatus from icstockbill where finterid=?"), {id})
            .toInt();
    }

    TestDatabase db_;
    entry::LoginContext ctx_;
    ScriptedPrompter prompter_;
};

// Under audit posting (1) audit adds and un-audit takes back; under save posting
// (0) the saved bill is in the ledger already, audit leaves it, void takes it back
// and un-void brings it back.
TEST_F(BillOperationsTest, EachPostingSwitchMovesTheLedgerAtItsOwnSteps) {
    ctx_.gIsCheckUpdate = 1;
    addBill(1, {{101, 5}, {101, 3}});
    ASSERT_TRUE(bill::checkBill(ctx_, prompter_, QStringLiteral("1,1")));
    EXPECT_EQ(status(1), 1);
    EXPECT_EQ(
        db_.scalar(QStringLiteral("select fchecker from icstockbill where finterid=1")).toInt(), 2);
    EXPECT_DOUBLE_EQ(stockOf(101), 8.0);
    EXPECT_FALSE(ctx_.gConnection.isOpen());

    // a second audit is refused by number and posts nothing more
    EXPECT_FALSE(bill::checkBill(ctx_, prompter_, QStringLiteral("1")));
    EXPECT_DOUBLE_EQ(stockOf(101), 8.0);

    ctx_.gIdList = QStringLiteral("1");
    ASSERT_TRUE(bill::unCheckBill(ctx_, prompter_));
    EXPECT_EQ(status(1), 0);
    // un-audit takes the lines back but leaves the zero row in place
    EXPECT_DOUBLE_EQ(stockOf(101), 0.0);
    EXPECT_EQ(ledgerRows(), 1);
    // void, un-void and delete of the unaudited bill leave the ledger alone
    ASSERT_TRUE(bill::cancelBill(ctx_, prompter_));
    EXPECT_DOUBLE_EQ(stockOf(101), 0.0);
    ASSERT_TRUE(bill::unCancelBill(ctx_, prompter_));
    EXPECT_DOUBLE_EQ(stockOf(101), 0.0);
    ASSERT_TRUE(bill::deleteBill(ctx_, prompter_));
    EXPECT_DOUBLE_EQ(stockOf(101), 0.0);

    ctx_.gIsCheckUpdate = 0;
    addBill(2, {{102, 4}});
    inStock(102, 4);
    ASSERT_TRUE(bill::checkBill(ctx_, prompter_, QStringLiteral("2")));
    EXPECT_DOUBLE_EQ(stockOf(102), 4.0);
    ctx_.gIdList = QStringLiteral("2");
    ASSERT_TRUE(bill::unCheckBill(ctx_, prompter_));
    EXPECT_DOUBLE_EQ(stockOf(102), 4.0);
    ASSERT_TRUE(bill::cancelBill(ctx_, prompter_));
    EXPECT_DOUBLE_EQ(stockOf(102), 0.0);
    ASSERT_TRUE(bill::unCancelBill(ctx_, prompter_));
    EXPECT_DOUBLE_EQ(stockOf(102), 4.0);
}

using Operation = bool (*)(entry::LoginContext&, entry::Prompter&);

bool audit(entry::LoginContext& ctx, entry::Prompter& prompter) {
    return bill::checkBill(ctx, prompter, ctx.gIdList);
}

// Every refusal of the five operations is told only after the transaction has
// ended (the fixture's prompter fails the test on any dialogue while the
// operation's connection is in one), and one refused bill stops the whole list.
TEST_F(BillOperationsTest, RefusalsAreToldAfterTheTransactionEndsAndChangeNothing) {
    addBill(1, {{101, 5}}, 1);
    addBill(2, {{101, 5}}, 0, 0, "2026-12-01");
    addBill(3, {{101, 5}}, 0, 1);
    addBill(4, {{101, 5}}, 0, 0, "2026-11-30");
    addBill(5, {{101, 1}}, 0, 0, "2026-12-05", 3);
    addBill(6, {{101, 5}}, 1);
    addBill(7, {{101, 5}}, 0, 1, "2026-11-30");
    addBill(8, {{101, 5}}, 1);
    addBill(9, {{101, 5}}, 1, 0, "2026-11-30");
    addBill(10, {{101, 5}}, 1);
    db_.execAll({QStringLiteral("update icstockbill set frscinterid=1 where finterid=6"),
                 QStringLiteral("update icstockbill set fposted=1 where finterid=8"),
                 QStringLiteral("update icstockbill set fhxid=5 where finterid=10")});
    const struct {
        Operation run;
        const char* ids;
        QString text;
        entry::Icon icon = entry::Icon::Exclamation;
        int ownBillsOnly = 0;
    } cases[] = {
        {audit, "2,1,3", QStringLiteral("编号为:QT01的单据已经审核!操作不成功")},
        {audit, "3", QStringLiteral("编号为:QT03的单据已经作废!操作不成功")},
        {audit, "99", QStringLiteral("数据读取错误！"), entry::Icon::None},
        {audit, "4", QStringLiteral("不能审核以前期间的单据，操作不成功！")},
        {audit, "1) or (1=1",
         QStringLiteral("单据内码列表无效: \"1) or (1=1\" 中的 \"1) or (1=1\" 不是整数内码"),
         entry::Icon::Critical},
        {&bill::unCheckBill, "2", QStringLiteral("编号为:QT02的单据未审核!操作不成功")},
        {&bill::unCheckBill, "1", QStringLiteral("您所选定的单据包含被拆分单据,不能进行反审核!")},
        {&bill::unCheckBill, "8", QStringLiteral("编号为:QT08的单据已经记账!操作不成功")},
        {&bill::unCheckBill, "9", QStringLiteral("不能反审核以前期间的单据，操作不成功！")},
        {&bill::unCheckBill, "10",
         QStringLiteral("编号为:QT10的单据已经核销,不能进行反审核,操作不成功")},
        {&bill::unCheckBill, "6",
         QStringLiteral("编号为:QT06的单据为拆分单据,不能进行反审核,操作不成功")},
        {&bill::cancelBill, "1", QStringLiteral("编号为:QT01的单据已经审核!操作不成功")},
        {&bill::cancelBill, "3", QStringLiteral("编号为:QT03的单据已经作废!操作不成功")},
        {&bill::cancelBill, "4", QStringLiteral("不能作废以前期间的单据，操作不成功！")},
        {&bill::unCancelBill, "2", QStringLiteral("编号为:QT02的单据未作废!操作不成功")},
        {&bill::unCancelBill, "7", QStringLiteral("不能反作废以前期间的单据，操作不成功！")},
        {&bill::deleteBill, "1", QStringLiteral("编号为:QT01的单据已经审核!操作不成功")},
        {&bill::deleteBill, "3", QStringLiteral("编号为:QT03的单据作废!操作不成功")},
        {&bill::deleteBill, "4", QStringLiteral("不能删除以前期间的单据，操作不成功！")},
        {&bill::deleteBill, "5", QStringLiteral("只能删除本人录入的单据,操作不成功！"),
         entry::Icon::Exclamation, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        prompter_.clear();
        ctx_.gIdList = QLatin1String(c.ids);
        ctx_.gUpdateSingleBill = c.ownBillsOnly;
        EXPECT_FALSE(c.run(ctx_, prompter_));
        EXPECT_TRUE(prompter_.onlyMessage(c.text, c.icon));
        EXPECT_EQ(ctx_.gConnection.transactionDepth(), 0);
    }
    EXPECT_EQ(db_.scalar(QStringLiteral("select sum(fstatus*finterid) from icstockbill")).toInt(),
              34);
    EXPECT_EQ(db_.scalar(QStringLiteral("select count(*) from icstockbill")).toInt(), 10);
    EXPECT_EQ(ledgerRows(), 0);

    // The period's first day counts; an administrator deletes any user's bill.
    EXPECT_TRUE(bill::checkBill(ctx_, prompter_, QStringLiteral("2")));
    ctx_.gUpdateSingleBill = 1;
    ctx_.IsAdmin = 1;
    ctx_.gIdList = QStringLiteral("5");
    EXPECT_TRUE(bill::deleteBill(ctx_, prompter_));
}

TEST_F(BillOperationsTest, DeleteFreesNumbersInReadOrderAndTakesStockBack) {
    addBill(4, {{101, 1}});
    addBill(5, {{101, 2}});
    addBill(6, {{102, 3}});
    inStock(101, 10);
    inStock(102, 3);
    ctx_.gIdList = QStringLiteral("4,5,6");
    ASSERT_TRUE(bill::deleteBill(ctx_, prompter_));
    EXPECT_EQ(db_.scalar(QStringLiteral("select count(*) from icstockbill")).toInt(), 0);
    EXPECT_EQ(db_.scalar(QStringLiteral("select count(*) from icstockbillentry")).toInt(), 0);
    EXPECT_EQ(
        db_.scalar(QStringLiteral("select group_concat(finterid||':'||fbillnumber||':'||ftypeid) "
                                  "from (select * from tblBillNoAdd order by finterid) as s"))
            .toString(),
        QStringLiteral("1:QT04:7,2:QT05:7,3:QT06:7"));
    EXPECT_DOUBLE_EQ(stockOf(101), 7.0);
    EXPECT_EQ(ledgerRows(), 1);  // item 102 reached 0 and went
}

TEST_F(BillOperationsTest, DatabaseErrorRollsBackBillsNumbersAndLedger) {
    addBill(1, {{101, 5}});
    inStock(101, 5);
    db_.refuseWrites(QStringLiteral("icstockbillentry"), QStringLiteral("delete"),
                     QStringLiteral("lines are protected"));
    ctx_.gIdList = QStringLiteral("1");
    EXPECT_FALSE(bill::deleteBill(ctx_, prompter_));
    ASSERT_EQ(prompter_.messages().size(), 1u);
    EXPECT_EQ(prompter_.messages()[0].icon, entry::Icon::Critical);
    EXPECT_TRUE(prompter_.messages()[0].text.contains(QStringLiteral("lines are protected")));
    EXPECT_EQ(db_.scalar(QStringLiteral("select count(*) from icstockbill")).toInt(), 1);
    EXPECT_EQ(db_.scalar(QStringLiteral("select count(*) from tblBillNoAdd")).toInt(), 0);
    EXPECT_DOUBLE_EQ(stockOf(101), 5.0);
    EXPECT_FALSE(ctx_.gConnection.isOpen());
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

TEST_F(BillOperationsTest, ARefusalWaitingForTheUserDoesNotBlockAnotherUsersAudit) {
    addBill(1, {{101, 5}}, 1);
    addBill(2, {{102, 4}});
    entry::LoginContext other;
    other.DBConnectionString = db_.connectionString();
    other.gLoginUserId = QStringLiteral("3");
    other.gIsCheckUpdate = 1;
    ScriptedPrompter otherPrompter;
    otherPrompter.watch(other.gConnection);
    std::optional<bool> otherAudited;
    LatePrompter late;
    late.watch(ctx_.gConnection);
    late.whileOpen = [&] { otherAudited = bill::checkBill(other, otherPrompter, "2"); };

    EXPECT_FALSE(bill::checkBill(ctx_, late, QStringLiteral("1")));
    EXPECT_EQ(late.lastText(), QStringLiteral("编号为:QT01的单据已经审核!操作不成功"));
    ASSERT_TRUE(otherAudited.has_value());
    EXPECT_TRUE(*otherAudited) << otherPrompter.lastText().toStdString();
    EXPECT_TRUE(otherPrompter.messages().empty());
    EXPECT_EQ(status(2), 1);
    EXPECT_DOUBLE_EQ(stockOf(102), 4.0);
}

// Two users audit overlapping selections, listed in opposite orders, at the same
// moment. Whoever locks first audits all of its bills; the other is refused by
// the state it then reads (never by a deadlock), and the ledger holds each bill
// once.
TEST_F(BillOperationsTest, TwoUsersAuditingOverlappingBillsAuditEachBillOnce) {
    for (int id = 1; id <= 4; ++id) {
        addBill(id, {{101, id}, {102, 1}});
    }
    bool done[2] = {false, false};
    QString told[2];
    std::latch start(2);
    auto audit = [&](int k, const char* user, const char* ids) {
        entry::LoginContext ctx;
        ctx.DBConnectionString = db_.connectionString();
        ctx.gLoginUserId = QString::fromLatin1(user);
        ctx.gIsCheckUpdate = 1;
        ctx.gPeriodStartDate = QStringLiteral("2026-12-01");
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
    const QList<int> audited = winner == 0 ? QList<int>{1, 2, 3} : QList<int>{2, 3, 4};
    int qty = 0;
    for (int id = 1; id <= 4; ++id) {
        EXPECT_EQ(status(id), audited.contains(id) ? 1 : 0) << id;
        if (audited.contains(id)) qty += id;
    }
    EXPECT_DOUBLE_EQ(stockOf(101), qty);
    EXPECT_DOUBLE_EQ(stockOf(102), 3.0);
}

}  // namespace
