#include <gtest/gtest.h>

#include "entry/login_context.h"
#include "stock/item_lookup.h"
#include "support/scripted_prompter.h"
#include "support/test_database.h"

using namespace otherin;
using namespace otherin::stock;
using otherin::testing::ScriptedPrompter;
using otherin::testing::TestDatabase;

namespace {

class ItemLookupTest : public ::testing::Test {
  protected:
    void SetUp() override {
        db_.execAll({
            // unit groups 50 (count) and 60 (weight)
            QStringLiteral("insert into tblMeasureUnit(fitemid,fNumber,fname,fxs) "
                           "values(51,'PCS','个',1),(52,'BOX','盒',10),(61,'KG','千克',1)"),
            QStringLiteral(
                "insert into "
                "tblItem(fitemid,fitemclassid,fNumber,fname,fParentId,fisdetail,fislock) values"
                "(51,7,'PCS','个',50,1,0),(52,7,'BOX','盒',50,1,0),(61,7,'KG','千克',60,1,0)"),
            QStringLiteral("insert into "
                           "icitem(fitemid,fNumber,fname,fmodel,fUnitid,fUnitParentId,fInPrice,"
                           "fOutPrice,fstockid) values"
                           "(101,'01.001','螺丝','M6',52,50,2.5,4,9),"
                           "(102,'01.002','螺母','M8',51,50,1,2,9),"
                           "(103,'01.003','垫片',NULL,51,50,1,2,9)"),
            // 101 is in the tree and unlocked, 102 is locked, 103 has no tree row
            QStringLiteral(
                "insert into tblItem(fitemid,fitemclassid,fNumber,fname,fisdetail,fislock) values"
                "(101,3,'01.001','螺丝',1,0),(102,3,'01.002','螺母',1,1)"),
            QStringLiteral(
                "insert into tblItem(fitemid,fitemclassid,fNumber,fname,fisdetail,fislock) values"
                "(8,5,'01','原料仓',1,0),(7,5,'0','仓库',0,0),(6,5,'02','旧仓',1,1)"),
            QStringLiteral("insert into tblsubtype(fitemid,fitemclassid,fNumber,fname) "
                           "values(3,5,'A','甲类')"),
        });
        ctx_.DBConnectionString = db_.connectionString();
        ctx_.msgTitle = QStringLiteral("标题");
    }

    bool find(int kind, int itemClass, const char* code, int group = 0) {
        return lookupCode(ctx_, prompter_, kind, itemClass, QString::fromUtf8(code), group);
    }

    TestDatabase db_;
    entry::LoginContext ctx_;
    ScriptedPrompter prompter_;
};

TEST_F(ItemLookupTest, ItemsAreFoundWithTheirUnitUnlessLocked) {
    ASSERT_TRUE(find(kLookupBaseData, kClassItem, "01.001"));
    const auto& r = ctx_.lookup;
    EXPECT_EQ(r.id, QStringLiteral("101"));
    EXPECT_EQ(r.name, QStringLiteral("螺丝"));
    EXPECT_EQ(r.model, QStringLiteral("M6"));
    EXPECT_EQ(r.unitId, QStringLiteral("52"));
    EXPECT_EQ(r.unitName, QStringLiteral("盒"));
    EXPECT_EQ(r.unitCode, QStringLiteral("BOX"));
    EXPECT_EQ(r.itemUnitFactor.toDouble(), 10.0);
    EXPECT_EQ(r.purchasePrice.toDouble(), 2.5);
    EXPECT_EQ(r.unitGroup, QStringLiteral("50"));
    EXPECT_EQ(r.defaultWarehouse, QStringLiteral("9"));

    EXPECT_FALSE(find(kLookupBaseData, kClassItem, "01.002"));   // locked
    EXPECT_FALSE(find(kLookupBaseData, kClassItem, "01.001 "));  // exact match only
    EXPECT_FALSE(find(kLookupBaseData, kClassItem, "01.001' or '1'='1"));
    EXPECT_EQ(ctx_.lookup.id, QStringLiteral("101"));  // a miss leaves the record as it was
    EXPECT_TRUE(prompter_.messages().empty());
    EXPECT_FALSE(ctx_.gConnection.isOpen());
}

TEST_F(ItemLookupTest, ItemWithoutTreeRowIsFoundButNullModelFails) {
    db_.exec(QStringLiteral("update icitem set fmodel='' where fitemid=103"));
    EXPECT_TRUE(find(kLookupBaseData, kClassItem, "01.003"));
    db_.exec(QStringLiteral("update icitem set fmodel=NULL where fitemid=103"));
    EXPECT_FALSE(find(kLookupBaseData, kClassItem, "01.003"));
    ASSERT_EQ(prompter_.messages().size(), 1u);
    EXPECT_EQ(prompter_.messages()[0].icon, entry::Icon::Critical);
    EXPECT_EQ(prompter_.messages()[0].title, QStringLiteral("标题"));
    EXPECT_TRUE(prompter_.messages()[0].text.contains(QStringLiteral("fmodel")));
    EXPECT_FALSE(ctx_.gConnection.isOpen());
}

// Warehouse ids are issued by a 32-bit counter: every id it can give comes
// through, one beyond it is refused.
TEST_F(ItemLookupTest, DefaultWarehouseTakesAnyThirtyTwoBitId) {
    const struct {
        qint64 stored;
        bool found;
    } cases[] = {{32767, true},      {32768, true},  {70000, true},
                 {2147483647, true}, {-32769, true}, {2147483648LL, false}};
    for (const auto& c : cases) {
        // The server's integer column refuses a value past 32 bits by itself.
        if (c.stored > 2147483647LL && TestDatabase::onServer()) continue;
        prompter_.clear();
        db_.exec(QStringLiteral("update icitem set fstockid=? where fitemid=101"), {c.stored});
        EXPECT_EQ(find(kLookupBaseData, kClassItem, "01.001"), c.found) << c.stored;
        if (c.found) {
            EXPECT_EQ(ctx_.lookup.defaultWarehouse, QString::number(c.stored));
            EXPECT_TRUE(prompter_.messages().empty()) << c.stored;
        } else {
            ASSERT_EQ(prompter_.messages().size(), 1u) << c.stored;
            EXPECT_TRUE(prompter_.messages()[0].text.contains(QStringLiteral("fstockid")));
        }
    }
}

TEST_F(ItemLookupTest, UnitsAreLimitedToTheLinesUnitGroup) {
    EXPECT_FALSE(find(kLookupBaseData, kClassUnit, "KG", 50));
    ASSERT_TRUE(find(kLookupBaseData, kClassUnit, "KG", 0));
    EXPECT_EQ(ctx_.lookup.id, QStringLiteral("61"));
    ASSERT_TRUE(find(kLookupBaseData, kClassUnit, "BOX", 50));
    EXPECT_EQ(ctx_.lookup.unitFactor.toDouble(), 10.0);
}

TEST_F(ItemLookupTest, OtherClassesNeedUnlockedLeavesAndKeepItemFieldsAndUnknownKindsFail) {
    ASSERT_TRUE(find(kLookupBaseData, kClassItem, "01.001"));
    ASSERT_TRUE(find(kLookupBaseData, 5, "01"));
    EXPECT_EQ(ctx_.lookup.name, QStringLiteral("原料仓"));
    EXPECT_EQ(ctx_.lookup.model, QStringLiteral("M6"));  // left from the item
    EXPECT_FALSE(find(kLookupBaseData, 5, "0"));         // not a leaf
    EXPECT_FALSE(find(kLookupBaseData, 5, "02"));        // locked
    EXPECT_FALSE(find(kLookupBaseData, 6, "01"));        // another class
    ASSERT_TRUE(find(kLookupSubType, 5, "A"));
    EXPECT_EQ(ctx_.lookup.name, QStringLiteral("甲类"));
    EXPECT_TRUE(prompter_.messages().empty());
    EXPECT_FALSE(find(9, kClassItem, "01.001"));  // an unknown kind of look-up
    EXPECT_EQ(prompter_.messages().size(), 1u);
}

}  // namespace
