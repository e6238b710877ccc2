// Line and header entry through the controller on the demo layout: typed
// codes, look-ups and selectors, checks when the cursor leaves a cell, and
// the import of several chosen items.
#include <functional>

#include "editor/item_import.h"
#include "editor_fixture.h"
#include "entry/edit_mode.h"

using namespace otherin;
using namespace otherin::editor;
using otherin::testing::EditorTest;

namespace {

using LineEntryTest = EditorTest;

// The unit cell shows its code while the cursor is in it, its name after.
TEST_F(LineEntryTest, TypedItemCodeFillsTheLineAndTheUnitShowsItsCodeWhileEdited) {
    open();
    ASSERT_TRUE(type(1, 1, QStringLiteral("01.009")));
    ASSERT_TRUE(move(1, 1, 2, 1));
    EXPECT_TRUE(prompter.messages().empty());
    LineGrid& g = grid();
    EXPECT_EQ(g.key(1, 1), QStringLiteral("1109"));
    EXPECT_EQ(g.text(2, 1), QStringLiteral("铜芯电线"));
    EXPECT_EQ(g.text(3, 1), QStringLiteral("BV 2.5mm²"));
    EXPECT_EQ(g.text(4, 1), QStringLiteral("卷"));
    EXPECT_EQ(g.key(4, 1), QStringLiteral("708"));
    EXPECT_EQ(g.code(4, 1), QStringLiteral("ROLL"));
    // hidden: warehouse, item unit factor, purchase price, unit group, line unit factor
    const QStringList hidden{"501", "50", "235", "603", "50"};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(g.text(11 + i, 1), hidden[i]) << 11 + i;
    EXPECT_TRUE(editor->isChanged());

    ASSERT_TRUE(move(2, 1, 4, 1));
    EXPECT_EQ(g.text(4, 1), QStringLiteral("ROLL"));
    ASSERT_TRUE(move(4, 1, 5, 1));
    EXPECT_EQ(g.text(4, 1), QStringLiteral("卷"));
}

TEST_F(LineEntryTest, UnknownItemCodeIsRefusedThenLetPassOnceThenRefusedAgain) {
    open();
    enterItem(1, QStringLiteral("01.009"));
    ASSERT_TRUE(move(2, 1, 1, 1));
    ASSERT_TRUE(type(1, 1, QStringLiteral("zz9")));

    EXPECT_FALSE(move(1, 1, 2, 1));
    EXPECT_TRUE(prompter.onlyMessage(QStringLiteral("数据录入错误!找不到代码“zz9”"),
                                     entry::Icon::Critical, QStringLiteral("其它入库单")));
    EXPECT_FALSE(editor->isCellAccepted());
    // What the old item put into the line is gone with it.
    EXPECT_EQ(grid().key(1, 1), QString());
    for (int c : {2, 3, 4, 11, 12, 13, 14}) EXPECT_EQ(grid().text(c, 1), QString()) << c;

    EXPECT_FALSE(move(1, 1, 2, 1));
    EXPECT_EQ(prompter.messages().size(), 1u);
    EXPECT_FALSE(move(1, 1, 2, 1));
    EXPECT_EQ(prompter.messages().size(), 2u);
    // Letter case does not make it another code.
    ASSERT_TRUE(type(1, 1, QStringLiteral("ZZ9")));
    EXPECT_FALSE(move(1, 1, 2, 1));
    EXPECT_EQ(prompter.messages().size(), 2u);
}

TEST_F(LineEntryTest, UnitBeforeItemAsksForTheItemFirst) {
    open();
    ASSERT_TRUE(move(1, 1, 4, 1));
    ASSERT_TRUE(type(4, 1, QStringLiteral("KG")));
    EXPECT_TRUE(move(4, 1, 5, 1));
    EXPECT_TRUE(prompter.onlyMessage(QStringLiteral("请先选择存货！"), entry::Icon::Critical));
    EXPECT_EQ(grid().text(4, 1), QString());

    ASSERT_TRUE(move(5, 1, 4, 1));
    editor->lookupCommand();
    EXPECT_EQ(prompter.messages().back().icon, entry::Icon::Exclamation);
    EXPECT_TRUE(units.inputs.empty());
}

// Every line whose amount disagrees with quantity × price when an amount is
// typed gets its price from the amount: lines loaded that way, lines changed
// by the program in between, lines written in a bulk change or moved by an
// inserted row; lines that agree keep theirs.
TEST_F(LineEntryTest, TypedAmountRepricesEveryLineThatDisagrees) {
    open();
    ASSERT_TRUE(move(1, 1, 5, 1));
    LineGrid& g = grid();
    auto line = [&g](int r, const char* qty, const char* price, const char* amount) {
        g.setText(1, r, QStringLiteral("x"));
        g.setText(5, r, QLatin1String(qty));
        g.setText(6, r, QLatin1String(price));
        g.setText(7, r, QLatin1String(amount));
    };
    {
        // As a bill comes from storage: one reset, stored amounts kept.
        LineGrid::BulkChange bulk(g);
        line(1, "2", "1", "5");
        line(2, "2", "1", "2");
        line(3, "2", "1", "7");
        line(4, "2", "1", "2");
    }
    auto typeAmount = [&](int r, const char* amount) {
        ASSERT_TRUE(move(editor->state().active.column, editor->state().active.row, 7, r));
        ASSERT_TRUE(type(7, r, QLatin1String(amount)));
    };
    auto prices = [&g] {
        QStringList out;
        for (int r = 1; r <= 5; ++r) out << g.text(6, r);
        return out.join(QLatin1Char(' '));
    };
    typeAmount(2, "4");
    EXPECT_EQ(prices(), QStringLiteral("2.50 2.00 3.50 1.00 "));

    // Changed by the program, not typed: it follows at the next typed amount.
    g.setText(7, 4, QStringLiteral("8"));
    EXPECT_EQ(prices(), QStringLiteral("2.50 2.00 3.50 1.00 "));
    typeAmount(1, "6");
    EXPECT_EQ(prices(), QStringLiteral("3.00 2.00 3.50 4.00 "));

    {
        LineGrid::BulkChange bulk(g);
        g.setText(7, 3, QStringLiteral("9"));
    }
    typeAmount(2, "5");
    EXPECT_EQ(prices(), QStringLiteral("3.00 2.50 4.50 4.00 "));

    // A line changed, then moved down by a row inserted above it.
    g.setText(7, 4, QStringLiteral("10"));
    g.insertRowAt(1);
    line(1, "1", "1", "1");
    typeAmount(2, "8");
    EXPECT_EQ(prices(), QStringLiteral("1.00 4.00 2.50 4.50 5.00"));

    // A line changed, then moved up by the row above it going.
    g.setText(7, 5, QStringLiteral("20"));
    g.removeRowAt(1);
    typeAmount(1, "10");
    EXPECT_EQ(prices(), QStringLiteral("5.00 2.50 4.50 10.00 "));
    EXPECT_EQ(form->strip.text(7), QStringLiteral("44.00"));
    EXPECT_EQ(form->strip.text(5), QStringLiteral("8.00"));

    // A line of quantity 0 keeps its price.
    line(5, "0", "1.5", "1");
    typeAmount(5, "7");
    EXPECT_EQ(prices(), QStringLiteral("5.00 2.50 4.50 10.00 1.50"));
    EXPECT_EQ(form->strip.value(7), 51.0);
}

// Lines are entered without gaps, however the rows above came to be empty.
TEST_F(LineEntryTest, GapCheckFollowsEveryWayARowEmptiesOrFills) {
    open();
    enterItem(1, QStringLiteral("01.009"));
    enterItem(2, QStringLiteral("02.001"));
    enterItem(3, QStringLiteral("02.002"));
    LineGrid& g = grid();
    // A refused move puts the confirmed code back into the look-up cell.
    ASSERT_TRUE(move(2, 3, 1, 2));
    ASSERT_TRUE(type(1, 2, QStringLiteral("01.0")));
    EXPECT_FALSE(move(1, 2, 1, 5));
    EXPECT_EQ(g.text(1, 2), QStringLiteral("02.001"));
    struct Step {
        const char* what;
        std::function<void()> change;
        int row;  // the cursor goes to the quantity of this row
        bool allowed;
    };
    const auto none = [] {};
    const std::vector<Step> steps{
        {"past the first empty row", none, 5, false},
        {"onto the first empty row", none, 4, true},
        {"row 2 blanked", [&] { g.setText(1, 2, QStringLiteral("  ")); }, 3, false},
        {"row 2 itself", none, 2, true},
        {"row 2 filled again", [&] { g.setText(1, 2, QStringLiteral("02.001")); }, 4, true},
        {"an empty row inserted at 2", [&] { g.insertRowAt(2); }, 3, false},
        {"and removed again", [&] { g.removeRowAt(2); }, 4, true},
        {"rows added at the end", [&] { g.appendRow(); }, 4, true},
        {"in a bulk change",
         [&] {
             LineGrid::BulkChange bulk(g);
             g.setText(1, 1, QString());
         },
         2, false},
        {"every cell emptied", [&] { g.clearCells(); }, 1, true},
        {"after that", none, 2, false},
    };
    for (const Step& step : steps) {
        step.change();
        const CellPos at = editor->state().active;
        EXPECT_EQ(move(at.column, at.row, 5, step.row), step.allowed) << step.what;
    }
    EXPECT_TRUE(prompter.messages().empty());
}

TEST_F(LineEntryTest, RequiredCellsAreNamedByRowAndColumn) {
    open();
    enterItem(1, QStringLiteral("01.009"));
    ASSERT_TRUE(move(2, 1, 5, 1));
    ASSERT_TRUE(type(5, 1, QStringLiteral("0")));
    enterItem(2, QStringLiteral("02.001"));

    EXPECT_FALSE(editor->requiredCellsFilled());
    EXPECT_EQ(prompter.lastText(), QStringLiteral("第1行第5列不能为空！"));
    EXPECT_EQ(prompter.messages().back().icon, entry::Icon::Exclamation);
    EXPECT_EQ(editor->state().active, (CellPos{5, 1}));

    ASSERT_TRUE(type(5, 1, QStringLiteral("2")));
    grid().setText(5, 2, QStringLiteral("3"));
    grid().clearCell(4, 2);
    EXPECT_FALSE(editor->requiredCellsFilled());
    EXPECT_EQ(prompter.lastText(), QStringLiteral("第2行4列计量单位不能为空！"));
    EXPECT_EQ(editor->state().active, (CellPos{4, 2}));

    grid().setText(4, 2, QStringLiteral("个"));  // typed, never confirmed
    EXPECT_FALSE(editor->requiredCellsFilled());
    EXPECT_EQ(prompter.lastText(), QStringLiteral("第2行计量单位不能为空！"));

    grid().setCell(4, 2, QStringLiteral("个"), QStringLiteral("701"), QStringLiteral("PCS"));
    EXPECT_TRUE(editor->requiredCellsFilled());
    EXPECT_EQ(prompter.messages().size(), 3u);
}

// A line keeps its unit through a change of item only when the unit belongs
// to the new item's unit group; otherwise the new item's own unit replaces it.
TEST_F(LineEntryTest, ChangedItemKeepsOnlyAUnitOfItsOwnUnitGroup) {
    struct Case {
        const char* first;
        const char* unit;  // typed after the first item; empty keeps the item's own
        const char* second;
        const char* unitShown;
        const char* unitKey;
        const char* factor;
    };
    const Case cases[] = {
        {"01.001", "T", "01.002", "吨", "705", "1000"},  // both in group 602
        {"01.001", "", "02.003", "个", "701", "1"},      // KG of 602 for an item of 601
        {"01.001", "T", "02.007", "箱", "703", "100"},   // a chosen unit goes too
        {"01.008", "", "01.009", "米", "707", "1"},      // M and ROLL are both of group 603
    };
    open();
    int r = 0;
    for (const Case& c : cases) {
        ++r;
        SCOPED_TRACE(c.second);
        enterItem(r, QString::fromUtf8(c.first));
        if (*c.unit) {
            ASSERT_TRUE(move(2, r, 4, r));
            ASSERT_TRUE(type(4, r, QString::fromUtf8(c.unit)));
            ASSERT_TRUE(move(4, r, 1, r));
        } else {
            ASSERT_TRUE(move(2, r, 1, r));
        }
        ASSERT_TRUE(type(1, r, QString::fromUtf8(c.second)));
        ASSERT_TRUE(move(1, r, 5, r));
        EXPECT_EQ(grid().text(4, r), QString::fromUtf8(c.unitShown));
        EXPECT_EQ(grid().key(4, r), QString::fromUtf8(c.unitKey));
        EXPECT_EQ(grid().text(form->unitFactorColumn(), r), QString::fromUtf8(c.factor));
    }
    EXPECT_TRUE(prompter.messages().empty()) << prompter.lastText().toStdString();
}

TEST_F(LineEntryTest, CompletingTheActiveCellConfirmsItEvenAfterTheGridLostTheFocus) {
    open();
    ASSERT_TRUE(type(1, 1, QStringLiteral("zz")));
    EXPECT_TRUE(move(1, 1, -1, -1));
    editor->headerFocus(4);
    EXPECT_FALSE(editor->completeCellEdit());
    EXPECT_EQ(prompter.lastText(), QStringLiteral("数据录入错误!找不到代码“zz”"));
    EXPECT_FALSE(editor->isCellAccepted());

    ASSERT_TRUE(type(1, 1, QStringLiteral("01.009")));
    EXPECT_TRUE(editor->completeCellEdit());
    EXPECT_TRUE(editor->isCellAccepted());
    EXPECT_EQ(grid().key(1, 1), QStringLiteral("1109"));
}

// Yes leaves the bill only when the save went through.
TEST_F(LineEntryTest, AskToSaveOnlyWhenTheBillChangedAndStayWhenTheSaveFails) {
    open();
    EXPECT_TRUE(editor->askToSave());
    EXPECT_TRUE(prompter.questions().empty());
    ASSERT_TRUE(type(10, 1, QStringLiteral("备注")));

    int saves = 0;
    bool saved = false;
    editor->setSaveCommand([&] {
        ++saves;
        return saved;
    });
    prompter.expectQuestion(entry::Answer::Yes);
    EXPECT_FALSE(editor->askToSave());
    saved = true;
    prompter.expectQuestion(entry::Answer::Yes);
    EXPECT_TRUE(editor->askToSave());
    EXPECT_EQ(saves, 2);
}

using LookupTest = EditorTest;

// A refused header code names the field without its closing colon; the
// selector's choice is checked and shown by name once the focus leaves.
TEST_F(LookupTest, HeaderCodeTypedOrChosenIsCheckedThenShownByName) {
    open();
    HeaderField& stock = *form->headerField(3);
    editor->headerFocus(3);
    stock.caption = QStringLiteral("仓库");
    editor->setHeaderText(3, QStringLiteral("98"));
    EXPECT_FALSE(editor->headerValidate(3));
    EXPECT_TRUE(prompter.onlyMessage(QStringLiteral("仓库输入不正确"), entry::Icon::Exclamation));
    EXPECT_TRUE(stock.keyValue.isEmpty());

    prompter.clear();
    records.answers.push_back({"503", "03", "包装材料仓"});
    editor->lookupCommand();
    EXPECT_EQ(stock.keyValue, QStringLiteral("503"));
    EXPECT_EQ(stock.code, QStringLiteral("03"));
    ASSERT_EQ(records.inputs.size(), 1u);
    EXPECT_EQ(records.inputs[0].accessCode, QStringLiteral("Z47QRT!&%MN"));
    EXPECT_EQ(records.inputs[0].itemClass, QStringLiteral("5"));
    EXPECT_EQ(records.inputs[0].itemClassList, QStringLiteral(",G01,G02,G03,"));
    EXPECT_EQ(records.inputs[0].connectionString, db.connectionString());
    ASSERT_TRUE(editor->headerValidate(3));
    editor->headerLeave(3);
    EXPECT_EQ(stock.text, QStringLiteral("包装材料仓"));
    EXPECT_TRUE(prompter.messages().empty());
}

TEST_F(LookupTest, GridSelectorsConfirmWhatTheyChoose) {
    open();
    records.answers.push_back({"1121", "02.001", "六角螺栓"});
    editor->gridKey(EditorKey::F7);
    EXPECT_EQ(grid().key(1, 1), QStringLiteral("1121"));
    EXPECT_EQ(grid().text(4, 1), QStringLiteral("个"));
    EXPECT_TRUE(editor->isChanged());

    // Several items answered, but none staged for this user: the cell stays.
    records.answers.push_back({"-1", "", ""});
    editor->gridKey(EditorKey::F7);
    EXPECT_EQ(records.inputs.back().typed, QStringLiteral("02.001"));
    EXPECT_EQ(grid().key(1, 1), QStringLiteral("1121"));
    // With items staged by the selector, they come in from the active row.
    db.exec(
        QStringLiteral("insert into tblItemInput(fuserid,fitemid,fstockid,funitid,fqty) "
                       "select 1,fitemid,fstockid,fUnitid,0 from icitem where fNumber in "
                       "('02.003','01.001')"));
    ASSERT_TRUE(move(1, 1, 1, 2));
    records.answers.push_back({"-1", "", ""});
    editor->gridKey(EditorKey::F7);
    QStringList codes{grid().text(1, 2), grid().text(1, 3)};
    codes.sort();
    EXPECT_EQ(codes, (QStringList{QStringLiteral("01.001"), QStringLiteral("02.003")}));
    EXPECT_FALSE(grid().key(1, 3).isEmpty());

    ASSERT_TRUE(move(1, 2, 1, 1));
    ASSERT_TRUE(move(1, 1, 4, 1));
    units.answer = {"702", "BOX", "盒"};
    editor->lookupCommand();
    ASSERT_EQ(units.inputs.size(), 1u);
    EXPECT_EQ(units.inputs[0].unitGroup, 601);
    EXPECT_EQ(units.inputs[0].accessCode, QStringLiteral("MN[]#QRST"));
    EXPECT_EQ(grid().key(4, 1), QStringLiteral("702"));
    EXPECT_EQ(grid().text(15, 1), QStringLiteral("10"));  // the line's unit factor
    EXPECT_TRUE(prompter.messages().empty());
}

TEST_F(LookupTest, BatchPickerFillsBatchAndPrice) {
    open();
    enterItem(1, QStringLiteral("02.001"));
    ASSERT_TRUE(move(2, 1, 5, 1));
    ASSERT_TRUE(type(5, 1, QStringLiteral("4")));
    ASSERT_TRUE(move(5, 1, 8, 1));
    batches.batch = QStringLiteral("B001");
    batches.unitCost = QStringLiteral("2.5");
    editor->lookupCommand();
    ASSERT_EQ(batches.itemIds.size(), 1u);
    EXPECT_EQ(batches.itemIds[0], QStringLiteral("1121"));
    EXPECT_EQ(grid().text(8, 1), QStringLiteral("B001"));
    EXPECT_EQ(grid().text(6, 1), QStringLiteral("2.50"));
    EXPECT_EQ(grid().text(7, 1), QStringLiteral("10.00"));
    EXPECT_TRUE(ctx.pickedBatch.isEmpty());
    // Nothing picked: batch and price stay.
    batches.batch.clear();
    batches.unitCost.clear();
    editor->lookupCommand();
    EXPECT_EQ(grid().text(6, 1) + grid().text(8, 1), QStringLiteral("2.50B001"));
}

TEST_F(LookupTest, SplitQuantityMayNotExceedTheLinesQuantity) {
    ctx.gEditMode = entry::kModeSplit;
    open();
    for (int r = 1; r <= 2; ++r) {
        grid().setLineKey(r, QString::number(r));
        grid().setCell(1, r, QStringLiteral("01.009"), QStringLiteral("1109"),
                       QStringLiteral("01.009"));
        grid().setText(5, r, QStringLiteral("5"));
    }
    ASSERT_TRUE(move(1, 1, 6, 1));
    ASSERT_TRUE(type(6, 1, QStringLiteral("7")));
    EXPECT_FALSE(move(6, 1, 6, 2));
    EXPECT_TRUE(
        prompter.onlyMessage(QStringLiteral("拆分数量不能大于原有数量！"), entry::Icon::Critical));
    EXPECT_EQ(grid().text(6, 1), QStringLiteral("5.00"));

    ASSERT_TRUE(type(6, 1, QStringLiteral("3")));
    EXPECT_TRUE(move(6, 1, 6, 2));
    EXPECT_EQ(form->strip.text(6), QStringLiteral("3.00"));
    EXPECT_EQ(form->strip.text(5), QStringLiteral("10.00"));
    EXPECT_FALSE(move(6, 2, 6, 3));  // row 3 is not a line of the bill
    EXPECT_EQ(prompter.messages().size(), 1u);
}

class ItemImportTest : public EditorTest {
  protected:
    void stage(int user, int item, int stock, int unit, double qty) {
        db.exec(QStringLiteral("insert into tblItemInput(fuserid,fitemid,fstockid,funitid,fqty) "
                               "values(?,?,?,?,?)"),
                {user, item, stock, unit, qty});
    }
    int staged(int user) {
        return db
            .scalar(QStringLiteral("select count(*) from tblItemInput where fuserid=?"), {user})
            .toInt();
    }
    static constexpr int kNote = 10;
};

TEST_F(ItemImportTest, ThreeItemsAtRowFourFillItAndPushTheRestDown) {
    open();
    LineGrid& g = grid();
    const int rows = g.rows();
    g.setText(kNote, 4, QStringLiteral("overwritten"));
    g.setText(kNote, 5, QStringLiteral("was five"));
    g.setText(kNote, 6, QStringLiteral("was six"));
    stage(1, 1101, 501, 704, 2.5);
    stage(1, 1121, 502, 701, 10);
    stage(1, 9999, 0, 0, 1);  // the item has gone since it was chosen
    stage(2, 1136, 503, 701, 4);

    ASSERT_EQ(importItemInput(ctx, prompter, *form, 4), 3);
    EXPECT_TRUE(prompter.messages().empty());
    EXPECT_EQ(g.rows(), rows + 2);

    const ColumnMap& col = form->columns;
    EXPECT_EQ(g.text(col.itemCode, 4), QStringLiteral("01.001"));
    EXPECT_EQ(g.key(col.itemCode, 4), QStringLiteral("1101"));
    EXPECT_EQ(g.code(col.itemCode, 4), QStringLiteral("01.001"));
    EXPECT_EQ(g.text(col.itemModel, 4), QStringLiteral("1.0×1250×2500mm"));
    EXPECT_DOUBLE_EQ(g.value(col.quantity, 4), 2.5);
    EXPECT_EQ(g.key(col.unit, 4), QStringLiteral("704"));
    EXPECT_EQ(g.code(col.unit, 4), QStringLiteral("KG"));
    EXPECT_EQ(g.text(form->unitGroupColumn(), 4), QStringLiteral("602"));
    EXPECT_EQ(g.text(form->warehouseColumn(), 4), QStringLiteral("501"));
    // Only what the import fills changes in the active row.
    EXPECT_EQ(g.text(kNote, 4), QStringLiteral("overwritten"));
    EXPECT_TRUE(g.text(col.price, 4).isEmpty());

    EXPECT_EQ(g.text(form->warehouseColumn(), 5), QStringLiteral("502"));

    EXPECT_EQ(g.key(col.itemCode, 6), QStringLiteral("9999"));
    EXPECT_TRUE(g.text(col.itemName, 6).isEmpty());
    EXPECT_DOUBLE_EQ(g.value(col.quantity, 6), 1.0);

    EXPECT_EQ(g.text(kNote, 7), QStringLiteral("was five"));
    EXPECT_EQ(g.text(kNote, 8), QStringLiteral("was six"));

    // The user's rows are used up; another user's stay.
    EXPECT_EQ(staged(1), 0);
    EXPECT_EQ(staged(2), 1);
    EXPECT_FALSE(ctx.gConnection.isOpen());
}

TEST_F(ItemImportTest, FailureLeavesGridAndStagedRowsAsTheyWere) {
    open();
    const int rows = grid().rows();
    stage(1, 1101, 501, 704, 2);
    stage(1, 1121, 502, 701, 3);
    db.refuseWrites(QStringLiteral("tblItemInput"), QStringLiteral("delete"),
                    QStringLiteral("staged rows are protected"));

    EXPECT_FALSE(importItemInput(ctx, prompter, *form, 1));
    EXPECT_TRUE(prompter.onlyMessage(QStringLiteral("staged rows are protected"),
                                     entry::Icon::Critical, QStringLiteral("其它入库单")));
    EXPECT_EQ(grid().rows(), rows);
    EXPECT_EQ(grid().lastDataRow(), 0);
    EXPECT_EQ(staged(1), 2);
    EXPECT_FALSE(ctx.gConnection.isOpen());
}

}  // namespace
