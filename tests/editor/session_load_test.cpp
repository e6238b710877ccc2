// Bills loaded, browsed and left in the editor session, and its commands.
#include <functional>
#include <tuple>
#include <utility>

#include "session_fixture.h"

using namespace otherin;
using namespace otherin::editor;
using otherin::testing::SessionTest;

using namespace Qt::StringLiterals;

namespace {

constexpr int kWarehouse = 3;
constexpr int kRemark = 4;

class LoadingTest : public SessionTest {
  protected:
    bool enabled(const char* key) { return session->commandState(QLatin1String(key)).enabled; }
    // Which of these commands are enabled (or shown), as 1s and 0s.
    QString offered(std::initializer_list<const char*> keys, bool shown = false) {
        QString out;
        for (const char* key : keys) {
            const auto state = session->commandState(QLatin1String(key));
            out += (shown ? state.visible : state.enabled) ? QLatin1Char('1') : QLatin1Char('0');
        }
        return out;
    }
    QString navigation() { return offered({keys::First, keys::Back, keys::Next, keys::End}); }
    void reseed(int lines, int status = 0) {
        db.execAll({u"delete from icstockbillentry"_s, u"delete from icstockbill"_s});
        seedBill(1, lines, status);
    }
};

// The strip shows the sums of the bill on screen (a red one's unsigned); a
// shorter bill leaves nothing of a longer one.
TEST_F(LoadingTest, BrowsingShowsEachBillWholeAndTheStripFollows) {
    seedBill(1, 5);
    seedBill(2, 3);
    seedBill(3, 2, 0, 1);
    ctx.gBillIdList = {u"1"_s, u"2"_s, u"3"_s};
    open(1, 2);
    const BillForm& form = session->form();
    const TotalsStrip& strip = form.strip;
    auto shown = [&] {
        return u"%1 %2 %3|%4 %5 %6"_s
            .arg(session->billNumber(), form.headerField(4)->text, strip.text(5), strip.text(7),
                 navigation())
            .arg(grid().lastDataRow());
    };
    EXPECT_EQ(shown(), u"NO2 摘要2 6.00|60.00 1111 3"_s);
    const std::vector<std::pair<std::function<bool()>, const char*>> browsing{
        {[&] { return session->next(); }, "NO3 摘要3 3.00|30.00 1100 2"},
        {[&] { return session->previous(); }, "NO2 摘要2 6.00|60.00 1111 3"},
        {[&] { return session->last(); }, "NO3 摘要3 3.00|30.00 1100 2"},
        {[&] { return session->first(); }, "NO1 摘要1 15.00|150.00 0011 5"},
    };
    for (const auto& [browse, expected] : browsing) {
        ASSERT_TRUE(browse());
        EXPECT_EQ(shown(), QString::fromUtf8(expected));
    }
    EXPECT_EQ(session->billDate(), QDate(2026, 3, 15));
    EXPECT_EQ(form.headerField(3)->keyValue, u"502"_s);
    // Stored amounts stay, though quantity × price would give 16.65.
    EXPECT_EQ(
        shownLine(5),
        u"50|02.005#1125|平垫圈|Φ8|个#701|5.00|3.33|50.00|B5|A区01号货架#801|备注5|502|||601"_s);
    session->newBill();
    EXPECT_EQ(strip.text(5) + QLatin1Char('|') + strip.text(7), u"|"_s);
    ctx.gBillIdList = {u"3"_s};
    open(1, 3);
    EXPECT_EQ(navigation(), u"0000"_s);
}

// A layout name that is not a plain column name is reported, never run.
TEST_F(LoadingTest, LayoutNameThatIsNoColumnNameIsReported) {
    seedBill(1, 2);
    db.exec(u"update tblBillInfoEntry set FFieldName='fnote,fqty' where ftypeid=7 and fcol=10"_s);
    open(1, 1);
    EXPECT_EQ(prompter.messageTexts(), QStringList{u"列 fnote,fqty 不存在"_s});
    EXPECT_EQ(grid().lastDataRow(), 0);
    EXPECT_FALSE(enabled(keys::Save));
}

TEST_F(LoadingTest, RedAuditedBillOpensUnsignedRedAndReadOnly) {
    seedBill(7, 1, 1, 1);
    ctx.gIsUpdateBillNo = 1;
    open(1, 7);
    EXPECT_EQ(grid().text(5, 1) + "|" + grid().text(7, 1), u"1.00|10.00"_s);
    EXPECT_EQ(ctx.gIsRedBill, 1);
    EXPECT_EQ(offered({keys::Red, keys::Blue}), u"00"_s);
    EXPECT_TRUE(grid().isReadOnly());
    for (const HeaderField& f : session->form().header) EXPECT_FALSE(f.enabled) << f.index;
    // Insert and delete do nothing on a read-only grid: no question is asked.
    session->insertLine();
    session->deleteLine();
    EXPECT_TRUE(prompter.questions().empty());
    EXPECT_EQ(grid().lastDataRow(), 1);
}

TEST_F(LoadingTest, MissingBillIsReportedAndTheBillShownBeforeStays) {
    seedBill(1, 2);
    ctx.gBillIdList = {u"1"_s, u"99"_s};
    open(1, 1);
    EXPECT_FALSE(session->next());
    EXPECT_EQ(told(), u"x 数据读取错误!"_s);
    EXPECT_EQ(u"bill %1 at %2, %3 lines"_s.arg(ctx.gCurrentInterId)
                  .arg(ctx.gBillIdIndex)
                  .arg(grid().lastDataRow()),
              u"bill 1 at 0, 2 lines"_s);
    EXPECT_TRUE(enabled(keys::Save));
    // A window opened on a bill that is gone offers nothing.
    open(1, 99);
    EXPECT_EQ(told(), u"x 数据读取错误!"_s);
    EXPECT_EQ(offered({keys::Save, keys::New}), u"00"_s);
}

TEST_F(LoadingTest, AuditNeedsASavedBillAndTheRightAndCommandsFollowTheRights) {
    seedBill(1, 1);
    open(0);
    ctx.gLoginUserId = u"3"_s;  // may only add and change bills
    ctx.IsAdmin = 0;
    EXPECT_FALSE(session->check());
    EXPECT_EQ(told(), u"! 请先保存单据!"_s);
    const auto rightful = {keys::Save,    keys::MenuSave, keys::New,           keys::Check,
                           keys::Preview, keys::Print,    keys::MenuStockQuery};
    open(1, 1);
    EXPECT_EQ(offered(rightful), u"1110000"_s);
    EXPECT_FALSE(session->check());
    EXPECT_EQ(told(), u"! 您无此权限！不能审核单据（权限G04），请与系统管理员联系"_s);
    ctx.gLoginUserId = u"2"_s;  // a group that holds every right
    open(1, 1);
    EXPECT_EQ(offered(rightful), u"1111111"_s);
    ctx.gLoginUserId = u"1"_s;
    ctx.IsAdmin = 1;
    // Audited with the focus in the warehouse field, which shows its code
    // while focused; disabled, it loses the focus and shows the name again.
    editor().headerFocus(kWarehouse);
    ASSERT_EQ(session->form().headerField(kWarehouse)->text, u"02"_s);
    ASSERT_TRUE(session->check());
    editor().headerValidate(kWarehouse);
    editor().headerLeave(kWarehouse);
    EXPECT_EQ(session->form().headerField(kWarehouse)->text, u"五金仓"_s);
    EXPECT_EQ(told(), u"i 审核成功!"_s);
    EXPECT_EQ(rows(u"select fstatus,fchecker from icstockbill"_s), u"1|1"_s);
    EXPECT_TRUE(grid().isReadOnly());
    EXPECT_FALSE(session->form().headerField(kWarehouse)->enabled);
}

// A kept window goes from change to split mode and back; split offers Save and Exit.
TEST_F(LoadingTest, SplitModeOpensOnlyTheSplitQuantityAndSavesTheSplit) {
    seedBill(5, 2, 1);
    open(1, 5);
    const int columns = grid().columns();
    ctx.gEditMode = entry::kModeSplit;
    session->start();
    EXPECT_EQ(grid().columns(), columns + 1);
    const int split = session->form().splitColumn;
    ASSERT_EQ(split, 6);
    EXPECT_FALSE(grid().setData(grid().index(1, 4), u"9"_s, Qt::EditRole));
    const auto commands = {keys::New,      keys::Copy, keys::Check, keys::Next,
                           keys::MenuEdit, keys::Save, keys::Exit};
    EXPECT_EQ(offered(commands, true), u"0000011"_s);
    typeCell(split, 2, u"1"_s);
    ASSERT_TRUE(moveTo(split, 1));
    ASSERT_TRUE(session->save());
    EXPECT_TRUE(prompter.lastText().startsWith(u"拆分成功"_s));
    EXPECT_FALSE(enabled(keys::Save));
    EXPECT_FALSE(editor().isChanged());
    // Bill 5 keeps 1 of line 20's 2; the new bill split from it takes the other.
    EXPECT_EQ(rows(u"select coalesce(b.frscinterid,0),e.fentryid,e.fqty,e.fPrice,e.famount from "
                   "icstockbill b join icstockbillentry e on e.finterid=b.finterid "
                   "order by b.finterid,e.forderid"_s),
              u"5|1|1|3.33|10 0|10|1|3.33|10 0|20|1|3.33|10"_s);
    // The window shows what the split left on the bill, still with Save and
    // Exit only.
    EXPECT_EQ(grid().text(5, 2) + "|" + grid().text(split, 2), u"1.00|"_s);
    EXPECT_EQ(offered(commands, true), u"0000011"_s);
    ctx.gEditMode = entry::kModeChange;
    session->start();
    EXPECT_EQ(grid().columns(), columns);
    EXPECT_EQ(session->form().splitColumn, 0);
    EXPECT_EQ(grid().text(7, 2), u"10.00"_s);
}

// Undo on a stored bill walks back to its lines as they were loaded and no
// further; the bill browsed to next starts with nothing to undo.
TEST_F(LoadingTest, UndoOnAStoredBillStopsAtItsLinesAsLoaded) {
    seedBill(1, 3);
    seedBill(2, 2);
    ctx.gBillIdList = {u"1"_s, u"2"_s};
    open(entry::kModeChange, 1);
    const auto lines = [this] {
        QStringList shown;
        for (int r = 1; r <= 4; ++r) shown << shownLine(r);
        return shown.join(u" / "_s);
    };
    const QString loaded = lines();
    changeCell(5, 2, u"7"_s);
    changeCell(5, 3, u"8"_s);
    ASSERT_NE(lines(), loaded);
    ASSERT_TRUE(session->undo());
    while (session->undo()) {
    }
    EXPECT_EQ(lines(), loaded);

    prompter.expectQuestion(entry::Answer::No);  // the changes are not saved
    ASSERT_TRUE(session->next());
    EXPECT_FALSE(session->undo());
    const QString shown = lines();
    changeCell(5, 1, u"9"_s);
    ASSERT_TRUE(session->undo());
    while (session->undo()) {
    }
    EXPECT_EQ(lines(), shown);
    EXPECT_EQ(grid().text(5, 1), u"1.00"_s);
}

using CommandTest = LoadingTest;

// A copy is a new bill without line ids; the line commands follow its open grid.
TEST_F(CommandTest, CopyIsANewBillOfTheSameHeaderAndLines) {
    saveNewBill({u"5"_s});
    ctx.gBillIdList = {u"1"_s};
    db.exec(u"update icstockbill set fstatus=1"_s);
    open(1, 1);
    editor().gridFocus();
    EXPECT_FALSE(enabled(keys::InsertRow));
    session->copyBill();
    EXPECT_TRUE(enabled(keys::InsertRow));
    EXPECT_EQ(session->billNumber(), u"QTRK000002"_s);
    EXPECT_EQ(grid().lineKey(1), QString());
    ASSERT_TRUE(session->save());
    EXPECT_EQ(rows(u"select b.fbillno,b.fstatus,b.fstockid1,e.fentryid,e.fitemid,e.fqty from "
                   "icstockbill b join icstockbillentry e on e.finterid=b.finterid "
                   "order by b.finterid"_s),
              u"QTRK000001|1|502|1|1121|5 QTRK000002|0|502|1|1121|5"_s);
}

// Save and audit take the header field being typed; an unknown code is refused.
TEST_F(CommandTest, CommandsTakeTheHeaderFieldStillBeingTyped) {
    open(0);
    session->setBillDate(QDate(2026, 3, 15));
    enterLine(1, u"02.001"_s, u"5"_s, u"10"_s);
    typeIntoHeader(kWarehouse, u"99"_s);
    EXPECT_FALSE(session->save());
    EXPECT_EQ(told(), u"! 收料仓库输入不正确"_s);
    EXPECT_EQ(rows(u"select count(*) from icstockbill"_s), u"0"_s);
    editor().setHeaderText(kWarehouse, u"02"_s);
    ASSERT_TRUE(session->save()) << prompter.messageTexts().join(',').toStdString();
    EXPECT_EQ(rows(u"select fstockid1 from icstockbill"_s), u"502"_s);
    prompter.clear();
    typeIntoHeader(kWarehouse, u"99"_s);
    EXPECT_FALSE(session->check());
    EXPECT_EQ(told(), u"! 收料仓库输入不正确"_s);
    EXPECT_EQ(rows(u"select fstatus from icstockbill"_s), u"0"_s);
}

// A changed remark alone is offered for saving; Cancel stays, Yes stores it.
TEST_F(CommandTest, HeaderOnlyChangeIsOfferedForSavingByEveryWayOfLeaving) {
    const std::vector<std::pair<const char*, std::function<void()>>> leaving = {
        {"New", [this] { session->newBill(); }}, {"Copy", [this] { session->copyBill(); }},
        {"Next", [this] { session->next(); }},   {"Previous", [this] { session->previous(); }},
        {"Close", [this] { session->close(); }},
    };
    for (int id : {1, 2, 3}) seedBill(id, 1);
    ctx.gBillIdList = {u"1"_s, u"2"_s, u"3"_s};
    for (const auto& [name, leave] : leaving) {
        SCOPED_TRACE(name);
        open(1, 2);
        const QString remark = u"改过的摘要 %1"_s.arg(QLatin1String(name));
        setHeader(kRemark, remark);
        prompter.clear();
        prompter.expectQuestion(entry::Answer::Cancel);
        leave();
        EXPECT_EQ(prompter.transcript(), u"? 单据已经改变，是否保存？"_s);
        EXPECT_EQ(ctx.gCurrentInterId, 2);
        EXPECT_EQ(ctx.gEditMode, 1);
        EXPECT_EQ(session->form().headerField(kRemark)->text, remark);
        prompter.clear();
        prompter.expectQuestion(entry::Answer::Yes);
        leave();
        EXPECT_EQ(prompter.questions().size(), 1u);
        EXPECT_EQ(rows(u"select fexplanation from icstockbill where finterid=2"_s), remark);
    }
}

// F7 on a locked cell (audited, price edit, split) opens nothing and changes nothing.
TEST_F(CommandTest, LookupsLeaveLinesThatMayNotChangeAlone) {
    const std::tuple<const char*, int, int> cases[] = {
        {"audited", 1, 1},
        {"price edit", 4, 0},
        {"split", 2, 0},
    };
    records.answers.assign(20, {u"1101"_s, u"01.001"_s, u"冷轧钢板"_s});
    units.answer = {u"702"_s, u"BOX"_s, u"盒"_s};
    batches.batch = u"NEW"_s;
    batches.unitCost = u"99"_s;
    for (const auto& [name, mode, status] : cases) {
        SCOPED_TRACE(name);
        reseed(2, status);
        open(mode, 1);
        for (const int column : {1, 4, 8, 9}) {  // item code, unit, batch, stock place
            SCOPED_TRACE(column);
            ASSERT_TRUE(moveTo(column, 1));
            EXPECT_FALSE(enabled(keys::View));
            const QString before = shownLine(1);
            session->view();
            EXPECT_EQ(shownLine(1), before);
        }
        EXPECT_TRUE(records.inputs.empty() && units.inputs.empty() && batches.itemIds.empty());
        EXPECT_FALSE(editor().isChanged());
    }
    // On a bill being changed the batch column picks batch and price; picking nothing keeps them.
    reseed(2);
    open(1, 1);
    ASSERT_TRUE(moveTo(8, 1));
    const auto picked = [&] {
        return QStringList{grid().text(8, 1), grid().text(6, 1), grid().text(7, 1)}.join('|');
    };
    session->view();
    EXPECT_EQ(picked(), u"NEW|99.00|99.00"_s);
    EXPECT_EQ(batches.itemIds, std::vector<QString>{u"1121"_s});
    EXPECT_TRUE(ctx.pickedBatch.isEmpty());
    batches.batch.clear();
    batches.unitCost.clear();
    session->view();
    EXPECT_EQ(picked(), u"NEW|99.00|99.00"_s);
}

TEST_F(CommandTest, LoadedLongBillGrowsAfterItsLastLine) {
    for (const int lines : {21, 30}) {
        SCOPED_TRACE(lines);
        reseed(lines);
        // One item throughout, kept in the bill's warehouse, so no line asks.
        db.exec(u"update icstockbillentry set fitemid=1121"_s);
        open(1, 1);
        enterLine(lines + 1, u"02.001"_s, u"1"_s, u"10"_s);
        EXPECT_GE(grid().rows(), lines + 11);
        ASSERT_TRUE(session->save()) << prompter.messageTexts().join(',').toStdString();
        EXPECT_EQ(rows(u"select count(*) from icstockbillentry where finterid=1"_s),
                  QString::number(lines + 1));
    }
}

}  // namespace
