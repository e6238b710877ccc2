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
            // second warehouse, a negative row, and an emptied row; item 1102
            // holds a batch of its own.
            QStringLiteral("insert into tblTimeStock(fstockid,fitemid,funitid,fbatchno,fStockPlace,"
                           "fqty,famount) values"
                           "(501,1101,704,'9',0,10,25),"
                           "(501,1101,704,'10',0,3,10),"
                           "(501,1101,704,'',0,1,4.2),"
                           "(502,1101,705,'10',801,-2,-5),"
                           "(503,1101,704,'8',0,0,0),"
                           "(501,1102,704,'7',0,5,5)"),
        });
        ctx_.DBConnectionString = db_.connectionString();
        ctx_.msgTitle = QStringLiteral("标题");
    }

    QString cell(int row, int column) const {
        return model_.data(model_.index(row, column)).toString();
    }

    TestDatabase db_;
    entry::LoginContext ctx_;
    ScriptedPrompter prompter_;
    BatchListModel model_;
    QAbstractItemModelTester tester_{&model_};
};

TEST_F(BatchListTest, ListsLedgerRowsOnHandInBatchTextOrder) {
    ctx_.batchItemId = QStringLiteral("1101");
    ASSERT_TRUE(model_.load(ctx_, prompter_));
    ASSERT_EQ(model_.rowCount(), 4);
    EXPECT_EQ(model_.columnCount(), BatchListModel::ColumnCount);
    // "10" sorts before "9"; the batch held in two warehouses shows twice.
    EXPECT_EQ(cell(0, BatchListModel::BatchNo), QString());
    EXPECT_EQ(cell(1, BatchListModel::BatchNo), QStringLiteral("10"));
    EXPECT_EQ(cell(2, BatchListModel::BatchNo), QStringLiteral("10"));
    EXPECT_EQ(cell(3, BatchListModel::BatchNo), QStringLiteral("9"));

    EXPECT_EQ(cell(3, BatchListModel::Unit), QStringLiteral("千克"));
    EXPECT_EQ(cell(3, BatchListModel::Quantity), QStringLiteral("10"));
    EXPECT_EQ(cell(3, BatchListModel::UnitCost), QStringLiteral("2.5"));
    EXPECT_EQ(cell(3, BatchListModel::Amount), QStringLiteral("25"));
    EXPECT_EQ(cell(0, BatchListModel::UnitCost), QStringLiteral("4.2"));
    EXPECT_EQ(cell(1, BatchListModel::UnitCost), QStringLiteral("3.333333"));
    EXPECT_EQ(cell(2, BatchListModel::Unit), QStringLiteral("吨"));
    EXPECT_EQ(cell(2, BatchListModel::UnitCost), QStringLiteral("2.5"));

    EXPECT_TRUE(model_.pick(ctx_, 3));
    EXPECT_EQ(ctx_.pickedBatch, QStringLiteral("9"));
    EXPECT_EQ(ctx_.pickedUnitCost, QStringLiteral("2.5"));
    EXPECT_TRUE(prompter_.messages().empty());
    EXPECT_FALSE(ctx_.gConnection.isOpen());
}

TEST_F(BatchListTest, EmptyListPicksNothing) {
    for (const char* itemId : {"1103", "", "1101 or 1=1"}) {
        ctx_.batchItemId = QString::fromLatin1(itemId);
        ctx_.pickedBatch = QStringLiteral("old");
        ctx_.pickedUnitCost = QStringLiteral("1");
        ASSERT_TRUE(model_.load(ctx_, prompter_));
        EXPECT_EQ(model_.rowCount(), 0) << itemId;
        EXPECT_FALSE(model_.pick(ctx_, 0));
        EXPECT_TRUE(ctx_.pickedBatch.isEmpty());
        EXPECT_TRUE(ctx_.pickedUnitCost.isEmpty());
    }
    // Only emptied rows on hand.
    db_.exec(QStringLiteral("update tblTimeStock set fqty=0 where fitemid=1102"));
    ctx_.batchItemId = QStringLiteral("1102");
    ASSERT_TRUE(model_.load(ctx_, prompter_));
    EXPECT_EQ(model_.rowCount(), 0);
    EXPECT_FALSE(model_.pick(ctx_, -1));
}

TEST_F(BatchListTest, FilterNarrowsRowsAndPickTakesTheShownRow) {
    db_.exec(
        QStringLiteral("insert into tblTimeStock(fstockid,fitemid,funitid,fbatchno,fqty,famount)"
                       " values(501,1104,704,'A-01',1,1),(501,1104,704,'a-02',2,3),"
                       "(501,1104,704,'B-01',4,2)"));
    ctx_.batchItemId = QStringLiteral("1104");
    ASSERT_TRUE(model_.load(ctx_, prompter_));
    model_.setFilter(QStringLiteral("A-0"));
    ASSERT_EQ(model_.rowCount(), 2);
    EXPECT_TRUE(model_.pick(ctx_, 1));
    EXPECT_EQ(ctx_.pickedBatch, QStringLiteral("a-02"));
    EXPECT_EQ(ctx_.pickedUnitCost, QStringLiteral("1.5"));

    model_.setFilter(QStringLiteral("-01"));
    ASSERT_EQ(model_.rowCount(), 2);
    EXPECT_TRUE(model_.pick(ctx_, 1));
    EXPECT_EQ(ctx_.pickedBatch, QStringLiteral("B-01"));

    model_.setFilter(QStringLiteral("zz"));
    EXPECT_EQ(model_.rowCount(), 0);
    EXPECT_FALSE(model_.pick(ctx_, 0));
    EXPECT_TRUE(ctx_.pickedBatch.isEmpty());

    // A reload keeps the search text.
    model_.setFilter(QStringLiteral("b"));
    ASSERT_TRUE(model_.load(ctx_, prompter_));
    ASSERT_EQ(model_.rowCount(), 1);
    model_.setFilter(QString());
    EXPECT_EQ(model_.rowCount(), 3);
}

TEST_F(BatchListTest, DatabaseFailureIsReported) {
    db_.exec(QStringLiteral("drop view vGOtherIn"));  // the server keeps a view's tables
    db_.exec(QStringLiteral("drop table tblMeasureUnit"));
    ctx_.batchItemId = QStringLiteral("1101");
    EXPECT_FALSE(model_.load(ctx_, prompter_));
    ASSERT_EQ(prompter_.messages().size(), 1u);
    EXPECT_EQ(prompter_.messages()[0].icon, entry::Icon::Critical);
    EXPECT_EQ(prompter_.messages()[0].title, QStringLiteral("标题"));
    EXPECT_TRUE(prompter_.messages()[0].text.contains(QStringLiteral("tblMeasureUnit"),
                                                      Qt::CaseInsensitive))
        << prompter_.messages()[0].text.toStdString();
    EXPECT_EQ(model_.rowCount(), 0);
    EXPECT_FALSE(ctx_.gConnection.isOpen());
}

}  // namespace
