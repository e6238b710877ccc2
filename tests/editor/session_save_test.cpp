// Saves of new and changed bills: what is stored, the ledger, the refusals.
#include <functional>

#include "db/connection_string.h"
#include "db/schema.h"
#include "entry/startup.h"
#include "query/bill_find_controller.h"
#include "query/journal_model.h"
#include "session_fixture.h"

using namespace otherin;
using otherin::testing::SessionTest;

using namespace Qt::StringLiterals;

namespace {

class SaveTest : public SessionTest {
  protected:
    // Everything a save writes: the bills (id, number, warehouse, operator,
    // red, status), every line, the ledger and the number counter.
    QString stored() {
        return QStringList{rows(u"select finterid,fbillno,fstockid1,fOperator,frob,fstatus "
                                "from icstockbill order by finterid"_s),
                           rows(u"select finterid,fentryid,fitemid,fqty,fPrice,famount from "
                                "icstockbillentry order by finterid,forderid"_s),
                           ledger(), rows(u"select fbillno from tblMaxBillNo where ftypeid=7"_s)}
            .join(u" / "_s);
    }
    void logInAs(int user) {
        ctx.gLoginUserId = QString::number(user);
        ctx.IsAdmin = user == 1 ? 1 : 0;
    }
};

TEST_F(SaveTest, NewBillIsStoredWithHeaderLinesNumberLedgerAndPeriod) {
    open(0);
    EXPECT_EQ(session->billNumber(), u"QTRK000001"_s);
    fillHeader();
    // A quote in a remark is data like any other character.
    setHeader(4, u"O'Brien's delivery'); drop table icstockbill;--"_s);
    enterLine(1, u"02.001"_s, u"5"_s, u"10"_s);
    enterLine(2, u"02.002"_s, u"2.5"_s, u"4"_s);
    typeCell(8, 2, u"B'01"_s);
    // Backslashes are ordinary characters too, next to quotes or not.
    typeCell(10, 2, uR"(C:\temp\ O'Brien \' \\)"_s);
    ASSERT_TRUE(session->save());
    EXPECT_EQ(told(), u"i 数据保存成功！"_s);
    EXPECT_EQ(rows(u"select fdate,ftrantype,fyear,fperiod,fexplanation from icstockbill"_s),
              u"2026-03-15|7|2026|3|O'Brien's delivery'); drop table icstockbill;--"_s);
    EXPECT_EQ(rows(u"select forderid,funitid,fbatchno,fnote from icstockbillentry "
                   "order by forderid"_s),
              uR"(1|701|| 2|701|B'01|C:\temp\ O'Brien \' \\)"_s);
    EXPECT_EQ(stored(),
              u"1|QTRK000001|502|1|0|0 / 1|1|1121|5|10|50 1|2|1122|2.5|4|10 "
              "/ 502|1121|5|50 502|1122|2.5|10 / 1"_s);
    // With no stored options the editor stays on the saved bill to change it.
    EXPECT_EQ(ctx.gEditMode, entry::kModeChange);
    EXPECT_FALSE(editor().isChanged());
    EXPECT_EQ(grid().lineKey(2), u"2"_s);
}

// A lost server is told once and the bill stays; once it takes connections, the save succeeds.
TEST_F(SaveTest, ALostServerIsToldOnceAndTheNextSaveConnectsAgain) {
    if (!otherin::testing::TestDatabase::onServer()) GTEST_SKIP() << "a server's connections";
    open(0);
    fillHeader();
    enterLine(1, u"02.001"_s, u"5"_s, u"10"_s);
    // Only a connection to another database may close this one's door.
    db::ConnectionTarget server = db::parseConnectionString(db.seedConnectionString());
    const QString name = server.database;
    server.database = u"postgres"_s;
    db::Connection admin;
    admin.open(server.toConnectionString());
    const auto allowConnections = [&](bool allow) {
        admin.exec(u"alter database \"%1\" allow_connections %2"_s.arg(
            name, allow ? u"true"_s : u"false"_s));
    };
    allowConnections(false);
    db.connection().open(db.connectionString());
    admin.exec(
        u"select pg_terminate_backend(pid) from pg_stat_activity where datname=? "
        "and pid not in (?, ?)"_s,
        {name, db.scalar(u"select pg_backend_pid()"_s),
         db.connection().scalar(u"select pg_backend_pid()"_s)});
    EXPECT_FALSE(session->save());
    const QString shown = told();
    EXPECT_TRUE(shown.mid(2).startsWith(u"无法连接数据库服务器 "_s) &&
                shown.count(u"\n详细信息："_s) == 1 && !shown.contains(u"; "_s))
        << shown.toStdString();
    EXPECT_TRUE(editor().isChanged());
    allowConnections(true);
    ASSERT_TRUE(session->save());
    EXPECT_EQ(told(), u"i 数据保存成功！"_s);
    EXPECT_EQ(rows(u"select fbillno from icstockbill"_s), u"QTRK000001"_s);
}

// With the ledger moved at audit, saves leave it alone and the audit moves it.
TEST_F(SaveTest, PostingAtAuditKeepsSavesOutOfTheLedger) {
    ctx.gIsCheckUpdate = 1;
    const qint32 id = saveNewBill({u"5"_s});
    open(1, id);
    changeCell(5, 1, u"7"_s);
    ASSERT_TRUE(session->save());
    EXPECT_EQ(ledger(), QString());
    ASSERT_TRUE(session->check());
    EXPECT_EQ(ledger(), u"502|1121|7|70"_s);
}

// Another bill took the previewed number: the field shows the one given.
TEST_F(SaveTest, FieldShowsTheNumberTheBillGotAndAChangeKeepsIt) {
    open(0);  // previews QTRK000001
    db.exec(u"update tblMaxBillNo set fbillno=1 where ftypeid=7"_s);
    fillHeader();
    enterLine(1, u"02.001"_s, u"5"_s, u"10"_s);
    ASSERT_TRUE(session->save());
    EXPECT_EQ(session->billNumber(), u"QTRK000002"_s);
    changeCell(5, 1, u"6"_s);
    ASSERT_TRUE(session->save());
    EXPECT_EQ(stored(), u"1|QTRK000002|502|1|0|0 / 1|1|1121|6|10|60 / 502|1121|6|60 / 2"_s);
    // A freed number takes the place of a typed one, and the user hears of it.
    ctx.gIsUpdateBillNo = 1;
    ctx.gIsAddDelNumber = 1;
    db.exec(u"insert into tblBillNoAdd(finterid,ftypeid,fbillnumber) values(1,7,'QTRK000050')"_s);
    open(0);
    fillHeader();
    setHeader(1, u"QTRK000005"_s);
    enterLine(1, u"02.001"_s, u"1"_s, u"10"_s);
    prompter.clear();
    ASSERT_TRUE(session->save());
    EXPECT_EQ(told(), u"i 数据保存成功！单据编号已改为 QTRK000050（重用已删除单据的编号）"_s);
    EXPECT_EQ(session->billNumber(), u"QTRK000050"_s);
}

// Quantity and amount carry the red sign, price does not, also in a price edit.
TEST_F(SaveTest, RedBillStoresNegatedQuantitiesAndLowersTheLedger) {
    db.exec(
        u"insert into tblTimeStock(fstockid,fitemid,funitid,fbatchno,fStockPlace,"
        "fqty,famount) values(502,1121,701,'',0,20,200)"_s);
    open(0);
    fillHeader();
    session->makeRed();
    enterLine(1, u"02.001"_s, u"5"_s, u"10"_s);
    ASSERT_TRUE(session->save());
    EXPECT_EQ(stored(), u"1|QTRK000001|502|1|1|0 / 1|1|1121|-5|10|-50 / 502|1121|15|150 / 1"_s);
    open(4, ctx.gCurrentInterId);
    EXPECT_EQ(grid().text(7, 1), u"50.00"_s);
    typeCell(6, 1, u"12"_s);
    ASSERT_TRUE(session->save());
    EXPECT_EQ(stored(), u"1|QTRK000001|502|1|1|0 / 1|1|1121|-5|12|-60 / 502|1121|15|140 / 1"_s);
}

TEST_F(SaveTest, FailureInTheSecondLineUndoesEverythingButTheUsedId) {
    db.refuseWrites(u"icstockbillentry"_s, u"insert"_s, u"第二行写入失败"_s, u"new.fentryid=2"_s);
    newBill({u"5"_s, u"3"_s});
    EXPECT_FALSE(session->save());
    EXPECT_EQ(told(), u"0 "_s + otherin::testing::TestDatabase::refusedWrite(u"第二行写入失败"_s));
    EXPECT_EQ(stored(), u" /  /  / 0"_s);
    // The bill is still the user's unsaved work.
    EXPECT_TRUE(editor().isChanged());
    EXPECT_EQ(ctx.gEditMode, entry::kModeNew);
    db.allowWrites(u"icstockbillentry"_s);
    ASSERT_TRUE(session->save());
    EXPECT_EQ(rows(u"select finterid,fbillno from icstockbill"_s), u"2|QTRK000001"_s);
}

// Another program writing the same database goes round our checks: a trigger plays it, storing
// a bill with the number being saved just before our row. The clerk hears of the number, not
// of the unique index, and nothing of the save remains (other refusals are no clash: see the
// numbering tests).
TEST_F(SaveTest, UniqueIndexRefusalIsToldAsADuplicateNumberAndRolledBack) {
    const QString before = stored();
    // Another writer takes the number just before the save writes it.
    db.runBeforeWrites(u"icstockbill"_s, u"update"_s,
                       u"insert into icstockbill(finterid,fbillno,ftrantype) "
                       "values(999,new.fbillno,new.ftrantype)"_s,
                       u"new.finterid<>999 and new.fbillno<>old.fbillno"_s);
    newBill({u"5"_s});
    prompter.clear();
    EXPECT_FALSE(session->save());
    EXPECT_TRUE(
        prompter.onlyMessage(u"单据编号不能重复!"_s, entry::Icon::Critical, u"其它入库单"_s));
    EXPECT_FALSE(ctx.gConnection.isOpen());
    EXPECT_EQ(ctx.gEditMode, entry::kModeNew);  // the editor stays on the unsaved bill
    EXPECT_EQ(stored(), before);
}

// Each refusal alone on a good new bill (on the period's first day) or change
// of bill 2: its own words, nothing stored, the bill still unsaved work.
TEST_F(SaveTest, RefusalsHaveTheirOwnWordsAndStoreNothing) {
    saveNewBill({u"5"_s});
    const qint32 id = saveNewBill({u"5"_s});
    // User 4 holds no rights at all.
    db.exec(
        u"insert into tblUser(fuserid,fnumber,fname,fIsAdmin,fUserType,fpassword) "
        "values(4,'wang','王五',0,1,'')"_s);
    ctx.gIsUpdateBillNo = 1;
    const QString before = stored();
    const QString controlRefused =
        u"含有不可见的控制字符(可能是从其他程序粘贴来的),不能保存,请删除后重新输入!"_s;
    const struct {
        const char* what;
        bool change;
        std::function<void()> setUp;
        QString told;
    } cases[] = {
        {"closed period", false, [&] { ctx.gIsCloseStock = 1; },
         "! 当前期间已经关账,不能新增当前及以前期间单据"},
        {"earlier period", false, [&] { session->setBillDate(QDate(2025, 12, 31)); },
         "! 不能保存以前期间的单据!"},
        {"no warehouse", false, [&] { setHeader(3, QString()); }, "! 收料仓库不能为空"},
        {"no lines", false, [&] { grid().clearCells(); }, "! 请录入明细!"},
        {"user 4 holds no right", false, [&] { logInAs(4); },
         "! 您无此权限！不能新增单据（权限G01），请与系统管理员联系"},
        {"no number", false, [&] { setHeader(1, QString()); }, "! 请输入单据编号!"},
        {"number taken", false, [&] { setHeader(1, u"QTRK000001"_s); }, "x 单据编号不能重复!"},
        {"closed period", true, [&] { ctx.gIsCloseStock = 1; },
         "! 当前期间已经关账,不能修改当前及以前期间单据"},
        {"moved to an earlier period", true, [&] { session->setBillDate(QDate(2025, 12, 31)); },
         "! 不能保存为以前期间的单据!"},
        {"stored in an earlier period", true,
         [&] { db.exec(u"update icstockbill set fdate='2025-12-31'"_s); },
         "! 不能修改以前期间的单据，操作不成功！"},
        {"李四 holds G02 but did not enter it", true,
         [&] {
             logInAs(3);
             ctx.gUpdateSingleBill = 1;
         },
         "! 只能修改本人录入的单据,操作不成功！"},
        {"audited before the save", true, [&] { db.exec(u"update icstockbill set fstatus=1"_s); },
         "! 该单据已经审核,不能修改,操作不成功"},
        // Blanks around a number do not make it another number.
        {"number of another bill", true, [&] { setHeader(1, u" QTRK000001 "_s); },
         "x 编号不能重复!"},
        // Pasted control characters: refused where typed, and by the save's
        // own check in a text that came in otherwise.
        {"remark typed with a tab", false, [&] { typeIntoHeader(4, u"a\tb"_s); },
         u"! 摘要"_s + controlRefused},
        {"number holding a NUL", true,
         [&] { session->form().headerField(1)->text = u"QT"_s + QChar(0) + u"9"_s; },
         u"! 单据编号"_s + controlRefused},
        {"batch typed with a NUL", false, [&] { typeCell(8, 1, u"B"_s + QChar(0) + u"1"_s); },
         u"! 第1行批号"_s + controlRefused},
        {"note holding a DEL", true, [&] { grid().setText(10, 1, u"n\x7f"_s); },
         u"! 第1行备注"_s + controlRefused},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ctx.gIsCloseStock = 0;
        logInAs(1);
        if (c.change) {
            open(1, id);
            changeCell(5, 1, u"6"_s);
        } else {
            newBill({u"5"_s}, QDate(2026, 1, 1));
        }
        c.setUp();
        prompter.clear();
        EXPECT_FALSE(session->save());
        EXPECT_EQ(told(), c.told);
        db.exec(u"update icstockbill set fdate='2026-03-15',fstatus=0"_s);
        EXPECT_EQ(stored(), before);
        EXPECT_TRUE(editor().isChanged());
    }
}

// Asked per line: 否 on the second line stores nothing; 是 then 全部是 stores
// the bill without asking for the third.
TEST_F(SaveTest, ItemOfAnotherWarehouseIsStoredOnlyWhenTheUserSaysSo) {
    ctx.gIsUpdateBillNo = 1;
    newBill({u"5"_s, u"1"_s, u"2"_s});
    setHeader(1, u"手工'01"_s);
    setHeader(3, u"01"_s);
    const QString ask =
        u"? 02.00%1的默认仓库与单据中的仓库不一致,是否继续? [是(&Y)/全部是(&A)/否(&N)]"_s;
    prompter.expectChoice(u"是(&Y)"_s);
    prompter.expectChoice(u"否(&N)"_s);
    EXPECT_FALSE(session->save());
    EXPECT_EQ(prompter.transcript(), ask.arg(1) + u'\n' + ask.arg(2));
    EXPECT_EQ(stored(), u" /  /  / 0"_s);
    prompter.clear();
    prompter.expectChoice(u"是(&Y)"_s);
    prompter.expectChoice(u"全部是(&A)"_s);
    EXPECT_TRUE(session->save());
    EXPECT_TRUE(prompter.transcript().startsWith(ask.arg(1) + u'\n' + ask.arg(2) + u'\n'))
        << prompter.transcript().toStdString();
    EXPECT_EQ(rows(u"select count(*) from icstockbillentry"_s), u"3"_s);
}

// A negative price on a blue bill is asked about once per bill: 否 stores
// nothing and puts the cursor on it; 是 stores it and is not asked again for
// the same bill. A red bill is not asked.
TEST_F(SaveTest, ANegativePriceOnABlueBillIsConfirmedOncePerBill) {
    const QString ask = u"? 第2行单价为负数(-10.00),入库单价为负通常是录入错误,确定要保存吗?"_s;
    newBill({u"5"_s, u"1"_s});
    changeCell(6, 2, u"-10"_s);
    prompter.expectQuestion(entry::Answer::No);
    EXPECT_FALSE(session->save());
    EXPECT_EQ(prompter.transcript(), ask);
    EXPECT_EQ(editor().state().active, (editor::CellPos{6, 2}));
    EXPECT_EQ(rows(u"select count(*) from icstockbill"_s), u"0"_s);
    prompter.clear();
    prompter.expectQuestion(entry::Answer::Yes);
    ASSERT_TRUE(session->save());
    EXPECT_EQ(rows(u"select fPrice from icstockbillentry order by fentryid"_s), u"10 -10"_s);
    prompter.clear();
    changeCell(5, 1, u"6"_s);
    ASSERT_TRUE(session->save());
    EXPECT_FALSE(prompter.transcript().contains(u"负数"_s));

    prompter.clear();
    open(0);
    session->makeRed();
    fillHeader();
    enterLine(1, u"02.001"_s, u"-5"_s, u"-10"_s);
    ASSERT_TRUE(session->save()) << prompter.transcript().toStdString();
    EXPECT_FALSE(prompter.transcript().contains(u"负数"_s));
}

TEST_F(SaveTest, ChangedQuantityMovesTheLedgerWithinOneTransaction) {
    const qint32 id = saveNewBill({u"5"_s});
    const QString before = stored();
    open(1, id);
    // The reversal of 5 has run when the new line fails: all of it goes back.
    db.refuseWrites(u"icstockbillentry"_s, u"insert"_s, u"明细写入失败"_s, u"new.fqty=7"_s);
    changeCell(5, 1, u"7"_s);
    EXPECT_FALSE(session->save());
    EXPECT_EQ(told(), u"x "_s + otherin::testing::TestDatabase::refusedWrite(u"明细写入失败"_s));
    EXPECT_EQ(stored(), before);
    EXPECT_TRUE(editor().isChanged());
    db.allowWrites(u"icstockbillentry"_s);
    ASSERT_TRUE(session->save());
    EXPECT_EQ(told(), u"i 数据修改成功！"_s);
    EXPECT_EQ(stored(), u"1|QTRK000001|502|1|0|0 / 1|1|1121|7|10|70 / 502|1121|7|70 / 1"_s);
    EXPECT_FALSE(editor().isChanged());
}

// Another user audits or voids the bill between our checks and our write.
TEST_F(SaveTest, BillAuditedOrVoidedSinceTheChecksIsRefusedAndNothingChanges) {
    const qint32 id = saveNewBill({u"5"_s});
    const std::pair<const char*, const char*> cases[] = {
        {"fstatus=1,fchecker=2", "该单据已经审核,不能修改,操作不成功"},
        {"fcancellation=1", "该单据已经作废,不能修改,操作不成功！"},
    };
    for (const auto& [change, message] : cases) {
        SCOPED_TRACE(change);
        db.exec(u"update icstockbill set fstatus=0,fchecker=0,fcancellation=0"_s);
        const QString before = stored();
        open(1, id);
        changeCell(5, 1, u"7"_s);
        ASSERT_TRUE(session->checkChangedBill());
        db.connection().exec(u"update icstockbill set %1"_s.arg(change));
        EXPECT_FALSE(session->writeChangedBill());
        EXPECT_EQ(prompter.lastText(), QString::fromUtf8(message));
        db.exec(u"update icstockbill set fstatus=0,fchecker=0,fcancellation=0"_s);
        EXPECT_EQ(stored(), before);
    }
}

// Without the own-bills rule 李四 changes another's bill and becomes its operator.
TEST_F(SaveTest, ChangeByAnotherUserMakesHimTheOperator) {
    const qint32 id = saveNewBill({u"5"_s});
    ctx.gIsUpdateBillNo = 1;
    logInAs(3);
    open(1, id);
    changeCell(5, 1, u"6"_s);
    setHeader(1, u"QTRK000009 "_s);
    ASSERT_TRUE(session->save());
    EXPECT_EQ(stored(), u"1|QTRK000009|502|3|0|0 / 1|1|1121|6|10|60 / 502|1121|6|60 / 1"_s);
}

// Lines keep their entry ids; new and copied ones go above the highest. The
// ledger row the deleted line leaves empty goes, instead of staying at 0 / 0.
TEST_F(SaveTest, EntryIdsStayWithTheirLinesAndNewOnesGoAboveTheHighest) {
    const qint32 id = saveNewBill({u"1"_s, u"2"_s, u"3"_s});
    open(1, id);
    ASSERT_TRUE(moveTo(5, 2));
    prompter.expectQuestion(entry::Answer::Yes);
    session->deleteLine();
    enterLine(3, u"02.004"_s, u"4"_s, u"10"_s);
    ASSERT_TRUE(session->save());
    EXPECT_EQ(stored(),
              u"1|QTRK000001|502|1|0|0 / 1|1|1121|1|10|10 1|3|1123|3|10|30 "
              "1|4|1124|4|10|40 / 502|1121|1|10 502|1123|3|30 502|1124|4|40 / 1"_s);
    EXPECT_EQ(rows(u"select forderid from icstockbillentry order by forderid"_s), u"1 2 3"_s);
    ASSERT_TRUE(moveTo(5, 1));
    session->copyLine();
    EXPECT_TRUE(editor().isChanged());
    EXPECT_EQ(grid().lineKey(1), QString());
    EXPECT_EQ(session->form().strip.value(5), 9.0);
    ASSERT_TRUE(session->save());
    changeCell(5, 1, u"5"_s);
    ASSERT_TRUE(session->save());
    EXPECT_EQ(stored(),
              u"1|QTRK000001|502|1|0|0 / 1|5|1121|5|10|50 1|1|1121|1|10|10 "
              "1|3|1123|3|10|30 1|4|1124|4|10|40 / 502|1121|6|60 502|1123|3|30 "
              "502|1124|4|40 / 1"_s);
}

// The price edit offers Save and Exit only and opens the price alone.
TEST_F(SaveTest, PriceChangeMovesTheLedgerAmountOfACountingBill) {
    const qint32 id = saveNewBill({u"1"_s});
    open(4, id);
    EXPECT_FALSE(session->commandState(editor::keys::New).visible);
    EXPECT_TRUE(session->commandState(editor::keys::Save).visible);
    EXPECT_FALSE(session->commandState(editor::keys::MenuEdit).visible);
    EXPECT_FALSE(grid().setData(grid().index(0, 4), u"9"_s, Qt::EditRole));
    typeCell(6, 1, u"12"_s);
    ASSERT_TRUE(moveTo(7, 1));
    ASSERT_TRUE(session->save());
    EXPECT_EQ(told(), u"i 数据保存成功"_s);
    EXPECT_EQ(stored(), u"1|QTRK000001|502|1|0|0 / 1|1|1121|1|12|12 / 502|1121|1|12 / 1"_s);
    EXPECT_FALSE(session->commandState(editor::keys::Save).enabled);
    EXPECT_FALSE(editor().isChanged());
    // A bill taken off the ledger (as a void does) changes its price alone.
    db.exec(u"update icstockbill set fcancellation=1,fstockposted=0"_s);
    open(4, id);
    typeCell(6, 1, u"20"_s);
    ASSERT_TRUE(session->save());
    EXPECT_EQ(stored(), u"1|QTRK000001|502|1|0|0 / 1|1|1121|1|20|20 / 502|1121|1|12 / 1"_s);
}

}  // namespace

namespace {

// A demo made on any day has that day's year and period as current and the
// periods around it: a bill dated that day shows in the default journal,
// also after the demo's first year is over.
TEST(DemoCalendarTest, ABillDatedTheDayTheDemoWasMadeShowsInTheDefaultJournal) {
    for (const QDate today : {QDate(2027, 1, 15), QDate(2031, 7, 1)}) {
        SCOPED_TRACE(today.toString(Qt::ISODate).toStdString());
        otherin::testing::TestDatabase db;
        otherin::db::schema::installDemoData(db.seed(), today);
        const auto settings =
            db.settings({u"SystemLogin/gLoginUserId=1"_s,
                         u"SystemLogin/gLoginUserName=系统管理员"_s, u"SystemLogin/IsAdmin=1"_s});
        otherin::testing::Clerk clerk(db, settings.get());
        entry::startUp(clerk.ctx, *settings, clerk.prompter);
        EXPECT_EQ(clerk.ctx.gCurrentYear, today.year());
        EXPECT_EQ(clerk.ctx.gCurrentPeriod, today.month());
        clerk.open(entry::kModeNew);
        clerk.fillHeader(today);
        clerk.enterLine(1, u"02.001"_s, u"3"_s, u"10"_s);
        ASSERT_TRUE(clerk.session->save()) << clerk.prompter.transcript().toStdString();
        query::BillFindController find(clerk.ctx, clerk.prompter);
        find.open();
        query::JournalModel journal;
        ASSERT_TRUE(find.runQuery(journal)) << clerk.prompter.transcript().toStdString();
        EXPECT_EQ(journal.billCount(), 1);
    }
}

}  // namespace
