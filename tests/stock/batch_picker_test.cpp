#include <gtest/gtest.h>

#include "entry/login_context.h"
#include "stock/ui/batch_picker_window.h"
#include "support/qstring_print.h"
#include "support/scripted_prompter.h"
#include "support/test_database.h"

using namespace Qt::StringLiterals;

using namespace otherin;
using otherin::testing::ScriptedPrompter;
using otherin::testing::TestDatabase;

namespace {

// Item 1101 holds B1 in two warehouses (one row below zero, in tonnes), B2,
// and an emptied B0; a stale pick waits to be forgotten.
class BatchPickerWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        db_.exec(
            u"insert into tblTimeStock(fstockid,fitemid,funitid,fbatchno,fStockPlace,fqty,famount)"
            " values(501,1101,704,'B2',0,10,25),(501,1101,704,'B1',0,4,2),"
            "(502,1101,705,'B1',801,-2,-5),(503,1101,704,'B0',0,0,0)"_s);
        ctx_.DBConnectionString = db_.connectionString();
        ctx_.batchItemId = u"1101"_s;
        ctx_.pickedBatch = u"stale"_s;
    }
    TestDatabase db_{TestDatabase::Seed::Demo};
    entry::LoginContext ctx_;
    ScriptedPrompter prompter_;
};

// The rows on hand in batch order, each with its own unit and unit cost
// ("batch unit quantity cost"); a pick takes the shown row's batch and cost.
TEST_F(BatchPickerWindowTest, ListsEachRowWithItsUnitCostAndPicksTheShownRow) {
    stock::BatchPickerWindow window(ctx_, prompter_);
    ASSERT_TRUE(window.load());
    EXPECT_TRUE(ctx_.pickedBatch.isEmpty());  // a new opening forgets the last pick
    QStringList rows;
    for (int r = 0; r < window.model().rowCount(); ++r) {
        using M = stock::BatchListModel;
        QStringList cells;
        for (int column : {M::BatchNo, M::Unit, M::Quantity, M::UnitCost})
            cells << window.model().index(r, column).data().toString();
        rows << cells.join(' ');
    }
    EXPECT_EQ(rows, (QStringList{"B1 千克 4 0.5", "B1 吨 -2 2.5", "B2 千克 10 2.5"}));
    window.model().setFilter(u"b2"_s);
    EXPECT_TRUE(window.model().pick(ctx_, 0));
    EXPECT_EQ(ctx_.pickedBatch + " " + ctx_.pickedUnitCost, u"B2 2.5"_s);
    EXPECT_TRUE(prompter_.messages().empty());
    EXPECT_FALSE(ctx_.gConnection.isOpen());
}

}  // namespace
