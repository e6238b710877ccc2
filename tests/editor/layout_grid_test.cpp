// The layout built from the bill type's rows, formulas, and what the grid
// takes and writes.
#include <QSignalSpy>
#include <cmath>
#include <map>
#include <optional>
#include <random>

#include "editor/formula.h"
#include "session_fixture.h"

using namespace otherin;
using namespace otherin::editor;

using namespace Qt::StringLiterals;

namespace {

class LayoutTest : public otherin::testing::SessionTest {
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

}  // namespace
