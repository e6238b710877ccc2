// Line entry on the demo layout (typed codes, look-ups, leave checks, item
// import); the layout, formulas and what the grid takes and writes.
#include <QSignalSpy>
#include <cmath>
#include <functional>
#include <map>
#include <optional>
#include <random>

#include "editor/formula.h"
#include "editor/item_import.h"
#include "editor/stock_query.h"
#include "entry/edit_mode.h"
#include "session_fixture.h"

using namespace otherin;
using namespace otherin::editor;

using namespace Qt::StringLiterals;

namespace {

class LineEntryTest : public otherin::testing::SessionTest {
  protected:
    BillForm& form() { return session->form(); }
    bool type(int c, int r, const QString& text) {
        return grid().setData(grid().index(r - 1, c - 1), text, Qt::EditRole);
    }
    // Enters an item on row r and moves on to the name column.
    void enterItem(int r, const QString& code) {
        typeCell(1, r, code);
        ASSERT_TRUE(moveTo(2, r));
    }
    // What an item fills in on line 1 and a refused code clears.
    QString itemLeft() {
        QString left = grid().key(1, 1);
        for (int c : {2, 3, 4, 11, 12, 13, 14}) left += grid().text(c, 1);
        return left;
    }
    // The one message is the database's critical error naming `name`.
    void expectToldOnlyTheFailureOf(const char* name) {
        EXPECT_TRUE(prompter.onlyMessage(prompter.lastText(), entry::Icon::Critical));
        const QString seen = told();
        EXPECT_TRUE(seen.contains(QLatin1String(name), Qt::CaseInsensitive)) << seen.toStdString();
    }
    // The move off the code on line 1 is refused and clears what the old item filled in.
    void expectCodeRefused() {
        EXPECT_FALSE(moveTo(2, 1));
        EXPECT_FALSE(editor().isCellAccepted());
        EXPECT_EQ(itemLeft(), QString());
    }
    // The move off a code the look-up could not check is refused, as for an unknown one.
    void expectRefusedByFailureOf(const char* name) {
        expectCodeRefused();
        expectToldOnlyTheFailureOf(name);
    }
};

// An unknown code clears what the old item filled in and is refused.
TEST_F(LineEntryTest, TypedItemCodeFillsTheLineAndAnUnknownOneIsRefused) {
    open(0);
    enterItem(1, u"01.009"_s);
    EXPECT_EQ(told(), QString());
    // After the note: warehouse, item unit factor, purchase price, unit group,
    // line unit factor.
    EXPECT_EQ(shownLine(1), u"|01.009#1109|铜芯电线|BV 2.5mm²|卷#708|||||||501|50|235|603|50"_s);
    EXPECT_TRUE(editor().isChanged());
    typeCell(1, 1, u"zz9"_s);
    expectCodeRefused();
    EXPECT_EQ(told(), u"x 数据录入错误!找不到代码“zz9”"_s);
    // A unit of another item's unit group is refused saying why.
    open(0);
    enterItem(1, u"01.009"_s);
    prompter.clear();
    typeCell(4, 1, u"KG"_s);
    EXPECT_FALSE(moveTo(5, 1));
    EXPECT_EQ(
        told(),
        u"x 数据录入错误!第1行单位“KG”不是物料“01.009”的计量单位,请按F7从该物料的计量单位中选择"_s);
}

// A pasted control character is refused on every try; cursor, focus and text stay, and the
// stock query takes no pattern from it.
TEST_F(LineEntryTest, ControlCharactersKeepTheCursorAndTheFocusWhereTyped) {
    struct Viewer : entry::StockQueryViewer {
        void show(const QString& condition, int) override { shown << condition; }
        QStringList shown;
    } viewer;
    const QString refused =
        u"含有不可见的控制字符(可能是从其他程序粘贴来的),不能保存,请删除后重新输入!"_s;
    open(0);
    enterItem(1, u"02.001"_s);
    const QString typed = u"02.001"_s + QChar(0);
    typeCell(1, 2, typed);
    for (int attempt = 1; attempt <= 2; ++attempt) {
        EXPECT_FALSE(moveTo(8, 2)) << attempt;
        EXPECT_EQ(told(), u"! 第2行物料代码"_s + refused) << attempt;
    }
    EXPECT_EQ(editor().state().active, (CellPos{1, 2}));
    EXPECT_EQ(grid().text(1, 2), typed);
    EXPECT_FALSE(stockQueryCommand(ctx, prompter, form(), true, 2, viewer));
    EXPECT_EQ(told(), u"! 第2行物料代码"_s + refused);
    EXPECT_TRUE(viewer.shown.isEmpty());

    const QString remark = u"a"_s + QChar(0x1f) + u"b"_s;
    typeIntoHeader(4, remark);
    EXPECT_FALSE(editor().headerValidate(4));
    EXPECT_FALSE(editor().completeHeaderEdit());
    EXPECT_EQ(told(), u"! 摘要"_s + refused + u"; ! 摘要"_s + refused);
    EXPECT_EQ(form().headerField(4)->text, remark);
}

// A failed look-up is told once in the database's words and refused like an unknown code,
// with no "not found" after it.
TEST_F(LineEntryTest, FailedLookUpIsToldOnceAsTheDatabaseError) {
    open(0);
    enterItem(1, u"01.001"_s);
    // The item code: the line is emptied and the cell refused, as for "zz9".
    typeCell(1, 1, u"02.001"_s);
    db.exec(u"alter table icitem rename to icitem_away"_s);
    expectRefusedByFailureOf("icitem");
    // Back again: the refused text is let through silently once, then found.
    db.exec(u"alter table icitem_away rename to icitem"_s);
    EXPECT_FALSE(moveTo(2, 1));
    EXPECT_TRUE(moveTo(2, 1));
    EXPECT_EQ(told(), QString());
    EXPECT_EQ(grid().key(1, 1) + grid().key(4, 1), u"1121701"_s);
    // Whether the line's unit fits the new item cannot be told: the item is
    // refused rather than given a unit nobody checked.
    typeCell(1, 1, u"02.002"_s);
    db.exec(u"alter table tblItem rename column fParentId to fParentAway"_s);
    expectRefusedByFailureOf("fParentId");
    db.exec(u"alter table tblItem rename column fParentAway to fParentId"_s);

    // A header field keeps the focus and forgets its record.
    db.exec(u"alter table tblItem rename to tblItem_away"_s);
    typeIntoHeader(3, u"02"_s);
    EXPECT_FALSE(editor().headerValidate(3));
    expectToldOnlyTheFailureOf("tblItem");
    const HeaderField* warehouse = form().headerField(3);
    EXPECT_EQ(warehouse->code + warehouse->keyValue, QString());
}

// A typed amount reprices every line whose amount disagrees with quantity ×
// price, however it came to disagree; lines that agree keep theirs.
TEST_F(LineEntryTest, TypedAmountRepricesEveryLineThatDisagrees) {
    open(0);
    ASSERT_TRUE(moveTo(5, 1));
    LineGrid& g = grid();
    auto line = [&g](int r, const char* qty, const char* price, const char* amount) {
        g.setText(1, r, u"x"_s);
        g.setText(5, r, QLatin1String(qty));
        g.setText(6, r, QLatin1String(price));
        g.setText(7, r, QLatin1String(amount));
    };
    {
        // As a bill comes from storage: one reset, stored amounts kept.
        LineGrid::BulkChange bulk(g);
        int r = 0;
        for (const char* amount : {"5", "2", "7", "2"}) line(++r, "2", "1", amount);
    }
    auto typeAmount = [&](int r, const char* amount) {
        typeCell(7, r, QLatin1String(amount));
        QStringList prices;
        for (int row = 1; row <= 5; ++row) prices << g.text(6, row);
        return prices.join(u' ');
    };
    EXPECT_EQ(typeAmount(2, "4"), u"2.50 2.00 3.50 1.00 "_s);
    // Changed by the program, not typed: it follows at the next typed amount.
    g.setText(7, 4, u"8"_s);
    EXPECT_EQ(typeAmount(1, "6"), u"3.00 2.00 3.50 4.00 "_s);
    {
        LineGrid::BulkChange bulk(g);
        g.setText(7, 3, u"9"_s);
    }
    EXPECT_EQ(typeAmount(2, "5"), u"3.00 2.50 4.50 4.00 "_s);
    // A line changed, then moved down by a row inserted above it.
    g.setText(7, 4, u"10"_s);
    g.insertRowAt(1);
    line(1, "1", "1", "1");
    EXPECT_EQ(typeAmount(2, "8"), u"1.00 4.00 2.50 4.50 5.00"_s);
    // A line changed, then moved up by the row above it going.
    g.setText(7, 5, u"20"_s);
    g.removeRowAt(1);
    EXPECT_EQ(typeAmount(1, "10"), u"5.00 2.50 4.50 10.00 "_s);
    // A line of quantity 0 keeps its price.
    line(5, "0", "1.5", "1");
    EXPECT_EQ(typeAmount(5, "7"), u"5.00 2.50 4.50 10.00 1.50"_s);
    EXPECT_EQ(form().strip.text(5) + " " + form().strip.text(7), u"8.00 51.00"_s);
}

TEST_F(LineEntryTest, GapCheckFollowsEveryWayARowEmptiesOrFills) {
    open(0);
    enterItem(1, u"01.009"_s);
    enterItem(2, u"02.001"_s);
    enterItem(3, u"02.002"_s);
    LineGrid& g = grid();
    // A refused move puts the confirmed code back into the look-up cell.
    typeCell(1, 2, u"01.0"_s);
    EXPECT_FALSE(moveTo(1, 5));
    EXPECT_EQ(g.text(1, 2), u"02.001"_s);
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
        {"row 2 blanked", [&] { g.setText(1, 2, u"  "_s); }, 3, false},
        {"row 2 itself", none, 2, true},
        {"row 2 filled again", [&] { g.setText(1, 2, u"02.001"_s); }, 4, true},
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
        EXPECT_EQ(moveTo(5, step.row), step.allowed) << step.what;
    }
    EXPECT_EQ(told(), QString());
}

TEST_F(LineEntryTest, RequiredCellsAreNamedByRowAndColumn) {
    open(0);
    enterItem(1, u"01.009"_s);
    typeCell(5, 1, u"0"_s);
    enterItem(2, u"02.001"_s);
    const auto check = [&] {
        const bool filled = editor().requiredCellsFilled();
        const CellPos at = editor().state().active;
        return u"%1 %2 at %3,%4"_s.arg(filled ? 1 : 0).arg(told()).arg(at.column).arg(at.row);
    };
    EXPECT_EQ(check(), u"0 ! 第1行第5列（数量）不能为空！ at 5,1"_s);
    ASSERT_TRUE(type(5, 1, u"2"_s));
    grid().setText(5, 2, u"3"_s);
    grid().clearCell(4, 2);
    EXPECT_EQ(check(), u"0 ! 第2行4列计量单位不能为空！ at 4,2"_s);
    grid().setText(4, 2, u"个"_s);  // typed, never confirmed
    EXPECT_EQ(check(), u"0 ! 第2行计量单位不能为空！ at 4,2"_s);
    grid().setCell(4, 2, u"个"_s, u"701"_s, u"PCS"_s);
    EXPECT_EQ(check(), u"1  at 4,2"_s);
}

TEST_F(LineEntryTest, ChangedItemKeepsOnlyAUnitOfItsOwnUnitGroup) {
    struct Case {
        const char* first;
        const char* unit;  // typed after the first item; empty keeps the item's own
        const char* second;
        const char* after;  // the unit shown with its key, and the unit factor
    };
    const Case cases[] = {
        {"01.001", "T", "01.002", "吨#705 1000"},  // both in group 602
        {"01.001", "", "02.003", "个#701 1"},      // KG of 602 for an item of 601
        {"01.001", "T", "02.007", "箱#703 100"},   // a chosen unit goes too
        {"01.008", "", "01.009", "米#707 1"},      // M and ROLL are both of group 603
    };
    open(0);
    int r = 0;
    for (const Case& c : cases) {
        ++r;
        SCOPED_TRACE(c.second);
        enterItem(r, QString::fromUtf8(c.first));
        if (*c.unit) typeCell(4, r, QString::fromUtf8(c.unit));
        typeCell(1, r, QString::fromUtf8(c.second));
        ASSERT_TRUE(moveTo(5, r));
        EXPECT_EQ(u"%1#%2 %3"_s.arg(grid().text(4, r), grid().key(4, r),
                                    grid().text(form().unitFactorColumn(), r)),
                  QString::fromUtf8(c.after));
    }
    EXPECT_EQ(told(), QString());
}

// Yes leaves the bill only when the save went through.
TEST_F(LineEntryTest, AskToSaveOnlyWhenTheBillChangedAndStayWhenTheSaveFails) {
    open(0);
    EXPECT_TRUE(editor().askToSave());
    EXPECT_TRUE(prompter.questions().empty());
    ASSERT_TRUE(type(10, 1, u"备注"_s));
    int saves = 0;
    bool saved = false;
    editor().setSaveCommand([&] {
        ++saves;
        return saved;
    });
    prompter.expectQuestion(entry::Answer::Yes);
    EXPECT_FALSE(editor().askToSave());
    saved = true;
    prompter.expectQuestion(entry::Answer::Yes);
    EXPECT_TRUE(editor().askToSave());
    EXPECT_EQ(saves, 2);
}

// Lines of quantity 1 and 2; the refused split quantity falls back to the line's.
TEST_F(LineEntryTest, SplitQuantityMayNotExceedTheLinesQuantity) {
    seedBill(1, 2, 1);
    open(entry::kModeSplit, 1);
    typeCell(6, 2, u"3"_s);
    EXPECT_FALSE(moveTo(6, 1));
    EXPECT_EQ(told(), u"x 拆分数量不能大于原有数量！"_s);
    EXPECT_EQ(grid().text(6, 2), u"2.00"_s);
    ASSERT_TRUE(type(6, 2, u"1"_s));
    EXPECT_TRUE(moveTo(6, 1));
    EXPECT_EQ(form().strip.text(6) + " " + form().strip.text(5), u"1.00 3.00"_s);
    EXPECT_FALSE(moveTo(6, 3));  // row 3 is not a line of the bill
    EXPECT_EQ(told(), QString());
}

class ItemImportTest : public LineEntryTest {
  protected:
    void stage(int user, int item, int stock, int unit, double qty) {
        db.exec(
            u"insert into tblItemInput(fuserid,fitemid,fstockid,funitid,fqty) values(?,?,?,?,?)"_s,
            {user, item, stock, unit, qty});
    }
    QString staged() {
        return rows(u"select fuserid,count(*) from tblItemInput group by fuserid order by 1"_s);
    }
};

// Only what the import fills changes in the active row; staged rows are used up.
TEST_F(ItemImportTest, ThreeItemsAtRowFourFillItAndPushTheRestDown) {
    open(0);
    LineGrid& g = grid();
    const int rows = g.rows();
    g.setText(10, 4, u"overwritten"_s);
    g.setText(10, 5, u"was five"_s);
    g.setText(10, 6, u"was six"_s);
    stage(1, 1101, 501, 704, 2.5);
    stage(1, 1121, 502, 701, 10);
    stage(1, 9999, 0, 0, 1);
    stage(2, 1136, 503, 701, 4);
    ASSERT_EQ(importItemInput(ctx, prompter, form(), 4), 3);
    EXPECT_EQ(told(), QString());
    EXPECT_EQ(g.rows(), rows + 2);
    // Amounts follow the empty prices; the gone item keeps the staged unit
    // and warehouse keys.
    const QStringList expected{
        "|01.001#1101|冷轧钢板|1.0×1250×2500mm|千克#704|2.50||0.00|||overwritten|501|||602",
        "|02.001#1121|六角螺栓|M8×30|个#701|10.00||0.00||||502|||601",
        "|#9999|||#0|1.00||0.00||||0",
        "||||||||||was five",
        "||||||||||was six",
    };
    for (int r = 4; r <= 8; ++r) EXPECT_EQ(shownLine(r), expected[r - 4]) << r;
    EXPECT_EQ(g.code(1, 4) + " " + g.code(4, 4), u"01.001 KG"_s);
    EXPECT_EQ(staged(), u"2|1"_s);
    EXPECT_FALSE(ctx.gConnection.isOpen());
}

TEST_F(ItemImportTest, FailureLeavesGridAndStagedRowsAsTheyWere) {
    open(0);
    const int rows = grid().rows();
    stage(1, 1101, 501, 704, 2);
    stage(1, 1121, 502, 701, 3);
    db.refuseWrites(u"tblItemInput"_s, u"delete"_s, u"staged rows are protected"_s);
    EXPECT_FALSE(importItemInput(ctx, prompter, form(), 1));
    EXPECT_TRUE(prompter.onlyMessage(
        otherin::testing::TestDatabase::refusedWrite(u"staged rows are protected"_s),
        entry::Icon::Critical, u"其它入库单"_s));
    EXPECT_EQ(grid().rows(), rows);
    EXPECT_EQ(grid().lastDataRow(), 0);
    EXPECT_EQ(staged(), u"1|2"_s);
    EXPECT_FALSE(ctx.gConnection.isOpen());
}

// Precedence, parentheses, Chinese signs, empty cells as 0, division by zero.
TEST(FormulaTest, EvaluatesOrRefuses) {
    const std::map<int, double> row{{1, 2}, {2, 3}, {5, 4}};
    const std::pair<const char*, std::optional<double>> cases[] = {
        {"A#+B#*2", 8.0},        {"(A#+B#)*2", 10.0},         {"E#-A#-B#", -1.0}, {"E#/A#/2", 1.0},
        {"-A# + 10 / 4", 0.5},   {"a#×B#÷(E#−1)", 2.0},       {"((1.5))", 1.5},   {"Z#", 0.0},
        {"A#/C#", std::nullopt}, {"1/(A#-A#)", std::nullopt},
    };
    for (const auto& [text, value] : cases) {
        const auto f = Formula::parse(QString::fromUtf8(text));
        ASSERT_TRUE(f) << text;
        EXPECT_EQ(f->evaluate([&](int c) { return row.count(c) ? row.at(c) : 0.0; }), value)
            << text;
    }
    for (const char* bad : {"", "A#+", "A1", "(A#", "A#)", "A# B#", "1..2", "A#*/B#", "A", "@#"})
        EXPECT_FALSE(Formula::parse(QString::fromLatin1(bad))) << bad;
}

TEST_F(LineEntryTest, GridChecksEditsByColumnAndSignalsTheAmount) {
    open(0);
    LineGrid& g = grid();
    const auto at = [&g](int c, int r) { return g.index(r - 1, c - 1); };
    QSignalSpy edited(&g, &LineGrid::cellEdited);
    EXPECT_TRUE(g.setData(at(5, 1), u" 4 "_s, Qt::EditRole));
    EXPECT_TRUE(g.setData(at(6, 1), u"2.345"_s, Qt::EditRole));
    EXPECT_EQ(g.text(6, 1), u"2.35"_s);
    EXPECT_EQ(g.text(7, 1), u"9.40"_s);
    QSignalSpy cursor(&editor(), &editor::EditorController::cellFocusRequested);
    EXPECT_FALSE(g.setData(at(5, 1), u"abc"_s, Qt::EditRole));
    EXPECT_FALSE(g.setData(at(7, 1), u"-1"_s, Qt::EditRole));  // amounts from 0
    EXPECT_FALSE(g.setData(at(2, 1), u"x"_s, Qt::EditRole));   // locked column
    EXPECT_EQ(g.text(5, 1), u"4.00"_s);
    EXPECT_EQ(edited.count(), 2);
    // Refused numbers are named and the cursor stays in their cell.
    EXPECT_EQ(prompter.transcript(),
              u"! 第1行数量\"abc\"不是有效的数字,请重新输入!\n"
              "! 第1行金额\"-1\"超出允许的范围(不能小于0),请重新输入!"_s);
    ASSERT_EQ(cursor.count(), 2);
    EXPECT_EQ(cursor.at(0), (QVariantList{5, 1}));
    g.setReadOnly(true);
    EXPECT_FALSE(g.flags(at(1, 1)).testFlag(Qt::ItemIsEditable));
    EXPECT_FALSE(g.setData(at(5, 1), u"5"_s, Qt::EditRole));
}

// A full column's first blank row lies past its end until a row is added.
TEST(LineGridTest, FirstBlankRowAndSumFollowRowsAddedToAFullColumn) {
    LineGrid grid;
    grid.reshape(3, 2);
    for (int r : {1, 2}) grid.setText(2, r, u"1"_s);
    ASSERT_EQ(grid.firstBlankRow(2), 3);
    grid.appendRow();
    EXPECT_EQ(grid.firstBlankRow(2), 3);
    grid.setText(2, 3, u"1"_s);
    grid.appendRow();
    EXPECT_EQ(grid.firstBlankRow(2), 4);
    EXPECT_EQ(grid.columnSum(2), 3.0);
}

// The grid writes numbers as Qt's 'g' with 15 digits, half-way values included.
TEST(NumberTextTest, WritesWhatQtWritesWithFifteenDigits) {
    std::vector<double> values{
        0,     -0.0,  1,          -2.5,      0.1 + 0.2,         1.0 / 3,          1e-4,
        1e-5,  1e15,  1e16,       1e20,      1.25e-7,           6.02e23,          5e-324,
        1e300, 1e308, 123456.789, 99999.995, 783072530956082.5, 92954744462507.25};
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> unit(0, 1);
    for (int i = 0; i < 20000; ++i) {
        values.push_back(unit(random) * std::pow(10.0, static_cast<int>(unit(random) * 40) - 20));
        values.push_back(std::round(unit(random) * 1e9) / 1e3);
    }
    for (const double v : values) EXPECT_EQ(numberText(v), QString::number(v, 'g', 15)) << v;
}

// Undo walks back through cell edits (with what their look-up filled), lines
// inserted, deleted and copied, to the lines as the bill was opened, and redo
// walks forward again; a new edit after undo ends what could be redone.
TEST_F(LineEntryTest, UndoAndRedoWalkThroughEveryKindOfChangeToTheLines) {
    open(0);
    const auto lines = [this] {
        QStringList shown;
        for (int r = 1; r <= std::max(grid().lastDataRow(), 1); ++r) shown << shownLine(r);
        return shown.join(u" / "_s);
    };
    std::vector<QString> states{lines()};
    const auto done = [&] { states.push_back(lines()); };
    enterLine(1, u"02.001"_s, u"5"_s, u"10"_s);  // three edits: item, quantity, price
    done();
    enterLine(2, u"02.002"_s, u"1"_s, u"10"_s);
    done();
    prompter.expectQuestion(entry::Answer::Yes);
    moveTo(1, 1);
    session->insertLine();
    done();
    prompter.expectQuestion(entry::Answer::Yes);
    session->deleteLine();
    done();
    moveTo(1, 2);
    session->copyLine();
    done();
    changeCell(5, 1, u"7"_s);
    done();

    // Back, one command at a time; the price edit of each typed line is its last step.
    EXPECT_TRUE(session->undo());
    EXPECT_EQ(lines(), states[states.size() - 2]);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(session->undo());  // copy, delete, insert
    EXPECT_EQ(lines(), states[2]);
    while (session->undo()) {
    }
    EXPECT_EQ(lines(), states[0]);
    EXPECT_TRUE(editor().isChanged());

    while (session->redo()) {
    }
    EXPECT_EQ(lines(), states.back());
    // An edit after an undo: nothing left to redo.
    ASSERT_TRUE(session->undo());
    changeCell(5, 1, u"9"_s);
    EXPECT_FALSE(session->redo());
    EXPECT_EQ(grid().text(5, 1), u"9.00"_s);
}

// F7 lists what the column holds: items in 物料代码, stock places in 仓位.
TEST_F(LineEntryTest, F7ListsTheRecordsOfTheColumnsOwnClass) {
    open(0);
    ASSERT_TRUE(moveTo(1, 1));
    editor().gridKey(editor::EditorKey::F7);
    enterItem(1, u"02.001"_s);
    ASSERT_TRUE(moveTo(9, 1));
    editor().gridKey(editor::EditorKey::F7);
    ASSERT_EQ(records.inputs.size(), 2u);
    EXPECT_EQ(records.inputs[0].itemClass, QString());
    EXPECT_EQ(records.inputs[1].itemClass, u"8"_s);
}

}  // namespace
