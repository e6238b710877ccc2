#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "bill/bill_operations.h"
#include "bill/relation_operations.h"
#include "bill/split_save.h"
#include "db/db_error.h"
#include "db/procedures.h"
#include "entry/login_context.h"
#include "support/scripted_prompter.h"
#include "support/test_database.h"

using namespace otherin;
using entry::Icon;
using otherin::testing::TestDatabase;

namespace {

// Also records the buttons each question offered.
class Prompter : public otherin::testing::ScriptedPrompter {
  public:
    entry::Answer question(const QString& text, entry::Buttons buttons, Icon icon,
                           const QString& title) override {
        buttons_.push_back(buttons);
        return ScriptedPrompter::question(text, buttons, icon, title);
    }
    std::vector<entry::Buttons> buttons_;
};

class RelationOperationsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ctx_.DBConnectionString = db_.connectionString();
        ctx_.msgTitle = QStringLiteral("标题");
        ctx_.gLoginUserId = QStringLiteral("2");
        ctx_.IsAdmin = 1;
        ctx_.gRightPrefix = QStringLiteral("G");
        ctx_.gBillTypeId = 7;
        ctx_.gCurrentYear = 2026;
        ctx_.gCurrentPeriod = 12;
        ctx_.gPeriodStartDate = QStringLiteral("2026-12-01");
        prompter_.watch(ctx_.gConnection);
        db_.execAll(
            {QStringLiteral("insert into tblMaxBillNo(ftypeid,fbillno,fPreLetter,flength) "
                            "values(7,11,'QTRK',6)"),
             QStringLiteral("insert into tblmaxNum(ftablename,fmaxnum) values('ICStockBill',20)"),
             QStringLiteral("insert into icitem(fitemid,fNumber) values(101,'01.001')")});
    }

    // Bill QT0<id> of warehouse 1, audited unless told otherwise, with lines of
    // items 101, 102, ... at price 2 on batch B1.
    void addBill(int id, const char* date, const QList<double>& qtys, int status = 1) {
        db_.exec(QStringLiteral("insert into icstockbill(finterid,fbillno,fdate,ftrantype,fstatus,"
                                "fchecker,fstockid1) values(?,'QT0'||?,?,7,?,5,1)"),
                 {id, id, QLatin1String(date), status});
        for (int i = 0; i < qtys.size(); ++i) {
            db_.exec(QStringLiteral(
                         "insert into icstockbillentry(finterid,fentryid,forderid,fitemid,"
                         "funitid,fqty,fPrice,famount,fbatchno) values(?,?,?,?,1,?,2,?,'B1')"),
                     {id, i + 1, i + 1, 101 + i, qtys[i], qtys[i] * 2});
        }
    }
    int intOf(const QString& sql, const QVariantList& values = {}) {
        return db_.scalar(sql, values).toInt();
    }
    int writeOffId(int id) {
        return intOf(QStringLiteral("select fhxid from icstockbill where finterid=?"), {id});
    }

    TestDatabase db_;
    entry::LoginContext ctx_;
    Prompter prompter_;
};

TEST_F(RelationOperationsTest, SplitCheckRefusesInOrderAgainstTheFirstOfTheMonth) {
    for (int id = 1; id <= 7; ++id) {
        addBill(id, id == 2 ? "2026-11-30" : "2026-12-01", {5}, id == 3 ? 0 : 1);
    }
    db_.execAll({QStringLiteral("update icstockbill set fcancellation=1 where finterid in (3,4)"),
                 QStringLiteral("update icstockbill set frscinterid=1,fhxid=3 where finterid=5"),
                 QStringLiteral("update icstockbill set fhookinterid=2,fhxid=3 where finterid=6"),
                 QStringLiteral("update icstockbill set fhxid=3 where finterid=7")});
    // the audit checks' period start plays no part here
    ctx_.gPeriodStartDate = QStringLiteral("2026-12-10");

    ctx_.gCurrentInterId = 1;
    EXPECT_TRUE(bill::splitCheck(ctx_, prompter_));
    EXPECT_TRUE(prompter_.messages().empty());
    EXPECT_TRUE(ctx_.gConnection.isOpen());  // the editor goes on with it

    const std::vector<std::tuple<int, QString, Icon>> cases = {
        {2, QStringLiteral("不能进行拆分以前期间的单据"), Icon::Exclamation},
        {3, QStringLiteral("该单据未审核,不能进行拆分!"), Icon::Exclamation},
        {4, QStringLiteral("该单据已经作废,不能进行拆分!"), Icon::Exclamation},
        {5, QStringLiteral("该单据为拆分单据,不能进行再拆分!"), Icon::Exclamation},
        {6, QStringLiteral("该单据已经钩稽,不能进行再拆分!"), Icon::Exclamation},
        {7, QStringLiteral("该单据已经核销,不能进行再拆分!"), Icon::Exclamation},
        {99, QStringLiteral("数据读取错误!"), Icon::Critical},
    };
    for (const auto& [id, text, icon] : cases) {
        ctx_.gCurrentInterId = id;
        prompter_.clear();
        EXPECT_FALSE(bill::splitCheck(ctx_, prompter_)) << id;
        EXPECT_TRUE(prompter_.onlyMessage(text, icon, QStringLiteral("标题")));
        EXPECT_FALSE(ctx_.gConnection.isOpen());
    }
}

TEST_F(RelationOperationsTest, SplitBillsAndTheirSourcesStayAuditedUntilRestored) {
    addBill(1, "2026-12-05", {10, 4, 1});
    ctx_.gCurrentInterId = 1;
    ASSERT_TRUE(
        bill::splitSave(ctx_, prompter_, {QString(), QStringLiteral("2"), QStringLiteral("0")}));
    EXPECT_TRUE(prompter_.onlyMessage(QStringLiteral("拆分成功,新单据编号为:QTRK000012"),
                                      Icon::Information));
    EXPECT_FALSE(ctx_.gConnection.isOpen());

    ctx_.gIdList = QStringLiteral("1");
    EXPECT_FALSE(bill::unCheckBill(ctx_, prompter_));
    EXPECT_EQ(prompter_.lastText(), QStringLiteral("您所选定的单据包含被拆分单据,不能进行反审核!"));

    prompter_.clear();
    EXPECT_TRUE(bill::restoreBill(ctx_, prompter_, 21));
    EXPECT_TRUE(prompter_.onlyMessage(QStringLiteral("还原成功!"), Icon::Information));
    EXPECT_EQ(
        intOf(QStringLiteral("select fqty from icstockbillentry where finterid=1 and fentryid=2")),
        4);
    EXPECT_TRUE(bill::unCheckBill(ctx_, prompter_));
}

TEST_F(RelationOperationsTest, SplitSaveSendsTheListAsTypedAndReportsTheAnswer) {
    const bill::SplitList typed = bill::buildSplitList(
        {QString(), QStringLiteral("0"), QStringLiteral("0.00"), QStringLiteral("abc")});
    EXPECT_EQ(typed.text, QStringLiteral("0,0,0.00,abc,"));
    EXPECT_EQ(typed.cutLines, 1);  // the database refuses "abc" itself

    // a stand-in for the database's procedure, to see what it is sent
    db::ProcedureParams sent;
    int calls = 0;
    bool fail = false;
    ctx_.gConnection.procedures().add(QStringLiteral("sp_QV_splitSave"),
                                      [&](db::Connection&, db::ProcedureParams& p) {
                                          ++calls;
                                          sent = p;
                                          p.set(QStringLiteral("strInfo"), QStringLiteral("拒绝"));
                                          if (fail) throw db::DbError(QStringLiteral("磁盘已满"));
                                      });
    ctx_.gCurrentInterId = 1;
    ctx_.gIsCloseStock = 1;
    EXPECT_FALSE(bill::splitSave(ctx_, prompter_, {QStringLiteral("1")}));
    EXPECT_TRUE(prompter_.onlyMessage(QStringLiteral("当前期间已经关账,不能新增当前及以前期间单据"),
                                      Icon::Critical));
    ctx_.gIsCloseStock = 0;
    prompter_.clear();
    EXPECT_FALSE(bill::splitSave(ctx_, prompter_, {QString(), QStringLiteral("0.00")}));
    EXPECT_TRUE(prompter_.onlyMessage(QStringLiteral("拆单数量不能全都为零!"), Icon::Exclamation));
    EXPECT_EQ(calls, 0);

    // intValue left at -1: false, and the database's reason is shown
    prompter_.clear();
    ctx_.gCurrentYear = 2027;
    ctx_.gCurrentPeriod = 3;
    EXPECT_FALSE(
        bill::splitSave(ctx_, prompter_, {QString(), QStringLiteral("2"), QStringLiteral("0")}));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(sent.value(QStringLiteral("finterid")).toString(), QStringLiteral("1"));
    EXPECT_EQ(sent.value(QStringLiteral("strvalue")).toString(), QStringLiteral("0,2,0,"));
    EXPECT_EQ(sent.value(QStringLiteral("intValue")).toInt(), -1);
    EXPECT_EQ(sent.value(QStringLiteral("fyear")).toInt() * 100 +
                  sent.value(QStringLiteral("fperiod")).toInt(),
              202703);
    EXPECT_TRUE(prompter_.onlyMessage(QStringLiteral("拒绝"), Icon::Exclamation));
    EXPECT_FALSE(ctx_.gConnection.isOpen());

    fail = true;
    EXPECT_FALSE(bill::splitSave(ctx_, prompter_, {QStringLiteral("3")}));
    EXPECT_EQ(prompter_.lastText(), QStringLiteral("磁盘已满"));
    EXPECT_FALSE(ctx_.gConnection.isOpen());
}

TEST_F(RelationOperationsTest, WriteOffShowsWhatTheProcedureAnswers) {
    for (int id = 1; id <= 4; ++id)
        addBill(id, "2026-12-05", {id == 2 ? -5.0 : id == 4 ? -3.0 : 5.0});
    db_.exec(QStringLiteral("update icstockbill set frob=1 where finterid in (2,4)"));

    ctx_.gIdList = QStringLiteral("1,2");
    EXPECT_TRUE(bill::hxBill(ctx_, prompter_));
    EXPECT_TRUE(prompter_.onlyMessage(QStringLiteral("核销成功!"), Icon::Information));
    EXPECT_NE(writeOffId(1), 0);
    EXPECT_FALSE(ctx_.gConnection.isOpen());

    // a refusal is the procedure's answer: shown the same way, and true
    ctx_.gIdList = QStringLiteral("3,4");
    EXPECT_TRUE(bill::hxBill(ctx_, prompter_));
    EXPECT_EQ(prompter_.lastText(),
              QStringLiteral("物料01.001(批号B1)的数量不能相互抵销,不能进行核销!"));
    EXPECT_EQ(prompter_.messages().back().icon, Icon::Information);
    EXPECT_EQ(writeOffId(3) + writeOffId(4), 0);

    EXPECT_TRUE(bill::unHxBill(ctx_, prompter_, 2));
    EXPECT_EQ(prompter_.lastText(), QStringLiteral("反核销成功!"));
    EXPECT_EQ(writeOffId(1) + writeOffId(2), 0);
    EXPECT_TRUE(bill::restoreBill(ctx_, prompter_, 3));
    EXPECT_EQ(prompter_.lastText(), QStringLiteral("该单据不是拆分单据,不能进行还原!"));

    // a database error: its own text, plain, OK/Cancel
    prompter_.clear();
    prompter_.expectQuestion(entry::Answer::Ok);
    ctx_.gIdList = QStringLiteral("1,2;delete from icstockbill");
    EXPECT_FALSE(bill::hxBill(ctx_, prompter_));
    ASSERT_EQ(prompter_.questions().size(), 1u);
    EXPECT_EQ(prompter_.questions()[0].text,
              QStringLiteral("单据内码列表无效: \"1,2;delete from icstockbill\" 中的 "
                             "\"2;delete from icstockbill\" 不是整数内码"));
    EXPECT_EQ(prompter_.buttons_.back(), entry::Buttons::OkCancel);
    EXPECT_TRUE(prompter_.messages().empty());
    EXPECT_FALSE(ctx_.gConnection.isOpen());
    EXPECT_EQ(intOf(QStringLiteral("select count(*) from icstockbill")), 4);
}

}  // namespace
