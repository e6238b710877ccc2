// The layout built from the bill type's rows, formulas, and the grid's
// edits, numbers and running sums.
#include <QSignalSpy>
#include <cmath>
#include <map>
#include <optional>
#include <random>

#include "editor/formula.h"
#include "editor_fixture.h"
#include "entry/edit_mode.h"

using namespace otherin;
using namespace otherin::editor;

using namespace Qt::StringLiterals;

namespace {

class LayoutTest : public otherin::testing::EditorTest {
  protected:
    std::unique_ptr<BillForm> build() {
        auto form = std::make_unique<BillForm>();
        for (QAbstractItemModel* m : {static_cast<QAbstractItemModel*>(&form->grid),
                                      static_cast<QAbstractItemModel*>(&form->strip)})
            new QAbstractItemModelTester(m, QAbstractItemModelTester::FailureReportingMode::Fatal,
                                         m);
        buildLayout(ctx, prompter, *form);
        return form;
    }
    // A layout row of bill type 7 of our own, instead of the demo's.
    void addColumn(int col, const char* field, const QVariant& role, int type = 3,
                   const char* formula = "") {
        db.exec(
            u"insert into tblBillInfoEntry(ftypeid,fcol,fcaption,FFieldName,"
            "fType,fNumberDec,FFormula,fsystemTypeid) values(7,?,?,?,?,2,?,?)"_s,
            {col, QString::fromLatin1(field).toUpper(), QString::fromLatin1(field), type,
             QString::fromLatin1(formula), role});
    }
};

TEST_F(LayoutTest, SplitModeAddsTheSplitColumnAfterTheQuantity) {
    ctx.gEditMode = entry::kModeSplit;
    const auto form = build();
    const LineGrid& g = form->grid;
    EXPECT_EQ(form->sumColumnList, u",5,6,"_s);
    EXPECT_EQ(form->splitColumn, 6);
    EXPECT_EQ(g.column(6).format.decimals, 2);
    EXPECT_EQ(form->strip.columns(), 16);
    EXPECT_EQ(form->columnCount, 16);
    // Every role still names its own data after the insertion.
    const ColumnMap& col = form->columns;
    EXPECT_EQ(col.quantity, 5);
    EXPECT_EQ(QStringList({g.code(col.price, 0), g.code(col.amount, 0), g.code(col.batch, 0)}),
              QStringList({"fPrice", "famount", "fbatchno"}));
    ASSERT_TRUE(g.column(col.amount).formula);
    EXPECT_EQ(g.column(col.amount).formula->text(), u"E#*G#"_s);
}

TEST_F(LayoutTest, DatabaseErrorIsShownPlainAndKeepsWhatWasBuilt) {
    db.exec(u"drop table tblBillInfoEntry"_s);
    BillForm form;
    EXPECT_FALSE(buildLayout(ctx, prompter, form));
    ASSERT_EQ(prompter.messages().size(), 1u);
    EXPECT_EQ(prompter.messages()[0].icon, entry::Icon::None);
    EXPECT_EQ(prompter.messages()[0].title, u"其它入库单"_s);
    EXPECT_TRUE(prompter.messages()[0].text.contains(u"tblBillInfoEntry"_s, Qt::CaseInsensitive));
    EXPECT_EQ(form.header.size(), 4u);
    EXPECT_EQ(form.grid.rows(), 30);
    EXPECT_FALSE(ctx.gConnection.isOpen());
}

TEST_F(LayoutTest, RolesJoinedColumnsAndTheAmountFormula) {
    db.exec(u"delete from tblBillInfoEntry where ftypeid=7"_s);
    addColumn(1, "fa", u"13"_s);
    addColumn(2, "fb", u"16"_s);
    addColumn(3, "fc", u"x"_s);
    addColumn(4, "fqty", u"5"_s, 1);
    addColumn(5, "fprice", u"6"_s, 4);
    addColumn(6, "famount", u"9"_s, 4, "A#");
    addColumn(7, "fd", QVariant(), 7, "(D#+E#)*2");
    addColumn(7, "fe", QVariant());
    addColumn(40, "ff", QVariant());  // outside the layout's columns
    auto form = build();
    EXPECT_TRUE(prompter.messages().empty());

    ColumnMap expected;
    expected.role16 = 2;
    expected.quantity = 4;
    expected.price = 5;
    expected.amount = 6;
    EXPECT_EQ(form->columns, expected);  // roles 13 and "x" record nothing
    EXPECT_EQ(form->columnCount, 9 + 5);
    EXPECT_EQ(form->grid.code(7, 0), u"fd,fe"_s);
    ASSERT_TRUE(form->grid.column(6).formula && form->grid.column(7).formula);
    EXPECT_EQ(form->grid.column(6).formula->text(), u"D#*E#"_s);
    EXPECT_EQ(form->grid.column(7).formula->text(), u"(D#+E#)*2"_s);
}

// Precedence, parentheses, the Chinese operator signs, an empty cell as 0;
// no value for a division by zero; text that is no formula.
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

// A formula cell follows its cells, also through another formula; 0 / 0
// shows nothing and a cycle of formulas ends.
TEST(FormulaTest, GridRecomputesFormulaCellsWhenTheirCellsChange) {
    LineGrid grid;
    grid.reshape(6, 3);
    grid.column(3).format = CellFormat::of(CellKind::Currency, 2);
    grid.column(3).formula = Formula::parse(u"A#*B#"_s);
    grid.column(4).format = CellFormat::of(CellKind::Number, 1);
    grid.column(4).formula = Formula::parse(u"C#/A#"_s);
    grid.column(5).formula = Formula::parse(u"F#+1"_s);
    grid.column(6).formula = Formula::parse(u"E#+1"_s);

    grid.setText(1, 2, u"4"_s);
    grid.setText(2, 2, u"2.5"_s);
    EXPECT_EQ(grid.text(3, 2), u"10.00"_s);
    EXPECT_EQ(grid.text(4, 2), u"2.5"_s);
    EXPECT_EQ(grid.text(3, 1), QString());
    grid.setText(1, 2, u"0"_s);
    EXPECT_EQ(grid.text(3, 2), u"0.00"_s);
    EXPECT_EQ(grid.text(4, 2), QString());
    grid.setText(5, 2, u"1"_s);
    EXPECT_FALSE(grid.text(6, 2).isEmpty());
}

// Typed text is checked and rounded by the column; the amount that follows
// is signalled as changed too, so a view shows it.
TEST_F(LayoutTest, GridChecksEditsByColumnAndSignalsTheAmount) {
    const auto form = build();
    LineGrid& g = form->grid;
    const auto at = [&g](int c, int r) { return g.index(r - 1, c - 1); };
    QSignalSpy edited(&g, &LineGrid::cellEdited);
    QSignalSpy changed(&g, &QAbstractItemModel::dataChanged);
    EXPECT_TRUE(g.setData(at(5, 1), u" 4 "_s, Qt::EditRole));
    EXPECT_EQ(g.data(at(5, 1), Qt::DisplayRole).toString(), u"4.00"_s);
    EXPECT_TRUE(g.setData(at(6, 1), u"2.345"_s, Qt::EditRole));
    EXPECT_EQ(g.text(6, 1), u"2.35"_s);
    EXPECT_EQ(g.text(7, 1), u"9.40"_s);
    EXPECT_EQ(changed.count(), 4);

    EXPECT_FALSE(g.setData(at(5, 1), u"abc"_s, Qt::EditRole));
    EXPECT_FALSE(g.setData(at(7, 1), u"-1"_s, Qt::EditRole));  // amounts from 0
    EXPECT_FALSE(g.setData(at(2, 1), u"x"_s, Qt::EditRole));   // locked column
    EXPECT_EQ(g.text(5, 1), u"4.00"_s);
    EXPECT_EQ(edited.count(), 2);
    g.setReadOnly(true);
    EXPECT_FALSE(g.flags(at(1, 1)).testFlag(Qt::ItemIsEditable));
    EXPECT_FALSE(g.setData(at(5, 1), u"5"_s, Qt::EditRole));
}

// The numbers a grid writes are Qt's 'g' with 15 digits, whichever way they
// are made; the last two values lie exactly half way between two 15-digit
// numbers, where rounding rules part.
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

// A sum or blank row kept up cell by cell, whatever happened to the grid,
// equals what a grid holding the same texts counts afresh (bit for bit for
// the sums) and what a plain scan of the cells finds.
TEST(ColumnIndexTest, FollowsEveryChangeAndEqualsAFreshCount) {
    LineGrid grid;
    grid.reshape(3, 6);
    // A full column has its first blank row past the end, until a row is
    // added; rows added and filled past what the sum was counted over count.
    for (int r = 1; r <= 6; ++r) grid.setText(2, r, u"1"_s);
    ASSERT_EQ(grid.firstBlankRow(2), 7);
    ASSERT_EQ(grid.columnSum(2), 6.0);
    grid.appendRow();
    ASSERT_EQ(grid.firstBlankRow(2), 7);
    grid.setText(2, 7, u"1"_s);
    ASSERT_EQ(grid.firstBlankRow(2), 8);
    grid.appendRow();
    grid.appendRow();
    grid.setText(2, 9, u"1"_s);
    ASSERT_EQ(grid.firstBlankRow(2), 8);
    ASSERT_EQ(grid.columnSum(2), 8.0);

    const QStringList texts{"0.1", "0.2", "", " ", "3", "-0.3", "abc", "1e3", "7.25", "0"};
    std::mt19937 random(11);
    auto pick = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    for (int step = 0; step < 3000; ++step) {
        const int r = 1 + pick(grid.rows());
        switch (pick(20)) {
            case 0:
                grid.insertRowAt(r);
                break;
            case 1:
                if (grid.rows() > 1) grid.removeRowAt(r);
                break;
            case 2:
                grid.appendRow();
                break;
            case 3: {
                LineGrid::BulkChange bulk(grid);
                grid.setText(2, r, texts[pick(texts.size())]);
                grid.setText(2, 1 + pick(grid.rows()), texts[pick(texts.size())]);
                break;
            }
            case 4:
                if (pick(10) == 0) grid.clearCells();
                break;
            default:
                grid.setText(2, r, texts[pick(texts.size())]);
                break;
        }
        // Asked after some steps only, so changes also land on an index
        // nobody has asked about yet.
        if (pick(3) != 0) continue;
        LineGrid fresh;
        fresh.reshape(3, grid.rows());
        double scanned = 0;
        int firstBlank = grid.rows() + 1;
        for (int row = grid.rows(); row >= 1; --row) {
            fresh.setText(2, row, grid.text(2, row));
            scanned += grid.value(2, row);
            if (grid.text(2, row).trimmed().isEmpty()) firstBlank = row;
        }
        ASSERT_EQ(grid.columnSum(2), fresh.columnSum(2)) << "step " << step;
        ASSERT_NEAR(grid.columnSum(2), scanned, 1e-9) << "step " << step;
        ASSERT_EQ(grid.firstBlankRow(2), firstBlank) << "step " << step;
    }
}

}  // namespace
