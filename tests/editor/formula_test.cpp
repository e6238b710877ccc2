#include <gtest/gtest.h>

#include "support/qstring_print.h"

#include <map>

#include "editor/formula.h"
#include "editor/line_grid.h"

using namespace otherin::editor;

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

}  // namespace
