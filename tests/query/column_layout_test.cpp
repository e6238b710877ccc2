#include <gtest/gtest.h>

#include "entry/column_layout.h"
#include "query/query_fixture.h"

using namespace otherin::entry;
using otherin::testing::QueryFixture;

namespace {

class ColumnLayoutTest : public ::testing::Test, protected QueryFixture {
  protected:
    QList<int> stored(int type) {
        QList<int> widths;
        otherin::db::Query q = db.connection().prepare(
            "select fwidth from t_QV_tableinfo where ftablename=? and ftype=? order by fsequence");
        q.bind(name).bind(type).exec();
        while (q.next()) widths << q.value(0).toInt();
        return widths;
    }
    const QString name = QStringLiteral("frmMainBillResult7CC");
};

TEST_F(ColumnLayoutTest, StoredLayoutsFitGridsWithFewerOrMoreColumns) {
    ASSERT_TRUE(saveColumnLayout(ctx, prompter, name, {10, 20, 30, 40, 50}, kUserLayout));
    QList<int> fewer{1, 2, 3};
    EXPECT_TRUE(restoreColumnLayout(ctx, prompter, name, fewer, kUserLayout));
    EXPECT_EQ(fewer, (QList<int>{10, 20, 30}));

    ASSERT_TRUE(saveColumnLayout(ctx, prompter, name, {10, 20}, kUserLayout));
    QList<int> more{1, 2, 3, 4};
    EXPECT_TRUE(restoreColumnLayout(ctx, prompter, name, more, kUserLayout));
    EXPECT_EQ(more, (QList<int>{10, 20, 3, 4}));
}

TEST_F(ColumnLayoutTest, SavingReplacesOnlyItsOwnTypeAndAFailedSaveKeepsTheOldRows) {
    ASSERT_TRUE(saveColumnLayout(ctx, prompter, name, {7, 8}, kDefaultLayout));
    ASSERT_TRUE(saveColumnLayout(ctx, prompter, name, {1, 2, 3}, kUserLayout));
    ASSERT_TRUE(saveColumnLayout(ctx, prompter, name, {4, 5}, kUserLayout));
    ASSERT_TRUE(saveColumnLayout(ctx, prompter, "other", {9}, kUserLayout));
    EXPECT_EQ(stored(kUserLayout), (QList<int>{4, 5}));
    EXPECT_EQ(stored(kDefaultLayout), (QList<int>{7, 8}));

    db.refuseWrites(QStringLiteral("t_QV_tableinfo"), QStringLiteral("insert"),
                    QStringLiteral("磁盘已满"), QStringLiteral("new.fsequence=1"));
    EXPECT_FALSE(saveColumnLayout(ctx, prompter, name, {100, 200}, kUserLayout));
    EXPECT_TRUE(prompter.onlyMessage(QStringLiteral("磁盘已满"), Icon::None));
    EXPECT_EQ(stored(kUserLayout), (QList<int>{4, 5}));
    EXPECT_FALSE(ctx.gConnection.isOpen());
}

}  // namespace
