#include <functional>
#include <utility>

#include "session_fixture.h"

using namespace otherin;
using namespace otherin::editor;
using otherin::testing::SessionTest;

namespace {

class LoadingTest : public SessionTest {
  protected:
    bool enabled(const char* key) { return session->commandState(QLatin1String(key)).enabled; }
    QString navigation() {
        QString out;
        for (const char* key : {keys::First, keys::Back, keys::Next, keys::End})
            out += enabled(key) ? QLatin1Char('1') : QLatin1Char('0');
        return out;
    }
};

TEST_F(LoadingTest, BillIsShownWholeAndAShorterOneLeavesNothingOfTheLonger) {
    seedBill(1, 5);
    seedBill(2, 3);
    ctx.gBillIdList = {QStringLiteral("1"), QStringLiteral("2")};
    open(1, 1);
    const BillForm& form = session->form();
    EXPECT_EQ(session->billNumber(), QStringLiteral("NO1"));
    EXPECT_EQ(session->billDate(), QDate(2026, 3, 15));
    const HeaderField* warehouse = form.headerField(3);
    EXPECT_EQ(warehouse->text, QStringLiteral("五金仓"));
    EXPECT_EQ(warehouse->code, QStringLiteral("02"));
    EXPECT_EQ(warehouse->keyValue, QStringLiteral("502"));
    EXPECT_EQ(form.headerField(4)->text, QStringLiteral("摘要1"));
    EXPECT_EQ(session->fixedFields().makerName, QStringLiteral("系统管理员"));
    EXPECT_EQ(grid().lastDataRow(), 5);
    EXPECT_EQ(grid().lineKey(5), QStringLiteral("50"));
    // Stored amounts stay, though quantity × price would give 16.65.
    EXPECT_EQ(grid().text(7, 5), QStringLiteral("50.00"));
    EXPECT_EQ(grid().text(6, 5), QStringLiteral("3.33"));
    EXPECT_EQ(grid().text(9, 5), QStringLiteral("A区01号货架"));
    EXPECT_EQ(grid().key(9, 5), QStringLiteral("801"));
    EXPECT_EQ(grid().code(9, 5), QStringLiteral("A01"));
    EXPECT_EQ(grid().text(8, 5), QStringLiteral("B5"));
    EXPECT_EQ(grid().text(form.warehouseColumn(), 5), QStringLiteral("502"));
    EXPECT_EQ(grid().text(form.unitGroupColumn(), 5), QStringLiteral("601"));
    EXPECT_FALSE(editor().isChanged());
    EXPECT_EQ(ctx.gLoadingBill, 0);

    ASSERT_TRUE(session->next());
    EXPECT_EQ(ctx.gCurrentInterId, 2);
    EXPECT_EQ(grid().lastDataRow(), 3);
    EXPECT_EQ(grid().text(2, 3), QStringLiteral("六角螺母"));
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

// The strip under the grid shows the sums of the bill on screen: after
// opening, after each browse (a red bill's sums unsigned, as its lines are
// shown) and empty again for a new bill.
TEST_F(LoadingTest, StripShowsTheSumsOfTheBillOnScreen) {
    seedBill(1, 5);
    seedBill(2, 3);
    seedBill(3, 2, 0, 1);
    ctx.gBillIdList = {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")};
    open(1, 1);
    const TotalsStrip& strip = session->form().strip;
    auto sums = [&strip] { return strip.text(5) + QLatin1Char('|') + strip.text(7); };
    EXPECT_EQ(sums(), QStringLiteral("15.00|150.00"));
    const std::vector<std::pair<std::function<bool()>, const char*>> browsing{
        {[&] { return session->next(); }, "6.00|60.00"},
        {[&] { return session->next(); }, "3.00|30.00"},
        {[&] { return session->previous(); }, "6.00|60.00"},
        {[&] { return session->first(); }, "15.00|150.00"},
        {[&] { return session->last(); }, "3.00|30.00"},
    };
    for (const auto& [browse, shown] : browsing) {
        ASSERT_TRUE(browse());
        EXPECT_EQ(sums(), QLatin1String(shown)) << "bill " << ctx.gCurrentInterId;
    }
    session->newBill();
    EXPECT_EQ(sums(), QStringLiteral("|"));
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
    EXPECT_TRUE(grid().isRedText());
    EXPECT_TRUE(session->redMarkVisible());
    EXPECT_TRUE(session->commandState(keys::Red).checked);
    EXPECT_FALSE(enabled(keys::Red));
    EXPECT_FALSE(enabled(keys::Blue));
    EXPECT_TRUE(session->auditedMarkVisible());
    EXPECT_TRUE(grid().isReadOnly());
    EXPECT_FALSE(enabled(keys::InsertRow));
    EXPECT_FALSE(enabled(keys::MenuCopyRow));
    for (const HeaderField& f : session->form().header) EXPECT_FALSE(f.enabled) << f.index;
    EXPECT_EQ(session->fixedFields().checkerName, QStringLiteral("张三"));

    // Insert and delete do nothing on a read-only grid: no question is asked.
    session->insertLine();
    session->deleteLine();
    EXPECT_TRUE(prompter.questions().empty());
    EXPECT_EQ(grid().lastDataRow(), 1);
}

TEST_F(LoadingTest, BrowsingFollowsTheListAndItsEnds) {
    for (qint32 id : {12, 15, 20}) seedBill(id, 1);
    ctx.gBillIdList = {QStringLiteral("12"), QStringLiteral("15"), QStringLiteral("20")};
    open(1, 15);
    EXPECT_EQ(navigation(), QStringLiteral("1111"));
    EXPECT_EQ(ctx.gBillIdIndex, 1);
    ASSERT_TRUE(session->next());
    EXPECT_EQ(session->billNumber(), QStringLiteral("NO20"));
    EXPECT_EQ(navigation(), QStringLiteral("1100"));
    ASSERT_TRUE(session->first());
    EXPECT_EQ(ctx.gCurrentInterId, 12);
    EXPECT_EQ(navigation(), QStringLiteral("0011"));
    ASSERT_TRUE(session->last());
    ASSERT_TRUE(session->previous());
    EXPECT_EQ(ctx.gCurrentInterId, 15);

    // Unsaved changes are offered for saving before the bill goes.
    typeCell(10, 1, QStringLiteral("改过"));
    prompter.expectQuestion(entry::Answer::Cancel);
    EXPECT_FALSE(session->next());
    EXPECT_EQ(ctx.gCurrentInterId, 15);
    EXPECT_EQ(grid().text(10, 1), QStringLiteral("改过"));
    prompter.expectQuestion(entry::Answer::No);
    EXPECT_TRUE(session->next());
    EXPECT_EQ(prompter.questions().back().text, QStringLiteral("单据已经改变，是否保存？"));

    ctx.gBillIdList = {QStringLiteral("20")};
    open(1, 20);
    EXPECT_EQ(navigation(), QStringLiteral("0000"));
}

TEST_F(LoadingTest, MissingBillIsReportedAndTheBillShownBeforeStays) {
    seedBill(1, 2);
    ctx.gBillIdList = {QStringLiteral("1"), QStringLiteral("99")};
    open(1, 1);
    EXPECT_FALSE(session->next());
    ASSERT_EQ(prompter.messageTexts(), QStringList{QStringLiteral("数据读取错误!")});
    EXPECT_EQ(prompter.messages()[0].icon, entry::Icon::Critical);
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

TEST_F(LoadingTest, AuditFromTheEditorNeedsASavedBillAndTheRight) {
    seedBill(1, 1);
    db.exec(
        QStringLiteral("insert into tblUser(fuserid,fnumber,fname,fIsAdmin,fUserType,fpassword) "
                       "values(4,'wang','王五',0,1,'')"));
    open(0);
    // Checked before the right: user 4 holds none, and is not told so here.
    ctx.gLoginUserId = QStringLiteral("4");
    ctx.IsAdmin = 0;
    EXPECT_FALSE(session->check());
    EXPECT_EQ(prompter.messageTexts(), QStringList{QStringLiteral("请先保存单据!")});
    session->preview();
    EXPECT_EQ(prompter.lastText(),
              QStringLiteral("您无此权限！不能打印和预览单据（权限G08），请与系统管理员联系"));

    ctx.gLoginUserId = QStringLiteral("1");
    ctx.IsAdmin = 1;
    prompter.clear();
    session->preview();
    EXPECT_EQ(prompter.messageTexts(), QStringList{QStringLiteral("请选保存单据!")});

    open(1, 1);
    prompter.clear();
    session->print();
    EXPECT_EQ(prompter.messageTexts(), QStringList{QStringLiteral("打印功能尚未提供")});
    prompter.clear();
    ASSERT_TRUE(session->check());
    EXPECT_EQ(prompter.messageTexts(), QStringList{QStringLiteral("审核成功!")});
    EXPECT_EQ(scalar(QStringLiteral("select fstatus||'|'||fchecker from icstockbill")).toString(),
              QStringLiteral("1|1"));
    EXPECT_TRUE(grid().isReadOnly());
    EXPECT_TRUE(session->auditedMarkVisible());
    EXPECT_EQ(session->fixedFields().checkerName, QStringLiteral("系统管理员"));
    EXPECT_FALSE(enabled(keys::DeleteRow));
    EXPECT_FALSE(session->form().headerField(3)->enabled);
}

TEST_F(LoadingTest, SplitModeOpensOnlyTheSplitQuantityAndSavesTheSplit) {
    seedBill(5, 2, 1);
    // The window is kept between openings: from the journal's change mode
    // it comes back in split mode.
    open(1, 5);
    const int columns = grid().columns();
    ctx.gEditMode = entry::kModeSplit;
    session->start();
    EXPECT_EQ(grid().columns(), columns + 1);
    EXPECT_EQ(session->title(), QStringLiteral("其它入库单拆分"));
    const int split = session->form().splitColumn;
    ASSERT_EQ(split, 6);
    EXPECT_EQ(grid().text(split, 0), QStringLiteral("拆分数量"));
    EXPECT_FALSE(grid().isReadOnly());
    EXPECT_FALSE(grid().setData(grid().index(1, 4), QStringLiteral("9"), Qt::EditRole));
    EXPECT_FALSE(session->commandState(keys::Check).visible);
    EXPECT_TRUE(session->commandState(keys::Exit).visible);
    // Only the loaded lines can be split.
    EXPECT_FALSE(moveTo(split, 3));
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
    // The window shows what the split left on the bill.
    EXPECT_EQ(grid().text(5, 2).toDouble(), 1.0);
    EXPECT_EQ(grid().text(split, 2), QString());

    ctx.gEditMode = entry::kModeChange;
    session->start();
    EXPECT_EQ(grid().columns(), columns);
    EXPECT_EQ(session->form().splitColumn, 0);
    EXPECT_EQ(grid().text(7, 2), QStringLiteral("10.00"));
}

using CommandTest = SessionTest;

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
    EXPECT_EQ(grid().currentRow(), 2);
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
    EXPECT_FALSE(session->commandState(keys::MenuAfterSaveNew).checked);
    EXPECT_TRUE(session->commandState(keys::MenuCopyHeader).checked);
    session->toggleAfterSaveNew();
    EXPECT_TRUE(session->commandState(keys::MenuAfterSaveNew).checked);
    ASSERT_TRUE(session->close());
    EXPECT_EQ(
        settings->value(QStringLiteral("frmMainBill7"), QStringLiteral("AfterSaveNew"), QString()),
        QStringLiteral("0"));

    open(0);
    fillHeader();
    enterLine(1, QStringLiteral("02.001"), QStringLiteral("5"), QStringLiteral("10"));
    ASSERT_TRUE(session->save());
    EXPECT_EQ(ctx.gEditMode, entry::kModeNew);
    EXPECT_EQ(session->title(), QStringLiteral("其它入库单新增"));
    EXPECT_EQ(session->billNumber(), QStringLiteral("QTRK000002"));
    EXPECT_EQ(grid().lastDataRow(), 0);
    EXPECT_EQ(session->form().headerField(3)->keyValue, QString());

    // Copy keeps header and lines by default, as a new bill without line ids.
    settings->setValue(QStringLiteral("frmMainBill7"), QStringLiteral("AfterSaveNew"),
                       QStringLiteral("1"));
    ctx.gBillIdList = {QStringLiteral("1")};
    open(1, 1);
    session->copyBill();
    EXPECT_EQ(ctx.gEditMode, entry::kModeNew);
    EXPECT_EQ(session->billNumber(), QStringLiteral("QTRK000002"));
    EXPECT_EQ(grid().text(1, 1), QStringLiteral("02.001"));
    EXPECT_EQ(grid().lineKey(1), QString());
    EXPECT_EQ(session->form().headerField(3)->keyValue, QStringLiteral("502"));
    ASSERT_TRUE(session->save());
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from icstockbill")).toInt(), 2);

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

TEST_F(CommandTest, ClosingAsksAboutAChangedHeader) {
    const qint32 id = saveNewBill({QStringLiteral("5")});
    open(1, id);
    setHeader(4, QStringLiteral("新摘要"));
    prompter.expectQuestion(entry::Answer::Cancel);
    EXPECT_FALSE(session->close());

    prompter.expectQuestion(entry::Answer::Yes);
    ASSERT_TRUE(session->close());
    EXPECT_EQ(scalar(QStringLiteral("select fexplanation from icstockbill")).toString(),
              QStringLiteral("新摘要"));

    // Nothing changed: the window closes without a question.
    open(1, id);
    EXPECT_TRUE(session->close());
    EXPECT_EQ(prompter.questions().size(), 2u);
}

}  // namespace
