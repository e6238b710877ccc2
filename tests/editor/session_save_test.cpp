#include "session_fixture.h"

using namespace otherin;
using otherin::testing::SessionTest;

namespace {

using NewBillTest = SessionTest;

TEST_F(NewBillTest, NewBillIsStoredWithHeaderLinesNumberLedgerAndPeriod) {
    open(0);
    EXPECT_EQ(session->title(), QStringLiteral("其它入库单新增"));
    EXPECT_EQ(session->billNumber(), QStringLiteral("QTRK000001"));
    EXPECT_EQ(session->fixedFields().makerName, QStringLiteral("系统管理员"));
    fillHeader();
    // A quote in a remark is data like any other character.
    setHeader(4, QStringLiteral("O'Brien's delivery'); drop table icstockbill;--"));
    enterLine(1, QStringLiteral("02.001"), QStringLiteral("5"), QStringLiteral("10"));
    enterLine(2, QStringLiteral("02.002"), QStringLiteral("2.5"), QStringLiteral("4"));
    typeCell(8, 2, QStringLiteral("B'01"));

    ASSERT_TRUE(session->save());
    EXPECT_EQ(prompter.messageTexts(), QStringList{QStringLiteral("数据保存成功！")});
    EXPECT_EQ(prompter.messages().back().icon, entry::Icon::Information);

    const qint32 id = ctx.gCurrentInterId;
    EXPECT_EQ(id, 1);
    EXPECT_EQ(
        scalar(QStringLiteral("select fbillno||'|'||fdate||'|'||fstockid1||'|'||fOperator||'|'"
                              "||ftrantype||'|'||fyear||'|'||fperiod||'|'||frob||'|'||fstatus"
                              " from icstockbill where finterid=1"))
            .toString(),
        QStringLiteral("QTRK000001|2026-03-15|502|1|7|2026|3|0|0"));
    EXPECT_EQ(scalar(QStringLiteral("select fexplanation from icstockbill")).toString(),
              QStringLiteral("O'Brien's delivery'); drop table icstockbill;--"));
    // decimals compared as numbers: each database writes them in its own way
    auto lines = db.connection().prepare(
        QStringLiteral("select forderid,fentryid,fitemid,funitid,fqty,fPrice,famount,fbatchno "
                       "from icstockbillentry order by forderid"));
    lines.exec();
    QStringList stored;
    while (lines.next()) {
        QStringList fields;
        for (int i = 0; i < 8; ++i) {
            const QVariant v = lines.value(i);
            fields << (i >= 4 && i <= 6 ? QString::number(v.toDouble()) : v.toString());
        }
        stored << fields.join(QLatin1Char(':'));
    }
    EXPECT_EQ(stored.join(QLatin1Char(' ')),
              QStringLiteral("1:1:1121:701:5:10:50: 2:2:1122:701:2.5:4:10:B'01"));
    EXPECT_EQ(ledgerQty(1121), 5.0);
    EXPECT_EQ(ledgerAmount(1121), 50.0);
    EXPECT_EQ(ledgerQty(1122), 2.5);
    EXPECT_EQ(
        scalar(QStringLiteral("select fstockid from tblTimeStock where fitemid=1122")).toInt(),
        502);
    EXPECT_EQ(scalar(QStringLiteral("select fbillno from tblMaxBillNo where ftypeid=7")).toInt(),
              1);

    // With no stored options the editor stays on the saved bill to change it.
    EXPECT_EQ(ctx.gEditMode, entry::kModeChange);
    EXPECT_EQ(session->title(), QStringLiteral("其它入库单修改"));
    EXPECT_FALSE(editor().isChanged());
    EXPECT_FALSE(session->commandState(editor::keys::Red).enabled);
    EXPECT_EQ(grid().lineKey(1), QStringLiteral("1"));
    EXPECT_EQ(grid().lineKey(2), QStringLiteral("2"));
}

TEST_F(NewBillTest, FieldShowsTheNumberTheBillGotAndAChangeKeepsIt) {
    open(0);
    EXPECT_EQ(session->billNumber(), QStringLiteral("QTRK000001"));
    // Another user's bill takes the previewed number meanwhile.
    db.connection().exec(QStringLiteral("update tblMaxBillNo set fbillno=1 where ftypeid=7"));
    fillHeader();
    enterLine(1, QStringLiteral("02.001"), QStringLiteral("5"), QStringLiteral("10"));
    ASSERT_TRUE(session->save());
    EXPECT_EQ(session->billNumber(), QStringLiteral("QTRK000002"));
    typeCell(5, 1, QStringLiteral("6"));
    ASSERT_TRUE(moveTo(8, 1));
    ASSERT_TRUE(session->save());
    EXPECT_EQ(row(QStringLiteral("select fbillno,(select fqty from icstockbillentry) "
                                 "from icstockbill")),
              QStringLiteral("QTRK000002|6"));
}

TEST_F(NewBillTest, RedBillStoresNegatedQuantitiesAndLowersTheLedger) {
    db.exec(
        QStringLiteral("insert into tblTimeStock(fstockid,fitemid,funitid,fbatchno,fStockPlace,"
                       "fqty,famount) values(502,1121,701,'',0,20,200)"));
    open(0);
    fillHeader();
    session->makeRed();
    EXPECT_TRUE(session->redMarkVisible());
    EXPECT_TRUE(session->commandState(editor::keys::Red).checked);
    EXPECT_FALSE(session->commandState(editor::keys::Blue).checked);
    enterLine(1, QStringLiteral("02.001"), QStringLiteral("5"), QStringLiteral("10"));
    ASSERT_TRUE(session->save());

    // Quantity and amount carry the red flag in the demo layout; price does not.
    EXPECT_EQ(row(QStringLiteral("select fqty,fPrice,famount from icstockbillentry")),
              QStringLiteral("-5|10|-50"));
    EXPECT_EQ(scalar(QStringLiteral("select frob from icstockbill")).toInt(), 1);
    EXPECT_EQ(ledgerQty(1121), 15.0);
    EXPECT_EQ(ledgerAmount(1121), 150.0);
}

TEST_F(NewBillTest, StockMovingAtAuditLeavesTheLedgerAloneOnSave) {
    ctx.gIsCheckUpdate = 1;
    saveNewBill({QStringLiteral("5")});
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from icstockbillentry")).toInt(), 1);
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from tblTimeStock")).toInt(), 0);
}

TEST_F(NewBillTest, FailureInTheSecondLineUndoesEverythingButTheUsedId) {
    db.refuseWrites(QStringLiteral("icstockbillentry"), QStringLiteral("insert"),
                    QStringLiteral("第二行写入失败"), QStringLiteral("new.fentryid=2"));
    open(0);
    fillHeader();
    enterLine(1, QStringLiteral("02.001"), QStringLiteral("5"), QStringLiteral("10"));
    enterLine(2, QStringLiteral("02.002"), QStringLiteral("3"), QStringLiteral("10"));

    EXPECT_FALSE(session->save());
    ASSERT_EQ(prompter.messageTexts(), QStringList{QStringLiteral("第二行写入失败")});
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from icstockbill")).toInt(), 0);
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from icstockbillentry")).toInt(), 0);
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from tblTimeStock")).toInt(), 0);
    EXPECT_EQ(scalar(QStringLiteral("select fbillno from tblMaxBillNo where ftypeid=7")).toInt(),
              0);
    EXPECT_EQ(scalar(QStringLiteral("select fmaxnum from tblmaxNum where ftablename='ICStockBill'"))
                  .toInt(),
              1);
    // The bill is still the user's unsaved work.
    EXPECT_TRUE(editor().isChanged());
    EXPECT_EQ(ctx.gEditMode, entry::kModeNew);
    EXPECT_EQ(session->statusText(), QStringLiteral("就绪："));

    db.allowWrites(QStringLiteral("icstockbillentry"));
    prompter.clear();
    ASSERT_TRUE(session->save());
    EXPECT_EQ(scalar(QStringLiteral("select finterid||'|'||fbillno from icstockbill")).toString(),
              QStringLiteral("2|QTRK000001"));
}

TEST_F(NewBillTest, RefusalsComeInOrderWithTheirOwnWords) {
    open(0);
    fillHeader();
    enterLine(1, QStringLiteral("02.001"), QStringLiteral("5"), QStringLiteral("10"));

    ctx.gIsCloseStock = 1;
    EXPECT_FALSE(session->save());
    ctx.gIsCloseStock = 0;
    session->setBillDate(QDate(2025, 12, 31));
    EXPECT_FALSE(session->save());
    // The first day of the period is in the period.
    session->setBillDate(QDate(2026, 1, 1));
    setHeader(3, QString());
    EXPECT_FALSE(session->save());
    EXPECT_EQ(prompter.messageTexts(),
              (QStringList{QStringLiteral("当前期间已经关账,不能新增当前及以前期间单据"),
                           QStringLiteral("不能保存以前期间的单据!"),
                           QStringLiteral("收料仓库不能为空")}));
    for (const auto& m : prompter.messages()) EXPECT_EQ(m.icon, entry::Icon::Exclamation);

    // An item kept elsewhere is stored only when the user says so.
    prompter.clear();
    setHeader(3, QStringLiteral("01"));
    prompter.expectQuestion(entry::Answer::No);
    EXPECT_FALSE(session->save());
    ASSERT_EQ(prompter.questions().size(), 1u);
    EXPECT_EQ(prompter.questions()[0].text,
              QStringLiteral("02.001的默认仓库与单据中的仓库不一致,是否继续?"));
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from icstockbill")).toInt(), 0);
    EXPECT_TRUE(prompter.messages().empty());
    prompter.expectQuestion(entry::Answer::Yes);
    EXPECT_TRUE(session->save());
    EXPECT_EQ(scalar(QStringLiteral("select fdate||'|'||fstockid1 from icstockbill")).toString(),
              QStringLiteral("2026-01-01|501"));
}

TEST_F(NewBillTest, EmptyBillAndMissingRightAreRefused) {
    open(0);
    fillHeader();
    EXPECT_FALSE(session->save());
    EXPECT_EQ(prompter.lastText(), QStringLiteral("请录入明细!"));

    // 李四 (user 3) has no right beyond adding and changing; user 4 has none.
    db.exec(
        QStringLiteral("insert into tblUser(fuserid,fnumber,fname,fIsAdmin,fUserType,fpassword) "
                       "values(4,'wang','王五',0,1,'')"));
    ctx.gLoginUserId = QStringLiteral("4");
    ctx.IsAdmin = 0;
    enterLine(1, QStringLiteral("02.001"), QStringLiteral("5"), QStringLiteral("10"));
    EXPECT_FALSE(session->save());
    EXPECT_EQ(prompter.lastText(),
              QStringLiteral("您无此权限！不能新增单据（权限G01），请与系统管理员联系"));
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from icstockbill")).toInt(), 0);
    EXPECT_TRUE(editor().isChanged());
}

TEST_F(NewBillTest, TypedNumberMustBeFreeAndPresent) {
    saveNewBill({QStringLiteral("5")});
    ctx.gIsUpdateBillNo = 1;
    open(0);
    EXPECT_TRUE(session->form().headerField(session->billNumberField())->enabled);
    fillHeader();
    enterLine(1, QStringLiteral("02.001"), QStringLiteral("1"), QStringLiteral("10"));
    setHeader(1, QString());
    EXPECT_FALSE(session->save());
    EXPECT_EQ(prompter.lastText(), QStringLiteral("请输入单据编号!"));
    setHeader(1, QStringLiteral("QTRK000001"));
    EXPECT_FALSE(session->save());
    EXPECT_EQ(prompter.lastText(), QStringLiteral("单据编号不能重复!"));
    EXPECT_EQ(prompter.messages().back().icon, entry::Icon::Critical);
    setHeader(1, QStringLiteral("手工'01"));
    ASSERT_TRUE(session->save());
    EXPECT_EQ(scalar(QStringLiteral("select fbillno from icstockbill where finterid=2")).toString(),
              QStringLiteral("手工'01"));
}

}  // namespace
