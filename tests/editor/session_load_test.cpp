// Bills loaded, browsed and left in the editor session; its commands, and
// what the clerk has typed and not yet confirmed.
#include <functional>
#include <tuple>
#include <utility>

#include "session_fixture.h"

using namespace otherin;
using namespace otherin::editor;
using otherin::testing::SessionTest;

namespace {

constexpr int kWarehouse = 3;
constexpr int kRemark = 4;

class LoadingTest : public SessionTest {
  protected:
    bool enabled(const char* key) { return session->commandState(QLatin1String(key)).enabled; }
    QString navigation() {
        QString out;
        for (const char* key : {keys::First, keys::Back, keys::Next, keys::End})
            out += enabled(key) ? QLatin1Char('1') : QLatin1Char('0');
        return out;
    }
    // The user types into a header field and it keeps the focus.
    void typeIntoHeader(int index, const QString& text) {
        editor().headerFocus(index);
        editor().setHeaderText(index, text);
    }
    int bills() { return scalar(QStringLiteral("select count(*) from icstockbill")).toInt(); }
    void clearBills() {
        db.execAll({QStringLiteral("delete from icstockbillentry"),
                    QStringLiteral("delete from icstockbill")});
    }
};

TEST_F(LoadingTest, BillIsShownWholeAndAShorterOneLeavesNothingOfTheLonger) {
    seedBill(1, 5);
    seedBill(2, 3);
    ctx.gBillIdList = {QStringLiteral("1"), QStringLiteral("2")};
    open(1, 1);
    const BillForm& form = session->form();
    EXPECT_EQ(session->billDate(), QDate(2026, 3, 15));
    EXPECT_EQ(form.headerField(3)->keyValue, QStringLiteral("502"));
    EXPECT_EQ(form.headerField(4)->text, QStringLiteral("摘要1"));
    EXPECT_EQ(grid().lastDataRow(), 5);
    EXPECT_EQ(grid().lineKey(5), QStringLiteral("50"));
    // Stored amounts stay, though quantity × price would give 16.65.
    EXPECT_EQ(grid().text(7, 5), QStringLiteral("50.00"));
    EXPECT_EQ(grid().text(6, 5), QStringLiteral("3.33"));
    EXPECT_EQ(grid().key(9, 5), QStringLiteral("801"));
    EXPECT_EQ(grid().text(8, 5), QStringLiteral("B5"));
    EXPECT_EQ(grid().text(form.warehouseColumn(), 5), QStringLiteral("502"));
    EXPECT_EQ(grid().text(form.unitGroupColumn(), 5), QStringLiteral("601"));

    ASSERT_TRUE(session->next());
    EXPECT_EQ(ctx.gCurrentInterId, 2);
    EXPECT_EQ(grid().lastDataRow(), 3);
    for (int r : {4, 5}) {
        EXPECT_EQ(grid().lineKey(r), QString()) << r;
        for (int c = 1; c <= grid().columns(); ++c) {
            EXPECT_EQ(grid().text(c, r), QString()) << c << "," << r;
            EXPECT_EQ(grid().key(c, r), QString()) << c << "," << r;
            EXPECT_EQ(grid().code(c, r), QString()) << c << "," << r;
        }
    }
    EXPECT_EQ(form.headerField(4)->text, QStringLiteral("摘要2"));
}

// Browsing follows the list and its ends; the strip under the grid shows the
// sums of the bill on screen (a red bill's unsigned, as its lines are shown),
// and is empty again for a new bill.
TEST_F(LoadingTest, BrowsingFollowsTheListAndTheStripShowsTheBillOnScreen) {
    seedBill(1, 5);
    seedBill(2, 3);
    seedBill(3, 2, 0, 1);
    ctx.gBillIdList = {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")};
    open(1, 2);
    EXPECT_EQ(ctx.gBillIdIndex, 1);
    const TotalsStrip& strip = session->form().strip;
    auto shown = [&] {
        return QStringLiteral("%1 %2|%3 %4")
            .arg(session->billNumber(), strip.text(5), strip.text(7), navigation());
    };
    EXPECT_EQ(shown(), QStringLiteral("NO2 6.00|60.00 1111"));
    const std::vector<std::pair<std::function<bool()>, const char*>> browsing{
        {[&] { return session->next(); }, "NO3 3.00|30.00 1100"},
        {[&] { return session->previous(); }, "NO2 6.00|60.00 1111"},
        {[&] { return session->first(); }, "NO1 15.00|150.00 0011"},
        {[&] { return session->last(); }, "NO3 3.00|30.00 1100"},
    };
    for (const auto& [browse, expected] : browsing) {
        ASSERT_TRUE(browse());
        EXPECT_EQ(shown(), QLatin1String(expected));
    }
    session->newBill();
    EXPECT_EQ(strip.text(5) + QLatin1Char('|') + strip.text(7), QStringLiteral("|"));

    ctx.gBillIdList = {QStringLiteral("3")};
    open(1, 3);
    EXPECT_EQ(navigation(), QStringLiteral("0000"));
}

// A column the layout computes and never stores is computed for every loaded
// line from what was loaded, and summed; a stored amount stays as saved.
TEST_F(LoadingTest, ComputedColumnsFollowTheLoadedLines) {
    db.exec(QStringLiteral(
        "insert into tblBillInfoEntry (ftypeid, fcol, fcaption, fwidth, FFieldName, fFieldType, "
        "fType, fNumberDec, fismultirows, fcolid, fislock, FFormula, fisinsert, fsystemTypeid, "
        "fIsSum, fIsRed, fCanNull, fisvisible) values (7, 11, '两倍数量', 1200, 'fdouble', '0', "
        "2, 1, 0, '0', 1, 'E#*2', '0', null, 1, 0, 1, 1)"));
    seedBill(1, 5);
    open(1, 1);
    EXPECT_EQ(grid().text(11, 5), QStringLiteral("10.0"));
    EXPECT_EQ(grid().text(11, 6), QString());
    EXPECT_EQ(grid().text(7, 5), QStringLiteral("50.00"));
    EXPECT_EQ(session->form().strip.text(11), QStringLiteral("30.0"));
}

// Layout names become column names of the bill's select: one that is not a
// plain name is reported, never run as part of the statement.
TEST_F(LoadingTest, LayoutNameThatIsNoColumnNameIsReported) {
    seedBill(1, 2);
    db.exec(
        QStringLiteral("update tblBillInfoEntry set FFieldName='fnote,fqty' where ftypeid=7 "
                       "and fcol=10"));
    open(1, 1);
    EXPECT_EQ(prompter.messageTexts(), QStringList{QStringLiteral("列 fnote,fqty 不存在")});
    EXPECT_EQ(grid().lastDataRow(), 0);
    EXPECT_FALSE(enabled(keys::Save));
}

TEST_F(LoadingTest, RedAuditedBillOpensUnsignedRedAndReadOnly) {
    seedBill(7, 1, 1, 1);
    ctx.gIsUpdateBillNo = 1;
    open(1, 7);
    EXPECT_EQ(grid().text(5, 1), QStringLiteral("1.00"));
    EXPECT_EQ(grid().text(7, 1), QStringLiteral("10.00"));
    EXPECT_EQ(ctx.gIsRedBill, 1);
    EXPECT_FALSE(enabled(keys::Red));
    EXPECT_FALSE(enabled(keys::Blue));
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
    ctx.gBillIdList = {QStringLiteral("1"), QStringLiteral("99")};
    open(1, 1);
    EXPECT_FALSE(session->next());
    EXPECT_TRUE(prompter.onlyMessage(QStringLiteral("数据读取错误!"), entry::Icon::Critical));
    EXPECT_EQ(ctx.gCurrentInterId, 1);
    EXPECT_EQ(ctx.gBillIdIndex, 0);
    EXPECT_EQ(grid().lastDataRow(), 2);
    EXPECT_TRUE(enabled(keys::Save));

    // A window opened on a bill that is gone offers nothing.
    prompter.clear();
    open(1, 99);
    EXPECT_EQ(prompter.messageTexts(), QStringList{QStringLiteral("数据读取错误!")});
    EXPECT_FALSE(enabled(keys::Save));
    EXPECT_FALSE(enabled(keys::New));
}

// Audit needs a saved bill, which is checked before the right; commands the
// user holds no right to are not offered, and the refusal names the action.
TEST_F(LoadingTest, AuditNeedsASavedBillAndTheRightAndCommandsFollowTheRights) {
    seedBill(1, 1);
    open(0);
    ctx.gLoginUserId = QStringLiteral("3");  // may only add and change bills
    ctx.IsAdmin = 0;
    EXPECT_FALSE(session->check());
    EXPECT_EQ(prompter.messageTexts(), QStringList{QStringLiteral("请先保存单据!")});

    open(1, 1);
    for (const char* key : {keys::Save, keys::MenuSave, keys::New})
        EXPECT_TRUE(enabled(key)) << key;
    for (const char* key : {keys::Check, keys::Preview, keys::Print, keys::MenuStockQuery})
        EXPECT_FALSE(enabled(key)) << key;
    EXPECT_FALSE(session->check());
    EXPECT_EQ(prompter.lastText(),
              QStringLiteral("您无此权限！不能审核单据（权限G04），请与系统管理员联系"));
    ctx.gLoginUserId = QStringLiteral("2");  // a group that holds every right
    open(1, 1);
    for (const char* key : {keys::Save, keys::Check, keys::Preview, keys::MenuStockQuery})
        EXPECT_TRUE(enabled(key)) << key;

    ctx.gLoginUserId = QStringLiteral("1");
    ctx.IsAdmin = 1;
    prompter.clear();
    // Audited with the focus in the warehouse field, which shows its code
    // while focused; disabled, it loses the focus and shows the name again.
    editor().headerFocus(kWarehouse);
    ASSERT_EQ(session->form().headerField(kWarehouse)->text, QStringLiteral("02"));
    ASSERT_TRUE(session->check());
    editor().headerValidate(kWarehouse);
    editor().headerLeave(kWarehouse);
    EXPECT_EQ(session->form().headerField(kWarehouse)->text, QStringLiteral("五金仓"));
    EXPECT_EQ(prompter.messageTexts(), QStringList{QStringLiteral("审核成功!")});
    EXPECT_EQ(scalar(QStringLiteral("select fstatus||'|'||fchecker from icstockbill")).toString(),
              QStringLiteral("1|1"));
    EXPECT_TRUE(grid().isReadOnly());
    EXPECT_FALSE(session->form().headerField(kWarehouse)->enabled);
}

// The window is kept between openings: from the journal's change mode it
// comes back in split mode, and back again.
TEST_F(LoadingTest, SplitModeOpensOnlyTheSplitQuantityAndSavesTheSplit) {
    seedBill(5, 2, 1);
    open(1, 5);
    const int columns = grid().columns();
    ctx.gEditMode = entry::kModeSplit;
    session->start();
    EXPECT_EQ(grid().columns(), columns + 1);
    const int split = session->form().splitColumn;
    ASSERT_EQ(split, 6);
    EXPECT_FALSE(grid().isReadOnly());
    EXPECT_FALSE(grid().setData(grid().index(1, 4), QStringLiteral("9"), Qt::EditRole));
    EXPECT_FALSE(session->commandState(keys::Check).visible);
    EXPECT_TRUE(session->commandState(keys::Exit).visible);
    typeCell(split, 2, QStringLiteral("1"));
    ASSERT_TRUE(moveTo(split, 1));

    ASSERT_TRUE(session->save());
    EXPECT_TRUE(prompter.lastText().startsWith(QStringLiteral("拆分成功")));
    EXPECT_FALSE(enabled(keys::Save));
    EXPECT_FALSE(editor().isChanged());
    EXPECT_EQ(
        scalar(QStringLiteral("select count(*) from icstockbill where frscinterid=5")).toInt(), 1);
    EXPECT_EQ(scalar(QStringLiteral("select fqty+0 from icstockbillentry where finterid=5 and "
                                    "fentryid=20"))
                  .toDouble(),
              1.0);
    // The window shows what the split left on the bill, still with Save and
    // Exit only.
    EXPECT_EQ(grid().text(5, 2).toDouble(), 1.0);
    EXPECT_EQ(grid().text(split, 2), QString());
    for (const char* key : {keys::New, keys::Copy, keys::Check, keys::Next, keys::MenuEdit})
        EXPECT_FALSE(session->commandState(QLatin1String(key)).visible) << key;
    EXPECT_TRUE(session->commandState(QLatin1String(keys::Exit)).visible);

    ctx.gEditMode = entry::kModeChange;
    session->start();
    EXPECT_EQ(grid().columns(), columns);
    EXPECT_EQ(session->form().splitColumn, 0);
    EXPECT_EQ(grid().text(7, 2), QStringLiteral("10.00"));
}

using CommandTest = LoadingTest;

TEST_F(CommandTest, LineCommandsAskFirstAndNoChangesNothing) {
    open(0);
    fillHeader();
    enterLine(1, QStringLiteral("02.001"), QStringLiteral("5"), QStringLiteral("10"));
    enterLine(2, QStringLiteral("02.002"), QStringLiteral("3"), QStringLiteral("10"));
    editor().setChanged(false);
    ASSERT_TRUE(moveTo(5, 2));
    prompter.expectQuestion(entry::Answer::No);
    session->deleteLine();
    prompter.expectQuestion(entry::Answer::No);
    session->insertLine();
    EXPECT_EQ(grid().lastDataRow(), 2);
    EXPECT_FALSE(editor().isChanged());
    EXPECT_EQ(prompter.questions()[0].text, QStringLiteral("确定要删除吗?"));
    EXPECT_EQ(prompter.questions()[1].text, QStringLiteral("确定要新增吗?"));

    prompter.expectQuestion(entry::Answer::Yes);
    session->insertLine();
    EXPECT_EQ(grid().text(1, 2), QString());
    EXPECT_EQ(grid().text(1, 3), QStringLiteral("02.002"));
    EXPECT_TRUE(editor().isChanged());

    // Deleting the empty line brings the second line back up; the sums follow.
    prompter.expectQuestion(entry::Answer::Yes);
    session->deleteLine();
    EXPECT_EQ(grid().text(1, 2), QStringLiteral("02.002"));
    EXPECT_EQ(grid().lastDataRow(), 2);
    EXPECT_EQ(session->form().strip.value(5), 8.0);
}

TEST_F(CommandTest, OptionsDecideWhatFollowsASaveAndWhatACopyKeeps) {
    open(0);
    EXPECT_EQ(session->options().afterSaveNew, 1);
    session->toggleAfterSaveNew();
    ASSERT_TRUE(session->close());
    EXPECT_EQ(
        settings->value(QStringLiteral("frmMainBill7"), QStringLiteral("AfterSaveNew"), QString()),
        QStringLiteral("0"));

    open(0);
    fillHeader();
    enterLine(1, QStringLiteral("02.001"), QStringLiteral("5"), QStringLiteral("10"));
    ASSERT_TRUE(session->save());
    EXPECT_EQ(ctx.gEditMode, entry::kModeNew);
    EXPECT_EQ(grid().lastDataRow(), 0);

    // Copy keeps header and lines by default, as a new bill without line ids.
    settings->setValue(QStringLiteral("frmMainBill7"), QStringLiteral("AfterSaveNew"),
                       QStringLiteral("1"));
    ctx.gBillIdList = {QStringLiteral("1")};
    db.exec(QStringLiteral("update icstockbill set fstatus=1 where finterid=1"));
    open(1, 1);
    // The copy of an audited bill, made with the focus in its read-only grid,
    // offers the line commands at once.
    editor().gridFocus();
    EXPECT_FALSE(session->commandState(keys::InsertRow).enabled);
    session->copyBill();
    EXPECT_TRUE(session->commandState(keys::InsertRow).enabled);
    EXPECT_EQ(session->billNumber(), QStringLiteral("QTRK000002"));
    EXPECT_EQ(grid().lineKey(1), QString());
    ASSERT_TRUE(session->save());
    EXPECT_EQ(row(QStringLiteral("select fstockid1,(select fitemid from icstockbillentry where "
                                 "finterid=2) from icstockbill where finterid=2")),
              QStringLiteral("502|1121"));

    settings->setValue(QStringLiteral("frmMainBill7"), QStringLiteral("CopyEntry"),
                       QStringLiteral("1"));
    settings->setValue(QStringLiteral("frmMainBill7"), QStringLiteral("CopyHeader"),
                       QStringLiteral("1"));
    open(1, 1);
    session->copyBill();
    EXPECT_EQ(grid().lastDataRow(), 0);
    EXPECT_EQ(session->form().headerField(3)->keyValue, QString());
    EXPECT_EQ(session->form().headerField(4)->text, QString());
}

TEST_F(CommandTest, CommandsTakeTheHeaderFieldStillBeingTyped) {
    open(0);
    session->setBillDate(QDate(2026, 3, 15));
    enterLine(1, QStringLiteral("02.001"), QStringLiteral("5"), QStringLiteral("10"));

    // An unknown code is refused as leaving the field refuses it: nothing is stored.
    typeIntoHeader(kWarehouse, QStringLiteral("99"));
    EXPECT_FALSE(session->save());
    EXPECT_EQ(prompter.messageTexts(), QStringList{QStringLiteral("收料仓库输入不正确")});
    EXPECT_EQ(bills(), 0);

    prompter.clear();
    editor().setHeaderText(kWarehouse, QStringLiteral("02"));
    ASSERT_TRUE(session->save()) << prompter.messageTexts().join(',').toStdString();
    const qint32 id = ctx.gCurrentInterId;

    // Audit reads the bill too: a code typed and refused stops it.
    prompter.clear();
    typeIntoHeader(kWarehouse, QStringLiteral("99"));
    EXPECT_FALSE(session->check());
    EXPECT_EQ(prompter.messageTexts(), QStringList{QStringLiteral("收料仓库输入不正确")});
    EXPECT_EQ(
        scalar(QStringLiteral("select fstatus from icstockbill where finterid=?"), {id}).toInt(),
        0);
}

// New, Copy, Next, Previous and Close each leave the shown bill; a changed
// remark alone is offered for saving, Cancel keeps the bill and Yes stores it.
TEST_F(CommandTest, HeaderOnlyChangeIsOfferedForSavingByEveryWayOfLeaving) {
    const std::vector<std::pair<const char*, std::function<void()>>> leaving = {
        {"New", [this] { session->newBill(); }}, {"Copy", [this] { session->copyBill(); }},
        {"Next", [this] { session->next(); }},   {"Previous", [this] { session->previous(); }},
        {"Close", [this] { session->close(); }},
    };
    for (int id : {1, 2, 3}) seedBill(id, 1);
    ctx.gBillIdList = {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")};
    for (const auto& [name, leave] : leaving) {
        SCOPED_TRACE(name);
        open(1, 2);
        const QString remark = QStringLiteral("改过的摘要 %1").arg(QLatin1String(name));
        setHeader(kRemark, remark);

        prompter.clear();
        prompter.expectQuestion(entry::Answer::Cancel);
        leave();
        ASSERT_EQ(prompter.questions().size(), 1u);
        EXPECT_EQ(prompter.questions()[0].text, QStringLiteral("单据已经改变，是否保存？"));
        EXPECT_EQ(ctx.gCurrentInterId, 2);
        EXPECT_EQ(ctx.gEditMode, 1);
        EXPECT_EQ(session->form().headerField(kRemark)->text, remark);

        prompter.clear();
        prompter.expectQuestion(entry::Answer::Yes);
        leave();
        EXPECT_EQ(prompter.questions().size(), 1u);
        EXPECT_EQ(scalar(QStringLiteral("select fexplanation from icstockbill where finterid=2"))
                      .toString(),
                  remark);
    }
}

// An audited bill is read-only; the price edit opens only price and amount,
// the split only the split quantity. F7 on a closed cell opens no selector
// and changes nothing.
TEST_F(CommandTest, LookupsLeaveLinesThatMayNotChangeAlone) {
    const std::tuple<const char*, int, int> cases[] = {
        {"audited", 1, 1},
        {"price edit", 4, 0},
        {"split", 2, 0},
    };
    records.answers.assign(
        20, {QStringLiteral("1101"), QStringLiteral("01.001"), QStringLiteral("冷轧钢板")});
    units.answer = {QStringLiteral("702"), QStringLiteral("BOX"), QStringLiteral("盒")};
    batches.batch = QStringLiteral("NEW");
    batches.unitCost = QStringLiteral("99");
    for (const auto& [name, mode, status] : cases) {
        SCOPED_TRACE(name);
        clearBills();
        seedBill(1, 2, status);
        open(mode, 1);
        for (const int column : {1, 4, 8, 9}) {  // item code, unit, batch, stock place
            SCOPED_TRACE(column);
            ASSERT_TRUE(moveTo(column, 1));
            EXPECT_FALSE(enabled(keys::View));
            const QString text = grid().text(column, 1);
            const QString key = grid().key(column, 1);
            const QString price = grid().text(6, 1);
            session->view();
            EXPECT_EQ(grid().text(column, 1), text);
            EXPECT_EQ(grid().key(column, 1), key);
            EXPECT_EQ(grid().text(6, 1), price);
        }
        EXPECT_TRUE(records.inputs.empty());
        EXPECT_TRUE(units.inputs.empty());
        EXPECT_TRUE(batches.itemIds.empty());
        EXPECT_FALSE(editor().isChanged());
    }

    // The price edit leaves the price open, so a batch picked elsewhere may
    // not set it, but the batch column of a bill being changed still picks.
    clearBills();
    seedBill(1, 2);
    open(1, 1);
    ASSERT_TRUE(moveTo(8, 1));
    session->view();
    EXPECT_EQ(grid().text(8, 1), QStringLiteral("NEW"));
    EXPECT_EQ(grid().text(6, 1), QStringLiteral("99.00"));
}

// A bill as long as the grid, or longer than the rows above the cursor's
// ten free ones, takes more lines after its last.
TEST_F(CommandTest, LoadedLongBillGrowsAfterItsLastLine) {
    for (const int lines : {21, 30}) {
        SCOPED_TRACE(lines);
        clearBills();
        seedBill(1, lines);
        // One item throughout, kept in the bill's warehouse, so no line asks.
        db.exec(QStringLiteral("update icstockbillentry set fitemid=1121"));
        open(1, 1);
        EXPECT_GE(grid().rows(), lines + 10);
        enterLine(lines + 1, QStringLiteral("02.001"), QStringLiteral("1"), QStringLiteral("10"));
        EXPECT_GE(grid().rows(), lines + 11);
        ASSERT_TRUE(session->save()) << prompter.messageTexts().join(',').toStdString();
        EXPECT_EQ(scalar(QStringLiteral("select count(*) from icstockbillentry where finterid=1"))
                      .toInt(),
                  lines + 1);
    }
}

}  // namespace
