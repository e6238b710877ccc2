#include <gtest/gtest.h>

#include "support/qstring_print.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <cmath>
#include <map>
#include <random>

#include "editor/bill_form.h"
#include "editor/formula.h"
#include "editor/layout_builder.h"
#include "entry/login_context.h"
#include "support/scripted_prompter.h"
#include "support/test_database.h"

using namespace otherin;
using namespace otherin::editor;
using otherin::testing::ScriptedPrompter;
using otherin::testing::TestDatabase;

namespace {

std::optional<double> eval(const char* text, std::map<int, double> cells = {}) {
    const auto f = Formula::parse(QString::fromUtf8(text));
    if (!f) {
        ADD_FAILURE() << "not parsed: " << text;
        return std::nullopt;
    }
    return f->evaluate([&](int c) { return cells[c]; });
}

TEST(FormulaTest, ReferencesPrecedenceAndParentheses) {
    const std::map<int, double> row{{1, 2}, {2, 3}, {5, 4}};
    EXPECT_EQ(eval("A#+B#*2", row), 8.0);
    EXPECT_EQ(eval("(A#+B#)*2", row), 10.0);
    EXPECT_EQ(eval("E#-A#-B#", row), -1.0);  // left to right
    EXPECT_EQ(eval("E#/A#/2", row), 1.0);
    EXPECT_EQ(eval("-A# + 10 / 4", row), 0.5);
    EXPECT_EQ(eval("a#×B#÷(E#−1)", row), 2.0);
    EXPECT_EQ(eval("((1.5))", row), 1.5);
    EXPECT_EQ(eval("Z#", row), 0.0);  // an empty cell counts 0

    const auto f = Formula::parse(QStringLiteral(" ( A# + B# ) * 2 "));
    ASSERT_TRUE(f);
    EXPECT_EQ(f->text(), QStringLiteral("(A#+B#)*2"));
    EXPECT_TRUE(f->refersTo(2));
    EXPECT_FALSE(f->refersTo(3));
}

TEST(FormulaTest, DivisionByZeroHasNoValueAndBadTextIsNoFormula) {
    EXPECT_EQ(eval("A#/B#", {{1, 5}}), std::nullopt);
    EXPECT_EQ(eval("1/(A#-A#)", {{1, 5}}), std::nullopt);
    for (const char* bad : {"", "A#+", "A1", "(A#", "A#)", "A# B#", "1..2", "A#*/B#", "A", "@#"})
        EXPECT_FALSE(Formula::parse(QString::fromLatin1(bad))) << bad;
    EXPECT_EQ(columnLetter(1), QStringLiteral("A"));
    EXPECT_EQ(columnLetter(26), QStringLiteral("Z"));
    EXPECT_EQ(columnLetter(27), QString());
}

TEST(FormulaTest, GridRecomputesFormulaCellsWhenTheirCellsChange) {
    LineGrid grid;
    grid.reshape(6, 3);
    grid.column(3).format = CellFormat::of(CellKind::Currency, 2);
    grid.column(3).formula = Formula::parse(QStringLiteral("A#*B#"));
    grid.column(4).format = CellFormat::of(CellKind::Number, 1);
    grid.column(4).formula = Formula::parse(QStringLiteral("C#/A#"));  // follows a formula
    grid.column(5).formula = Formula::parse(QStringLiteral("F#+1"));   // a cycle with 6
    grid.column(6).formula = Formula::parse(QStringLiteral("E#+1"));

    grid.setText(1, 2, QStringLiteral("4"));
    grid.setText(2, 2, QStringLiteral("2.5"));
    EXPECT_EQ(grid.text(3, 2), QStringLiteral("10.00"));
    EXPECT_EQ(grid.text(4, 2), QStringLiteral("2.5"));
    EXPECT_EQ(grid.text(3, 1), QString());  // other rows stay

    grid.setText(1, 2, QStringLiteral("0"));
    EXPECT_EQ(grid.text(3, 2), QStringLiteral("0.00"));
    EXPECT_EQ(grid.text(4, 2), QString());  // 0 / 0 shows nothing

    grid.setText(5, 2, QStringLiteral("1"));  // the cycle ends
    EXPECT_FALSE(grid.text(6, 2).isEmpty());

    // Inserting a column moves the references with the columns.
    grid.insertColumn(2, GridColumn());
    ASSERT_TRUE(grid.column(4).formula);
    EXPECT_EQ(grid.column(4).formula->text(), QStringLiteral("A#*C#"));
    grid.setText(3, 2, QStringLiteral("3"));
    grid.setText(1, 2, QStringLiteral("2"));
    EXPECT_EQ(grid.text(4, 2), QStringLiteral("6.00"));
}

class GridModelTest : public ::testing::Test {
  protected:
    GridModelTest() {
        ctx_.DBConnectionString = db_.connectionString();
        ctx_.gBillTypeId = 7;
        ctx_.IsAdmin = 1;
    }

    QModelIndex at(int c, int r) const { return form_.grid.index(r - 1, c - 1); }

    TestDatabase db_{TestDatabase::Seed::Demo};
    entry::LoginContext ctx_;
    ScriptedPrompter prompter_;
    BillForm form_;
    QAbstractItemModelTester gridTester_{&form_.grid,
                                         QAbstractItemModelTester::FailureReportingMode::Fatal};
    QAbstractItemModelTester stripTester_{&form_.strip,
                                          QAbstractItemModelTester::FailureReportingMode::Fatal};
};

TEST_F(GridModelTest, LayoutIsOneResetAndEditsAreCheckedByColumn) {
    QSignalSpy resets(&form_.grid, &QAbstractItemModel::modelReset);
    ASSERT_TRUE(buildLayout(ctx_, prompter_, form_));
    EXPECT_EQ(resets.count(), 1);

    LineGrid& g = form_.grid;
    EXPECT_EQ(g.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
              QStringLiteral("物料代码"));
    EXPECT_EQ(g.headerData(4, Qt::Horizontal, ColumnWidthRole).toDouble(), 1200.0);
    EXPECT_EQ(form_.strip.headerData(4, Qt::Horizontal, ColumnWidthRole).toDouble(), 1200.0);

    QSignalSpy edited(&g, &LineGrid::cellEdited);
    QSignalSpy changed(&g, &QAbstractItemModel::dataChanged);
    EXPECT_TRUE(g.setData(at(5, 1), QStringLiteral(" 4 "), Qt::EditRole));
    EXPECT_EQ(g.data(at(5, 1), Qt::DisplayRole).toString(), QStringLiteral("4.00"));
    EXPECT_TRUE(g.setData(at(6, 1), QStringLiteral("2.345"), Qt::EditRole));
    EXPECT_EQ(g.text(6, 1), QStringLiteral("2.35"));  // rounded to the column's decimals
    EXPECT_EQ(g.text(7, 1), QStringLiteral("9.40"));  // amount follows
    EXPECT_EQ(changed.count(), 4);                    // each typed cell and the amount after each

    EXPECT_FALSE(g.setData(at(5, 1), QStringLiteral("abc"), Qt::EditRole));
    EXPECT_FALSE(g.setData(at(7, 1), QStringLiteral("-1"), Qt::EditRole));  // amounts from 0
    EXPECT_FALSE(g.setData(at(2, 1), QStringLiteral("x"), Qt::EditRole));   // locked column
    EXPECT_FALSE(g.flags(at(2, 1)).testFlag(Qt::ItemIsEditable));
    EXPECT_TRUE(g.flags(at(1, 1)).testFlag(Qt::ItemIsEditable));
    EXPECT_EQ(g.text(5, 1), QStringLiteral("4.00"));
    EXPECT_EQ(edited.count(), 2);

    g.setReadOnly(true);
    EXPECT_FALSE(g.flags(at(1, 1)).testFlag(Qt::ItemIsEditable));
    EXPECT_FALSE(g.setData(at(5, 1), QStringLiteral("5"), Qt::EditRole));
    g.setReadOnly(false);

    g.setCurrentRow(2);
    EXPECT_EQ(g.data(at(2, 2), BackgroundColorRole).toInt(), kCurrentRowColor);
    EXPECT_EQ(g.data(at(2, 1), BackgroundColorRole).toInt(), kLockedColor);
    EXPECT_EQ(g.data(at(1, 1), BackgroundColorRole).toInt(), kWhite);
    g.setRedText(true);
    EXPECT_EQ(g.data(at(1, 1), TextColorRole).toInt(), kRed);
}

TEST_F(GridModelTest, BulkChangesResetOnceAndRowsMoveWithTheirCells) {
    ASSERT_TRUE(buildLayout(ctx_, prompter_, form_));
    LineGrid& g = form_.grid;
    QSignalSpy resets(&g, &QAbstractItemModel::modelReset);
    QSignalSpy changed(&g, &QAbstractItemModel::dataChanged);
    {
        LineGrid::BulkChange bulk(g);
        for (int r = 1; r <= 3; ++r) {
            g.setCell(1, r, QStringLiteral("0%1").arg(r), QString::number(r), QString());
            g.setLineKey(r, QString::number(10 + r));
        }
    }
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(g.lastDataRow(), 3);

    QSignalSpy inserted(&g, &QAbstractItemModel::rowsInserted);
    g.insertRowAt(2);
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(g.rows(), 31);
    EXPECT_EQ(g.text(1, 3), QStringLiteral("02"));
    EXPECT_EQ(g.lineKey(3), QStringLiteral("12"));
    EXPECT_EQ(g.text(1, 2), QString());
    g.removeRowAt(1);
    EXPECT_EQ(g.text(1, 2), QStringLiteral("02"));
    EXPECT_EQ(g.lastDataRow(), 3);

    g.clearCells();
    EXPECT_EQ(g.lastDataRow(), 0);
    EXPECT_EQ(g.lineKey(2), QString());
    EXPECT_EQ(g.key(1, 2), QString());
    EXPECT_EQ(resets.count(), 2);
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
    for (int r = 1; r <= 6; ++r) grid.setText(2, r, QStringLiteral("1"));
    ASSERT_EQ(grid.firstBlankRow(2), 7);
    ASSERT_EQ(grid.columnSum(2), 6.0);
    grid.appendRow();
    ASSERT_EQ(grid.firstBlankRow(2), 7);
    grid.setText(2, 7, QStringLiteral("1"));
    ASSERT_EQ(grid.firstBlankRow(2), 8);
    grid.appendRow();
    grid.appendRow();
    grid.setText(2, 9, QStringLiteral("1"));
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

// Loaded rows come in whole: stored formula cells stay as saved, other
// formula columns are computed from their rows, the rows after them are
// emptied, and the grid grows but never shrinks; all in one reset.
TEST_F(GridModelTest, ReplacedRowsKeepStoredFormulasAndComputeTheOthers) {
    ASSERT_TRUE(buildLayout(ctx_, prompter_, form_));
    LineGrid& g = form_.grid;
    g.column(10).formula = Formula::parse(QStringLiteral("E#*2"));  // 2 × quantity
    for (int r = 1; r <= g.rows(); ++r) g.setCell(1, r, QStringLiteral("old"), {}, {});
    g.setText(5, 3, QStringLiteral("100"));
    ASSERT_EQ(g.rows(), 30);
    ASSERT_EQ(g.firstBlankRow(1), 31);
    ASSERT_EQ(g.columnSum(5), 100.0);
    QSignalSpy resets(&g, &QAbstractItemModel::modelReset);

    auto row = [&g](const char* qty, const char* price, const char* amount) {
        LineGrid::Row cells(static_cast<std::size_t>(g.columns()) + 1);
        cells[0].key = QStringLiteral("9");
        cells[5].text = QLatin1String(qty);
        cells[6].text = QLatin1String(price);
        cells[7].text = QLatin1String(amount);
        return cells;
    };
    std::vector<LineGrid::Row> rows;
    rows.push_back(row("4", "2.5", "99"));
    rows.push_back(row("", "3", ""));
    g.replaceRows(std::move(rows), {7});
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(g.rows(), 30);
    EXPECT_EQ(g.text(7, 1), QStringLiteral("99.00"));
    EXPECT_EQ(g.text(10, 1), QStringLiteral("8"));
    EXPECT_EQ(g.text(10, 2), QString());  // nothing typed it refers to
    EXPECT_EQ(g.lineKey(2), QStringLiteral("9"));
    EXPECT_EQ(g.lastDataRow(), 2);
    EXPECT_EQ(g.columnSum(5), 4.0);
    EXPECT_EQ(g.firstBlankRow(1), 1);

    std::vector<LineGrid::Row> many(35, row("2", "3", "1"));
    g.replaceRows(std::move(many), {});
    EXPECT_EQ(g.rows(), 35);
    EXPECT_EQ(g.text(7, 35), QStringLiteral("6.00"));
    EXPECT_EQ(g.text(10, 35), QStringLiteral("4"));
}

}  // namespace
