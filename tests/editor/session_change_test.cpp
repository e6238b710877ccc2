#include "session_fixture.h"

using namespace otherin;
using otherin::testing::SessionTest;

namespace {

class ChangedBillTest : public SessionTest {
  protected:
    QString storedQty(qint32 id) {
        return scalar(QStringLiteral("select group_concat(fqty+0, ',') from (select fqty from "
                                     "icstockbillentry where finterid=? order by forderid) as s"),
                      {id})
            .toString();
    }
    void changeQty(int r, const QString& qty) {
        typeCell(5, r, qty);
        ASSERT_TRUE(moveTo(8, r));
    }
};

TEST_F(ChangedBillTest, ChangedQuantityMovesTheLedgerWithinOneTransaction) {
    const qint32 id = saveNewBill({QStringLiteral("5")});
    EXPECT_EQ(ledgerQty(1121), 5.0);
    open(1, id);
    EXPECT_EQ(session->title(), QStringLiteral("其它入库单修改"));

    // The reversal of 5 has run when the new line fails: all of it goes back.
    db.refuseWrites(QStringLiteral("icstockbillentry"), QStringLiteral("insert"),
                    QStringLiteral("明细写入失败"), QStringLiteral("new.fqty=7"));
    changeQty(1, QStringLiteral("7"));
    EXPECT_FALSE(session->save());
    EXPECT_EQ(prompter.messageTexts(), QStringList{QStringLiteral("明细写入失败")});
    EXPECT_EQ(ledgerQty(1121), 5.0);
    EXPECT_EQ(storedQty(id), QStringLiteral("5"));
    EXPECT_TRUE(editor().isChanged());

    db.allowWrites(QStringLiteral("icstockbillentry"));
    prompter.clear();
    ASSERT_TRUE(session->save());
    EXPECT_EQ(prompter.messageTexts(), QStringList{QStringLiteral("数据修改成功！")});
    EXPECT_EQ(ledgerQty(1121), 7.0);
    EXPECT_EQ(ledgerAmount(1121), 70.0);
    EXPECT_EQ(storedQty(id), QStringLiteral("7"));
    EXPECT_EQ(entryIds(id), QStringLiteral("1"));
    EXPECT_FALSE(editor().isChanged());
}

TEST_F(ChangedBillTest, StockMovingAtAuditKeepsTheLedgerOutOfAChange) {
    ctx.gIsCheckUpdate = 1;
    const qint32 id = saveNewBill({QStringLiteral("5")});
    open(1, id);
    changeQty(1, QStringLiteral("7"));
    ASSERT_TRUE(session->save());
    EXPECT_EQ(storedQty(id), QStringLiteral("7"));
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from tblTimeStock")).toInt(), 0);
}

TEST_F(ChangedBillTest, BillAuditedOrVoidedSinceTheChecksIsRefusedAndNothingChanges) {
    const qint32 id = saveNewBill({QStringLiteral("5")});
    open(1, id);
    changeQty(1, QStringLiteral("7"));
    ASSERT_TRUE(session->checkChangedBill());
    // Another user audits the bill between our checks and our write.
    db.connection().exec(QStringLiteral("update icstockbill set fstatus=1,fchecker=2 where "
                                        "finterid=?"),
                         {id});
    EXPECT_FALSE(session->writeChangedBill());
    EXPECT_EQ(prompter.lastText(), QStringLiteral("该单据已经审核,不能修改,操作不成功"));
    EXPECT_EQ(storedQty(id), QStringLiteral("5"));
    EXPECT_EQ(ledgerQty(1121), 5.0);
    EXPECT_EQ(scalar(QStringLiteral("select fOperator||'|'||fstatus from icstockbill")).toString(),
              QStringLiteral("1|1"));

    db.exec(QStringLiteral("update icstockbill set fstatus=0,fchecker=0"));
    ASSERT_TRUE(session->checkChangedBill());
    db.connection().exec(QStringLiteral("update icstockbill set fcancellation=1"));
    EXPECT_FALSE(session->writeChangedBill());
    EXPECT_EQ(prompter.lastText(), QStringLiteral("该单据已经作废,不能修改,操作不成功！"));
    EXPECT_EQ(storedQty(id), QStringLiteral("5"));
    EXPECT_EQ(ledgerQty(1121), 5.0);

    // Audited before the save starts: the checks refuse it already.
    db.exec(QStringLiteral("update icstockbill set fcancellation=0,fstatus=1"));
    prompter.clear();
    EXPECT_FALSE(session->save());
    EXPECT_EQ(prompter.messageTexts(),
              QStringList{QStringLiteral("该单据已经审核,不能修改,操作不成功")});
    EXPECT_TRUE(editor().isChanged());
}

TEST_F(ChangedBillTest, RefusalsOfChangesHaveTheirOwnWords) {
    const qint32 id = saveNewBill({QStringLiteral("5")});
    open(1, id);
    changeQty(1, QStringLiteral("6"));

    ctx.gIsCloseStock = 1;
    EXPECT_FALSE(session->save());
    ctx.gIsCloseStock = 0;
    session->setBillDate(QDate(2025, 12, 31));
    EXPECT_FALSE(session->save());
    session->setBillDate(QDate(2026, 3, 15));
    db.exec(QStringLiteral("update icstockbill set fdate='2025-12-31'"));
    EXPECT_FALSE(session->save());
    db.exec(QStringLiteral("update icstockbill set fdate='2026-03-15'"));
    EXPECT_EQ(prompter.messageTexts(),
              (QStringList{QStringLiteral("当前期间已经关账,不能修改当前及以前期间单据"),
                           QStringLiteral("不能保存为以前期间的单据!"),
                           QStringLiteral("不能修改以前期间的单据，操作不成功！")}));
    EXPECT_EQ(storedQty(id), QStringLiteral("5"));

    // 李四 holds G02 but did not enter this bill.
    ctx.gLoginUserId = QStringLiteral("3");
    ctx.IsAdmin = 0;
    ctx.gUpdateSingleBill = 1;
    prompter.clear();
    EXPECT_FALSE(session->save());
    EXPECT_EQ(prompter.messageTexts(),
              QStringList{QStringLiteral("只能修改本人录入的单据,操作不成功！")});
    ctx.gUpdateSingleBill = 0;
    ASSERT_TRUE(session->save());
    EXPECT_EQ(scalar(QStringLiteral("select fOperator from icstockbill")).toInt(), 3);
    EXPECT_EQ(storedQty(id), QStringLiteral("6"));
}

TEST_F(ChangedBillTest, TypedNumberOfAnotherBillIsRefusedItsOwnIsNot) {
    saveNewBill({QStringLiteral("5")});
    const qint32 second = saveNewBill({QStringLiteral("3")});
    ctx.gIsUpdateBillNo = 1;
    open(1, second);
    EXPECT_EQ(session->billNumber(), QStringLiteral("QTRK000002"));
    setHeader(1, QStringLiteral("QTRK000001"));
    EXPECT_FALSE(session->save());
    EXPECT_EQ(prompter.lastText(), QStringLiteral("编号不能重复!"));
    EXPECT_EQ(prompter.messages().back().icon, entry::Icon::Critical);
    // Blanks around a number do not make it another number.
    prompter.clear();
    setHeader(1, QStringLiteral(" QTRK000001 "));
    EXPECT_FALSE(session->save());
    EXPECT_EQ(prompter.lastText(), QStringLiteral("编号不能重复!"));
    setHeader(1, QStringLiteral("QTRK000009 "));
    setHeader(4, QStringLiteral("it's fine"));
    ASSERT_TRUE(session->save());
    EXPECT_EQ(
        scalar(QStringLiteral("select fexplanation from icstockbill where finterid=?"), {second})
            .toString(),
        QStringLiteral("it's fine"));
    EXPECT_EQ(scalar(QStringLiteral("select fbillno from icstockbill where finterid=?"), {second})
                  .toString(),
              QStringLiteral("QTRK000009"));
}

// A line moved to another item leaves its old key empty: the change removes that
// row as a new save or a delete would, instead of keeping a 0 / 0 row.
TEST_F(ChangedBillTest, KeyLeftEmptyByAChangedItemLosesItsRow) {
    const qint32 id = saveNewBill({QStringLiteral("5")});
    const QString rowsOf = QStringLiteral("select count(*) from tblTimeStock where fitemid=?");
    ASSERT_EQ(scalar(rowsOf, {1121}).toInt(), 1);
    open(1, id);
    typeCell(1, 1, QStringLiteral("02.002"));
    ASSERT_TRUE(moveTo(8, 1));
    ASSERT_TRUE(session->save());
    EXPECT_EQ(scalar(rowsOf, {1121}).toInt(), 0);
    EXPECT_EQ(ledgerQty(1122), 5.0);
}

TEST_F(ChangedBillTest, LoadedLinesKeepTheirEntryIdsAndNewOnesGoAboveTheHighest) {
    const qint32 id = saveNewBill({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")});
    open(1, id);
    ASSERT_TRUE(moveTo(5, 2));
    prompter.expectQuestion(entry::Answer::Yes);
    session->deleteLine();
    enterLine(3, QStringLiteral("02.004"), QStringLiteral("4"), QStringLiteral("10"));
    ASSERT_TRUE(session->save());
    EXPECT_EQ(entryIds(id), QStringLiteral("1,3,4"));
    EXPECT_EQ(storedQty(id), QStringLiteral("1,3,4"));
    EXPECT_EQ(scalar(QStringLiteral("select group_concat(forderid, ',') from (select forderid from "
                                    "icstockbillentry order by forderid) as s"))
                  .toString(),
              QStringLiteral("1,2,3"));
    EXPECT_EQ(ledgerQty(1122), 0.0);
    EXPECT_EQ(ledgerQty(1124), 4.0);
}

TEST_F(ChangedBillTest, CopiedLineIsANewLineSoEntryIdsStayUnique) {
    const qint32 id = saveNewBill({QStringLiteral("1"), QStringLiteral("2")});
    open(1, id);
    ASSERT_TRUE(moveTo(5, 1));
    session->copyLine();
    EXPECT_TRUE(editor().isChanged());
    EXPECT_EQ(grid().text(1, 1), grid().text(1, 2));
    EXPECT_EQ(grid().key(4, 1), QStringLiteral("701"));
    EXPECT_EQ(grid().lineKey(1), QString());
    EXPECT_EQ(session->form().strip.value(5), 4.0);
    ASSERT_TRUE(session->save());
    EXPECT_EQ(entryIds(id), QStringLiteral("3,1,2"));
    EXPECT_EQ(storedQty(id), QStringLiteral("1,1,2"));
    EXPECT_EQ(ledgerQty(1121), 2.0);
    // Saved twice, the lines keep the numbers they were given.
    changeQty(3, QStringLiteral("5"));
    ASSERT_TRUE(session->save());
    EXPECT_EQ(entryIds(id), QStringLiteral("3,1,2"));
}

class PriceEditTest : public ChangedBillTest {};

TEST_F(PriceEditTest, PriceChangeMovesTheLedgerAmountOfACountingBill) {
    const qint32 id = saveNewBill({QStringLiteral("1")});
    EXPECT_EQ(ledgerAmount(1121), 10.0);
    open(4, id);
    EXPECT_EQ(session->title(), QStringLiteral("其它入库单编辑"));
    EXPECT_FALSE(session->commandState(editor::keys::New).visible);
    EXPECT_TRUE(session->commandState(editor::keys::Save).visible);
    EXPECT_FALSE(session->commandState(editor::keys::MenuEdit).visible);
    EXPECT_FALSE(grid().setData(grid().index(0, 4), QStringLiteral("9"), Qt::EditRole));

    typeCell(6, 1, QStringLiteral("12"));
    ASSERT_TRUE(moveTo(7, 1));
    EXPECT_EQ(grid().text(7, 1), QStringLiteral("12.00"));
    ASSERT_TRUE(session->save());
    EXPECT_EQ(prompter.messageTexts(), QStringList{QStringLiteral("数据保存成功")});
    EXPECT_EQ(row(QStringLiteral("select fPrice,famount,fqty from icstockbillentry")),
              QStringLiteral("12|12|1"));
    EXPECT_EQ(ledgerAmount(1121), 12.0);
    EXPECT_EQ(ledgerQty(1121), 1.0);
    EXPECT_FALSE(session->commandState(editor::keys::Save).enabled);
    EXPECT_FALSE(editor().isChanged());
}

TEST_F(PriceEditTest, VoidedBillLeavesTheLedgerAndRedBillKeepsItsSign) {
    open(0);
    fillHeader();
    session->makeRed();
    enterLine(1, QStringLiteral("02.001"), QStringLiteral("5"), QStringLiteral("10"));
    ASSERT_TRUE(session->save());
    const qint32 red = ctx.gCurrentInterId;
    const qint32 voided = saveNewBill({QStringLiteral("2")});
    db.exec(QStringLiteral("update icstockbill set fcancellation=1 where finterid=?"), {voided});
    db.exec(QStringLiteral("update tblTimeStock set famount=77"));

    open(4, voided);
    typeCell(6, 1, QStringLiteral("11"));
    ASSERT_TRUE(session->save());
    EXPECT_EQ(
        scalar(QStringLiteral("select famount+0 from icstockbillentry where finterid=?"), {voided})
            .toDouble(),
        22.0);
    EXPECT_EQ(ledgerAmount(1121), 77.0);

    open(4, red);
    EXPECT_EQ(grid().text(7, 1), QStringLiteral("50.00"));
    typeCell(6, 1, QStringLiteral("12"));
    ASSERT_TRUE(session->save());
    EXPECT_EQ(
        row(QStringLiteral("select fPrice,famount from icstockbillentry where finterid=?"), {red}),
        QStringLiteral("12|-60"));
    EXPECT_EQ(ledgerAmount(1121), 67.0);
}

}  // namespace
