#include <gtest/gtest.h>

#include <QAbstractItemModelTester>

#include "entry/login_context.h"
#include "stock/batch_list.h"
#include "support/scripted_prompter.h"
#include "support/test_database.h"

using namespace otherin;
using otherin::stock::BatchListModel;
using otherin::testing::ScriptedPrompter;
using otherin::testing::TestDatabase;

namespace {

class BatchListTest : public ::testing::Test {
  protected:
    void SetUp() override {
        db_.execAll({
            QStringLiteral("insert into tblMeasureUnit(fitemid,fNumber,fname,fxs) values"
                           "(704,'KG','千克',1),(705,'T','吨',1000)"),
            // item 1101: batches "9", "10", an unnumbered one, "10" again in a
            // second warehouse, a negative row, and an emptied row; item 1104
            // holds three batches for the search.
            QStringLiteral("insert into tblTimeStock(fstockid,fitemid,funitid,fbatchno,fStockPlace,"
                           "fqty,famount) values"
                           "(501,1101,704,'9',0,10,25),"
                           "(501,1101,704,'10',0,3,10),"
                           "(501,1101,704,'',0,1,4.2),"
                           "(502,1101,705,'10',801,-2,-5),"
                           "(503,1101,704,'8',0,0,0),"
                           "(501,1104,704,'A-01',0,1,1),(501,1104,704,'a-02',0,2,3),"
                           "(501,1104,704,'B-01',0,4,2)"),
        });
        ctx_.DBConnectionString = db_.connectionString();
        ctx_.msgTitle = QStringLiteral("标题");
    }

    // "batch unit qty unitCost amount" of each row shown.
    QStringList rows() const {
        QStringList out;
        for (int r = 0; r < model_.rowCount(); ++r) {
            QStringList cells;
            for (int column :
                 {BatchListModel::BatchNo, BatchListModel::Unit, BatchListModel::Quantity,
                  BatchListModel::UnitCost, BatchListModel::Amount})
                cells << model_.data(model_.index(r, column)).toString();
            out << cells.join(QLatin1Char(' '));
        }
        return out;
    }
    bool load(const char* itemId) {
        ctx_.batchItemId = QString::fromLatin1(itemId);
        return model_.load(ctx_, prompter_);
    }

    TestDatabase db_;
    entry::LoginContext ctx_;
    ScriptedPrompter prompter_;
    BatchListModel model_;
    QAbstractItemModelTester tester_{&model_};
};

// Rows on hand in batch text order ("10" before "9"), a batch held in two
// warehouses twice, each with its unit cost.
TEST_F(BatchListTest, ListsRowsOnHandWithTheirUnitCostAndPickTakesTheShownRow) {
    ASSERT_TRUE(load("1101"));
    EXPECT_EQ(rows(), (QStringList{" 千克 1 4.2 4.2", "10 千克 3 3.333333 10", "10 吨 -2 2.5 -5",
                                   "9 千克 10 2.5 25"}));
    EXPECT_TRUE(model_.pick(ctx_, 3));
    EXPECT_EQ(ctx_.pickedBatch, QStringLiteral("9"));
    EXPECT_EQ(ctx_.pickedUnitCost, QStringLiteral("2.5"));

    ASSERT_TRUE(load("1104"));
    model_.setFilter(QStringLiteral("A-0"));  // without regard to case
    ASSERT_EQ(model_.rowCount(), 2);
    EXPECT_TRUE(model_.pick(ctx_, 1));
    EXPECT_EQ(ctx_.pickedBatch, QStringLiteral("a-02"));
    EXPECT_EQ(ctx_.pickedUnitCost, QStringLiteral("1.5"));
    // A reload keeps the search text.
    model_.setFilter(QStringLiteral("b"));
    ASSERT_TRUE(load("1104"));
    EXPECT_EQ(model_.rowCount(), 1);
    EXPECT_TRUE(prompter_.messages().empty());
    EXPECT_FALSE(ctx_.gConnection.isOpen());
}

TEST_F(BatchListTest, EmptyListPicksNothingAndAFailureIsReported) {
    for (const char* itemId : {"1103", "", "1101 or 1=1"}) {
        ctx_.pickedBatch = QStringLiteral("old");
        ctx_.pickedUnitCost = QStringLiteral("1");
        ASSERT_TRUE(load(itemId));
        EXPECT_EQ(model_.rowCount(), 0) << itemId;
        EXPECT_FALSE(model_.pick(ctx_, 0));
        EXPECT_TRUE(ctx_.pickedBatch.isEmpty());
        EXPECT_TRUE(ctx_.pickedUnitCost.isEmpty());
    }
    db_.exec(QStringLiteral("drop view vGOtherIn"));  // the server keeps a view's tables
    db_.exec(QStringLiteral("drop table tblMeasureUnit"));
    EXPECT_FALSE(load("1101"));
    ASSERT_EQ(prompter_.messages().size(), 1u);
    EXPECT_EQ(prompter_.messages()[0].icon, entry::Icon::Critical);
    EXPECT_TRUE(prompter_.messages()[0].text.contains(QStringLiteral("tblMeasureUnit"),
                                                      Qt::CaseInsensitive));
    EXPECT_EQ(model_.rowCount(), 0);
    EXPECT_FALSE(ctx_.gConnection.isOpen());
}

}  // namespace
