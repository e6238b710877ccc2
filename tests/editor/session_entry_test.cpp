// What the clerk has typed and not yet confirmed, lines that may not change,
// and bills longer than the grid.
#include "session_fixture.h"

using namespace otherin;
using namespace otherin::editor;
using otherin::testing::SessionTest;

namespace {

constexpr int kWarehouse = 3;
constexpr int kRemark = 4;

class EntryTest : public SessionTest {
  protected:
    // The user types into a header field and it keeps the focus.
    void typeIntoHeader(int index, const QString& text) {
        editor().headerFocus(index);
        editor().setHeaderText(index, text);
    }
    qint32 billCount() {
        return scalar(QStringLiteral("select count(*) from icstockbill")).toInt();
    }
};

TEST_F(EntryTest, CommandsTakeTheHeaderFieldStillBeingTyped) {
    open(0);
    session->setBillDate(QDate(2026, 3, 15));
    enterLine(1, QStringLiteral("02.001"), QStringLiteral("5"), QStringLiteral("10"));

    // An unknown code is refused as leaving the field refuses it: nothing is stored.
    typeIntoHeader(kWarehouse, QStringLiteral("99"));
    EXPECT_FALSE(session->save());
    EXPECT_EQ(prompter.messageTexts(), QStringList{QStringLiteral("收料仓库输入不正确")});
    EXPECT_EQ(billCount(), 0);

    prompter.clear();
    editor().setHeaderText(kWarehouse, QStringLiteral("02"));
    ASSERT_TRUE(session->save()) << prompter.messageTexts().join(',').toStdString();
    const qint32 id = ctx.gCurrentInterId;
    EXPECT_EQ(
        scalar(QStringLiteral("select fstockid1 from icstockbill where finterid=?"), {id}).toInt(),
        502);
    EXPECT_DOUBLE_EQ(
        scalar(QStringLiteral("select coalesce(sum(fqty),0) from tblTimeStock where fstockid=502"))
            .toDouble(),
        5.0);
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from tblTimeStock where fstockid=0")).toInt(),
              0);

    // Audit reads the bill too: a code typed and refused stops it.
    prompter.clear();
    typeIntoHeader(kWarehouse, QStringLiteral("99"));
    EXPECT_FALSE(session->check());
    EXPECT_EQ(prompter.messageTexts(), QStringList{QStringLiteral("收料仓库输入不正确")});
    EXPECT_EQ(
        scalar(QStringLiteral("select fstatus from icstockbill where finterid=?"), {id}).toInt(),
        0);
}

// New, Copy, Next and Previous each leave the shown bill; a changed remark
// alone is offered for saving, Cancel keeps the bill and Yes stores it.
TEST_F(EntryTest, HeaderOnlyChangeIsOfferedForSavingByEveryWayOfLeaving) {
    const std::vector<std::pair<const char*, std::function<void()>>> leaving = {
        {"New", [this] { session->newBill(); }},
        {"Copy", [this] { session->copyBill(); }},
        {"Next", [this] { session->next(); }},
        {"Previous", [this] { session->previous(); }},
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
TEST_F(EntryTest, LookupsLeaveLinesThatMayNotChangeAlone) {
    struct Case {
        const char* name;
        int mode;
        int status;
        std::vector<int> columns;  // item code, unit, batch, stock place
    };
    const Case cases[] = {
        {"audited", 1, 1, {1, 4, 8, 9}},
        {"price edit", 4, 0, {1, 4, 8, 9}},
        {"split", 2, 0, {1, 4, 8, 9}},
    };
    records.answers.assign(
        20, {QStringLiteral("1101"), QStringLiteral("01.001"), QStringLiteral("冷轧钢板")});
    units.answer = {QStringLiteral("702"), QStringLiteral("BOX"), QStringLiteral("盒")};
    batches.batch = QStringLiteral("NEW");
    batches.unitCost = QStringLiteral("99");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        db.exec(QStringLiteral("delete from icstockbillentry"));
        db.exec(QStringLiteral("delete from icstockbill"));
        seedBill(1, 2, c.status);
        open(c.mode, 1);
        for (const int column : c.columns) {
            SCOPED_TRACE(column);
            ASSERT_TRUE(moveTo(column, 1));
            EXPECT_FALSE(session->commandState(QLatin1String(keys::View)).enabled);
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
    db.exec(QStringLiteral("delete from icstockbillentry"));
    db.exec(QStringLiteral("delete from icstockbill"));
    seedBill(1, 2);
    open(1, 1);
    ASSERT_TRUE(moveTo(8, 1));
    session->view();
    EXPECT_EQ(grid().text(8, 1), QStringLiteral("NEW"));
    EXPECT_EQ(grid().text(6, 1), QStringLiteral("99.00"));
}

// A bill as long as the grid, or longer than the rows above the cursor's
// ten free ones, takes more lines after its last.
TEST_F(EntryTest, LoadedLongBillGrowsAfterItsLastLine) {
    for (const int lines : {21, 30}) {
        SCOPED_TRACE(lines);
        db.exec(QStringLiteral("delete from icstockbillentry"));
        db.exec(QStringLiteral("delete from icstockbill"));
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

// Commands the user holds no right to are not offered; the refusal, where a
// command is run anyway, names what was refused.
TEST_F(EntryTest, CommandsWithoutTheRightAreDisabledAndRefusalsNameTheAction) {
    seedBill(1, 1);
    ctx.IsAdmin = 0;
    ctx.gLoginUserId = QStringLiteral("3");  // may only add and change bills
    open(1, 1);
    const auto enabled = [this](const char* key) {
        return session->commandState(QLatin1String(key)).enabled;
    };
    EXPECT_TRUE(enabled(keys::Save));
    EXPECT_TRUE(enabled(keys::MenuSave));
    EXPECT_FALSE(enabled(keys::Check));
    EXPECT_FALSE(enabled(keys::Preview));
    EXPECT_FALSE(enabled(keys::Print));
    EXPECT_FALSE(enabled(keys::MenuStockQuery));
    EXPECT_TRUE(enabled(keys::New));
    EXPECT_FALSE(session->check());
    EXPECT_EQ(prompter.lastText(),
              QStringLiteral("您无此权限！不能审核单据（权限G04），请与系统管理员联系"));

    ctx.gLoginUserId = QStringLiteral("2");  // a group that holds every right
    open(1, 1);
    for (const char* key : {keys::Save, keys::Check, keys::Preview, keys::MenuStockQuery})
        EXPECT_TRUE(enabled(key)) << key;
}

}  // namespace
