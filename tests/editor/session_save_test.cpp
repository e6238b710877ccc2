// Saves of new and changed bills through the editor session: what is stored,
// what the ledger holds, and the refusals with their own words.
#include <functional>

#include "session_fixture.h"

using namespace otherin;
using otherin::testing::SessionTest;

namespace {

class SaveTest : public SessionTest {
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
    int bills() { return scalar(QStringLiteral("select count(*) from icstockbill")).toInt(); }
};

struct Refusal {
    const char* what;
    std::function<void()> setUp;
    const char* message;
    entry::Icon icon = entry::Icon::Exclamation;
};

TEST_F(SaveTest, NewBillIsStoredWithHeaderLinesNumberLedgerAndPeriod) {
    open(0);
    EXPECT_EQ(session->billNumber(), QStringLiteral("QTRK000001"));
    fillHeader();
    // A quote in a remark is data like any other character.
    setHeader(4, QStringLiteral("O'Brien's delivery'); drop table icstockbill;--"));
    enterLine(1, QStringLiteral("02.001"), QStringLiteral("5"), QStringLiteral("10"));
    enterLine(2, QStringLiteral("02.002"), QStringLiteral("2.5"), QStringLiteral("4"));
    typeCell(8, 2, QStringLiteral("B'01"));

    ASSERT_TRUE(session->save());
    EXPECT_TRUE(prompter.onlyMessage(QStringLiteral("数据保存成功！"), entry::Icon::Information));
    EXPECT_EQ(ctx.gCurrentInterId, 1);
    EXPECT_EQ(
        scalar(QStringLiteral("select fbillno||'|'||fdate||'|'||fstockid1||'|'||fOperator||'|'"
                              "||ftrantype||'|'||fyear||'|'||fperiod||'|'||frob||'|'||fstatus"
                              "||'|'||fexplanation from icstockbill where finterid=1"))
            .toString(),
        QStringLiteral("QTRK000001|2026-03-15|502|1|7|2026|3|0|0|"
                       "O'Brien's delivery'); drop table icstockbill;--"));
    const QString line = QStringLiteral(
        "select forderid,fentryid,fitemid,funitid,fqty,fPrice,famount,fbatchno "
        "from icstockbillentry where forderid=?");
    EXPECT_EQ(row(line, {1}), QStringLiteral("1|1|1121|701|5|10|50|"));
    EXPECT_EQ(row(line, {2}), QStringLiteral("2|2|1122|701|2.5|4|10|B'01"));
    EXPECT_EQ(row(QStringLiteral("select fstockid,fqty,famount from tblTimeStock where "
                                 "fitemid=1121")),
              QStringLiteral("502|5|50"));
    EXPECT_EQ(ledgerQty(1122), 2.5);
    EXPECT_EQ(scalar(QStringLiteral("select fbillno from tblMaxBillNo where ftypeid=7")).toInt(),
              1);

    // With no stored options the editor stays on the saved bill to change it.
    EXPECT_EQ(ctx.gEditMode, entry::kModeChange);
    EXPECT_FALSE(editor().isChanged());
    EXPECT_EQ(grid().lineKey(2), QStringLiteral("2"));
}

// Another user's bill takes the previewed number meanwhile: the field shows
// the number the bill got, and a change keeps it.
TEST_F(SaveTest, FieldShowsTheNumberTheBillGotAndAChangeKeepsIt) {
    open(0);
    EXPECT_EQ(session->billNumber(), QStringLiteral("QTRK000001"));
    db.connection().exec(QStringLiteral("update tblMaxBillNo set fbillno=1 where ftypeid=7"));
    fillHeader();
    enterLine(1, QStringLiteral("02.001"), QStringLiteral("5"), QStringLiteral("10"));
    ASSERT_TRUE(session->save());
    EXPECT_EQ(session->billNumber(), QStringLiteral("QTRK000002"));
    changeQty(1, QStringLiteral("6"));
    ASSERT_TRUE(session->save());
    EXPECT_EQ(row(QStringLiteral("select fbillno,(select fqty from icstockbillentry) "
                                 "from icstockbill")),
              QStringLiteral("QTRK000002|6"));
}

// Quantity and amount carry the red flag in the demo layout; price does not.
// A price edit of the red bill keeps the sign.
TEST_F(SaveTest, RedBillStoresNegatedQuantitiesAndLowersTheLedger) {
    db.exec(
        QStringLiteral("insert into tblTimeStock(fstockid,fitemid,funitid,fbatchno,fStockPlace,"
                       "fqty,famount) values(502,1121,701,'',0,20,200)"));
    open(0);
    fillHeader();
    session->makeRed();
    enterLine(1, QStringLiteral("02.001"), QStringLiteral("5"), QStringLiteral("10"));
    ASSERT_TRUE(session->save());
    EXPECT_EQ(row(QStringLiteral("select fqty,fPrice,famount from icstockbillentry")),
              QStringLiteral("-5|10|-50"));
    EXPECT_EQ(scalar(QStringLiteral("select frob from icstockbill")).toInt(), 1);
    EXPECT_EQ(ledgerQty(1121), 15.0);
    EXPECT_EQ(ledgerAmount(1121), 150.0);

    open(4, ctx.gCurrentInterId);
    EXPECT_EQ(grid().text(7, 1), QStringLiteral("50.00"));
    typeCell(6, 1, QStringLiteral("12"));
    ASSERT_TRUE(session->save());
    EXPECT_EQ(row(QStringLiteral("select fPrice,famount from icstockbillentry")),
              QStringLiteral("12|-60"));
    EXPECT_EQ(ledgerAmount(1121), 140.0);
}

TEST_F(SaveTest, FailureInTheSecondLineUndoesEverythingButTheUsedId) {
    db.refuseWrites(QStringLiteral("icstockbillentry"), QStringLiteral("insert"),
                    QStringLiteral("第二行写入失败"), QStringLiteral("new.fentryid=2"));
    open(0);
    fillHeader();
    enterLine(1, QStringLiteral("02.001"), QStringLiteral("5"), QStringLiteral("10"));
    enterLine(2, QStringLiteral("02.002"), QStringLiteral("3"), QStringLiteral("10"));

    EXPECT_FALSE(session->save());
    ASSERT_EQ(prompter.messageTexts(), QStringList{QStringLiteral("第二行写入失败")});
    EXPECT_EQ(bills(), 0);
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from icstockbillentry")).toInt(), 0);
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from tblTimeStock")).toInt(), 0);
    EXPECT_EQ(scalar(QStringLiteral("select fbillno from tblMaxBillNo where ftypeid=7")).toInt(),
              0);
    // The bill is still the user's unsaved work.
    EXPECT_TRUE(editor().isChanged());
    EXPECT_EQ(ctx.gEditMode, entry::kModeNew);

    db.allowWrites(QStringLiteral("icstockbillentry"));
    prompter.clear();
    ASSERT_TRUE(session->save());
    EXPECT_EQ(scalar(QStringLiteral("select finterid||'|'||fbillno from icstockbill")).toString(),
              QStringLiteral("2|QTRK000001"));
}

// Each refusal alone on an otherwise good bill: its own words, nothing
// stored, the bill still the user's unsaved work.
TEST_F(SaveTest, NewBillRefusalsHaveTheirOwnWordsAndStoreNothing) {
    saveNewBill({QStringLiteral("5")});
    db.exec(
        QStringLiteral("insert into tblUser(fuserid,fnumber,fname,fIsAdmin,fUserType,fpassword) "
                       "values(4,'wang','王五',0,1,'')"));
    ctx.gIsUpdateBillNo = 1;
    const Refusal cases[] = {
        {"closed period", [&] { ctx.gIsCloseStock = 1; },
         "当前期间已经关账,不能新增当前及以前期间单据"},
        {"earlier period", [&] { session->setBillDate(QDate(2025, 12, 31)); },
         "不能保存以前期间的单据!"},
        {"no warehouse", [&] { setHeader(3, QString()); }, "收料仓库不能为空"},
        {"no lines", [&] { grid().clearCells(); }, "请录入明细!"},
        {"user 4 holds no right",
         [&] {
             ctx.gLoginUserId = QStringLiteral("4");
             ctx.IsAdmin = 0;
         },
         "您无此权限！不能新增单据（权限G01），请与系统管理员联系"},
        {"no number", [&] { setHeader(1, QString()); }, "请输入单据编号!"},
        {"number taken", [&] { setHeader(1, QStringLiteral("QTRK000001")); }, "单据编号不能重复!",
         entry::Icon::Critical},
    };
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.what);
        ctx.gIsCloseStock = 0;
        ctx.gLoginUserId = QStringLiteral("1");
        ctx.IsAdmin = 1;
        open(0);
        // The first day of the period is in the period.
        fillHeader(QDate(2026, 1, 1));
        enterLine(1, QStringLiteral("02.001"), QStringLiteral("5"), QStringLiteral("10"));
        c.setUp();
        prompter.clear();
        EXPECT_FALSE(session->save());
        EXPECT_TRUE(prompter.onlyMessage(QString::fromUtf8(c.message), c.icon))
            << prompter.messageTexts().join(',').toStdString();
        EXPECT_EQ(bills(), 1);
        EXPECT_TRUE(editor().isChanged());
    }

    // An item kept elsewhere is stored only when the user says so.
    ctx.gLoginUserId = QStringLiteral("1");
    ctx.IsAdmin = 1;
    open(0);
    fillHeader(QDate(2026, 1, 1));
    enterLine(1, QStringLiteral("02.001"), QStringLiteral("5"), QStringLiteral("10"));
    setHeader(1, QStringLiteral("手工'01"));
    setHeader(3, QStringLiteral("01"));
    prompter.clear();
    prompter.expectQuestion(entry::Answer::No);
    EXPECT_FALSE(session->save());
    ASSERT_EQ(prompter.questions().size(), 1u);
    EXPECT_EQ(prompter.questions()[0].text,
              QStringLiteral("02.001的默认仓库与单据中的仓库不一致,是否继续?"));
    EXPECT_EQ(bills(), 1);
    EXPECT_TRUE(prompter.messages().empty());
    prompter.expectQuestion(entry::Answer::Yes);
    EXPECT_TRUE(session->save());
    EXPECT_EQ(scalar(QStringLiteral("select fdate||'|'||fstockid1||'|'||fbillno from icstockbill "
                                    "where finterid=?"),
                     {ctx.gCurrentInterId})
                  .toString(),
              QStringLiteral("2026-01-01|501|手工'01"));
}

TEST_F(SaveTest, ChangedQuantityMovesTheLedgerWithinOneTransaction) {
    const qint32 id = saveNewBill({QStringLiteral("5")});
    EXPECT_EQ(ledgerQty(1121), 5.0);
    open(1, id);

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

// Another user audits or voids the bill between our checks and our write.
TEST_F(SaveTest, BillAuditedOrVoidedSinceTheChecksIsRefusedAndNothingChanges) {
    const qint32 id = saveNewBill({QStringLiteral("5")});
    const std::pair<const char*, const char*> cases[] = {
        {"fstatus=1,fchecker=2", "该单据已经审核,不能修改,操作不成功"},
        {"fcancellation=1", "该单据已经作废,不能修改,操作不成功！"},
    };
    for (const auto& [change, message] : cases) {
        SCOPED_TRACE(change);
        db.exec(QStringLiteral("update icstockbill set fstatus=0,fchecker=0,fcancellation=0"));
        open(1, id);
        changeQty(1, QStringLiteral("7"));
        ASSERT_TRUE(session->checkChangedBill());
        db.connection().exec(QStringLiteral("update icstockbill set %1").arg(change));
        EXPECT_FALSE(session->writeChangedBill());
        EXPECT_EQ(prompter.lastText(), QString::fromUtf8(message));
        EXPECT_EQ(storedQty(id), QStringLiteral("5"));
        EXPECT_EQ(ledgerQty(1121), 5.0);
        EXPECT_EQ(scalar(QStringLiteral("select fOperator from icstockbill")).toInt(), 1);
    }
}

TEST_F(SaveTest, ChangeRefusalsHaveTheirOwnWordsAndChangeNothing) {
    saveNewBill({QStringLiteral("5")});
    const qint32 id = saveNewBill({QStringLiteral("5")});
    ctx.gIsUpdateBillNo = 1;
    const Refusal cases[] = {
        {"closed period", [&] { ctx.gIsCloseStock = 1; },
         "当前期间已经关账,不能修改当前及以前期间单据"},
        {"moved to an earlier period", [&] { session->setBillDate(QDate(2025, 12, 31)); },
         "不能保存为以前期间的单据!"},
        {"stored in an earlier period",
         [&] { db.exec(QStringLiteral("update icstockbill set fdate='2025-12-31'")); },
         "不能修改以前期间的单据，操作不成功！"},
        {"李四 holds G02 but did not enter it",
         [&] {
             ctx.gLoginUserId = QStringLiteral("3");
             ctx.IsAdmin = 0;
             ctx.gUpdateSingleBill = 1;
         },
         "只能修改本人录入的单据,操作不成功！"},
        {"audited before the save",
         [&] { db.exec(QStringLiteral("update icstockbill set fstatus=1")); },
         "该单据已经审核,不能修改,操作不成功"},
        // Blanks around a number do not make it another number.
        {"number of another bill", [&] { setHeader(1, QStringLiteral(" QTRK000001 ")); },
         "编号不能重复!", entry::Icon::Critical},
    };
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.what);
        ctx.gIsCloseStock = 0;
        ctx.gLoginUserId = QStringLiteral("1");
        ctx.IsAdmin = 1;
        db.exec(QStringLiteral("update icstockbill set fdate='2026-03-15',fstatus=0"));
        open(1, id);
        changeQty(1, QStringLiteral("6"));
        c.setUp();
        prompter.clear();
        EXPECT_FALSE(session->save());
        EXPECT_TRUE(prompter.onlyMessage(QString::fromUtf8(c.message), c.icon))
            << prompter.messageTexts().join(',').toStdString();
        EXPECT_EQ(storedQty(id), QStringLiteral("5"));
        EXPECT_EQ(ledgerQty(1121), 10.0);
        EXPECT_TRUE(editor().isChanged());
    }

    // Without the own-bills rule 李四 changes it and becomes its operator.
    ctx.gLoginUserId = QStringLiteral("3");
    ctx.IsAdmin = 0;
    ctx.gUpdateSingleBill = 0;
    open(1, id);
    changeQty(1, QStringLiteral("6"));
    setHeader(1, QStringLiteral("QTRK000009 "));
    setHeader(4, QStringLiteral("it's fine"));
    ASSERT_TRUE(session->save());
    EXPECT_EQ(row(QStringLiteral("select fOperator,fbillno,fexplanation from icstockbill where "
                                 "finterid=?"),
                  {id}),
              QStringLiteral("3|QTRK000009|it's fine"));
    EXPECT_EQ(storedQty(id), QStringLiteral("6"));
}

// A line moved to another item leaves its old key empty: the change removes that
// row as a new save or a delete would, instead of keeping a 0 / 0 row.
TEST_F(SaveTest, KeyLeftEmptyByAChangedItemLosesItsRow) {
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

// Loaded lines keep their entry ids; a new or copied line goes above the
// highest, and keeps the id it was given when saved again.
TEST_F(SaveTest, EntryIdsStayWithTheirLinesAndNewOnesGoAboveTheHighest) {
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

    ASSERT_TRUE(moveTo(5, 1));
    session->copyLine();
    EXPECT_TRUE(editor().isChanged());
    EXPECT_EQ(grid().text(1, 1), grid().text(1, 2));
    EXPECT_EQ(grid().key(4, 1), QStringLiteral("701"));
    EXPECT_EQ(grid().lineKey(1), QString());
    EXPECT_EQ(session->form().strip.value(5), 9.0);
    ASSERT_TRUE(session->save());
    EXPECT_EQ(entryIds(id), QStringLiteral("5,1,3,4"));
    EXPECT_EQ(ledgerQty(1121), 2.0);
    changeQty(1, QStringLiteral("5"));
    ASSERT_TRUE(session->save());
    EXPECT_EQ(entryIds(id), QStringLiteral("5,1,3,4"));
    EXPECT_EQ(storedQty(id), QStringLiteral("5,1,3,4"));
}

TEST_F(SaveTest, PriceChangeMovesTheLedgerAmountOfACountingBill) {
    const qint32 id = saveNewBill({QStringLiteral("1")});
    EXPECT_EQ(ledgerAmount(1121), 10.0);
    open(4, id);
    EXPECT_FALSE(session->commandState(editor::keys::New).visible);
    EXPECT_TRUE(session->commandState(editor::keys::Save).visible);
    EXPECT_FALSE(session->commandState(editor::keys::MenuEdit).visible);
    EXPECT_FALSE(grid().setData(grid().index(0, 4), QStringLiteral("9"), Qt::EditRole));

    typeCell(6, 1, QStringLiteral("12"));
    ASSERT_TRUE(moveTo(7, 1));
    ASSERT_TRUE(session->save());
    EXPECT_EQ(prompter.messageTexts(), QStringList{QStringLiteral("数据保存成功")});
    EXPECT_EQ(row(QStringLiteral("select fPrice,famount,fqty from icstockbillentry")),
              QStringLiteral("12|12|1"));
    EXPECT_EQ(ledgerAmount(1121), 12.0);
    EXPECT_EQ(ledgerQty(1121), 1.0);
    EXPECT_FALSE(session->commandState(editor::keys::Save).enabled);
    EXPECT_FALSE(editor().isChanged());

    // A voided bill's price changes alone: the ledger no longer counts it.
    db.exec(QStringLiteral("update icstockbill set fcancellation=1"));
    open(4, id);
    typeCell(6, 1, QStringLiteral("20"));
    ASSERT_TRUE(session->save());
    EXPECT_EQ(row(QStringLiteral("select famount from icstockbillentry")), QStringLiteral("20"));
    EXPECT_EQ(ledgerAmount(1121), 12.0);
}

}  // namespace
