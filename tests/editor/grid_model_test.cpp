#include <gtest/gtest.h>

#include "qstring_print.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include "editor/bill_form.h"
#include "editor/layout_builder.h"
#include "entry/login_context.h"
#include "support/scripted_prompter.h"
#include "support/test_database.h"

using namespace otherin;
using namespace otherin::editor;
using otherin::testing::ScriptedPrompter;
using otherin::testing::TestDatabase;

namespace {

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
    QSignalSpy stripResets(&form_.strip, &QAbstractItemModel::modelReset);
    ASSERT_TRUE(buildLayout(ctx_, prompter_, form_));
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(stripResets.count(), 1);

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
    EXPECT_EQ(edited.count(), 2);
    EXPECT_EQ(changed.count(), 4);  // each typed cell and the amount after each

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

}  // namespace
