#include "editor/item_import.h"
#include "editor_fixture.h"

using namespace otherin;
using namespace otherin::editor;
using otherin::testing::EditorTest;

namespace {

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
    EXPECT_EQ(g.text(col.itemName, 4), QStringLiteral("冷轧钢板"));
    EXPECT_EQ(g.text(col.itemModel, 4), QStringLiteral("1.0×1250×2500mm"));
    EXPECT_DOUBLE_EQ(g.value(col.quantity, 4), 2.5);
    EXPECT_EQ(g.text(col.unit, 4), QStringLiteral("千克"));
    EXPECT_EQ(g.key(col.unit, 4), QStringLiteral("704"));
    EXPECT_EQ(g.code(col.unit, 4), QStringLiteral("KG"));
    EXPECT_EQ(g.text(form->unitGroupColumn(), 4), QStringLiteral("602"));
    EXPECT_EQ(g.text(form->warehouseColumn(), 4), QStringLiteral("501"));
    // Only what the import fills changes in the active row.
    EXPECT_EQ(g.text(kNote, 4), QStringLiteral("overwritten"));
    EXPECT_TRUE(g.text(col.price, 4).isEmpty());

    EXPECT_EQ(g.text(col.itemCode, 5), QStringLiteral("02.001"));
    EXPECT_EQ(g.text(col.unit, 5), QStringLiteral("个"));
    EXPECT_EQ(g.text(form->warehouseColumn(), 5), QStringLiteral("502"));
    EXPECT_TRUE(g.text(kNote, 5).isEmpty());

    EXPECT_EQ(g.key(col.itemCode, 6), QStringLiteral("9999"));
    EXPECT_TRUE(g.text(col.itemCode, 6).isEmpty());
    EXPECT_TRUE(g.text(col.itemName, 6).isEmpty());
    EXPECT_TRUE(g.text(col.itemModel, 6).isEmpty());
    EXPECT_DOUBLE_EQ(g.value(col.quantity, 6), 1.0);

    EXPECT_EQ(g.text(kNote, 7), QStringLiteral("was five"));
    EXPECT_EQ(g.text(kNote, 8), QStringLiteral("was six"));

    // The user's rows are used up; another user's stay. A second import has
    // nothing to bring and leaves the grid alone.
    EXPECT_EQ(staged(1), 0);
    EXPECT_EQ(staged(2), 1);
    EXPECT_EQ(importItemInput(ctx, prompter, *form, 4), 0);
    EXPECT_EQ(g.rows(), rows + 2);
    EXPECT_EQ(g.text(col.itemCode, 4), QStringLiteral("01.001"));
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
    ASSERT_EQ(prompter.messages().size(), 1u);
    EXPECT_TRUE(prompter.lastText().contains(QStringLiteral("staged rows are protected")));
    EXPECT_EQ(prompter.messages()[0].icon, entry::Icon::Critical);
    EXPECT_EQ(prompter.messages()[0].title, QStringLiteral("其它入库单"));
    EXPECT_EQ(grid().rows(), rows);
    EXPECT_EQ(grid().lastDataRow(), 0);
    EXPECT_EQ(staged(1), 2);
    EXPECT_FALSE(ctx.gConnection.isOpen());
}

}  // namespace
