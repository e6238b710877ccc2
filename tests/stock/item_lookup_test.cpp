#include <gtest/gtest.h>

#include <functional>

#include "entry/login_context.h"
#include "stock/item_lookup.h"
#include "support/scripted_prompter.h"
#include "support/test_database.h"

using namespace otherin;
using namespace otherin::stock;
using otherin::testing::ScriptedPrompter;
using otherin::testing::TestDatabase;

namespace otherin::stock {

// Names the answer in a failed check.
void PrintTo(LookupAnswer answer, std::ostream* os) {
    constexpr const char* kNames[] = {"Found", "NotFound", "Failed"};
    *os << kNames[static_cast<int>(answer)];
}

}  // namespace otherin::stock

using namespace Qt::StringLiterals;

namespace {

class ItemLookupTest : public ::testing::Test {
  protected:
    void SetUp() override {
        db_.execAll({
            // unit groups 50 (count) and 60 (weight)
            u"insert into tblMeasureUnit(fitemid,fNumber,fname,fxs) "
            "values(51,'PCS','个',1),(52,'BOX','盒',10),(61,'KG','千克',1)"_s,
            u"insert into icitem(fitemid,fNumber,fname,fmodel,fUnitid,fUnitParentId,fInPrice,"
            "fOutPrice,fstockid) values(101,'01.001','螺丝','M6',52,50,2.5,4,9),"
            "(102,'01.002','螺母','M8',51,50,1,2,9),(103,'01.003','垫片','M6',51,50,1,2,9)"_s,
            // Units (class 7); item 101 unlocked, 102 locked, 103 without a
            // tree row (class 3); warehouses (class 5): a leaf, a group, a
            // locked leaf.
            u"insert into tblItem(fitemid,fitemclassid,fNumber,fname,fParentId,"
            "fisdetail,fislock) values(51,7,'PCS','个',50,1,0),"
            "(52,7,'BOX','盒',50,1,0),(61,7,'KG','千克',60,1,0),"
            "(101,3,'01.001','螺丝',0,1,0),(102,3,'01.002','螺母',0,1,1),"
            "(8,5,'01','原料仓',0,1,0),(7,5,'0','仓库',0,0,0),(6,5,'02','旧仓',0,1,1)"_s,
            u"insert into tblsubtype(fitemid,fitemclassid,fNumber,fname) values(3,5,'A','甲类')"_s,
        });
        ctx_.DBConnectionString = db_.connectionString();
        ctx_.msgTitle = u"标题"_s;
    }

    LookupAnswer find(int kind, int itemClass, const char* code, int group = 0) {
        return lookupCode(ctx_, prompter_, kind, itemClass, QString::fromUtf8(code), group);
    }
    TestDatabase db_;
    entry::LoginContext ctx_;
    ScriptedPrompter prompter_;
};

TEST_F(ItemLookupTest, CodesAreFoundExactlyAmongUnlockedLeavesOfTheirClassOrGroup) {
    ASSERT_EQ(find(kLookupBaseData, kClassItem, "01.001"), LookupAnswer::Found);
    const auto& r = ctx_.lookup;
    EXPECT_EQ(QStringList({r.id, r.name, r.model, r.unitId, r.unitName, r.unitCode,
                           r.itemUnitFactor, r.purchasePrice, r.unitGroup, r.defaultWarehouse}),
              QStringList({"101", "螺丝", "M6", "52", "盒", "BOX", "10", "2.5", "50", "9"}));
    const struct {
        int kind;
        int itemClass;
        const char* code;
        int group;
        bool found;
    } cases[] = {
        {kLookupBaseData, kClassItem, "01.002", 0, false},  // locked
        {kLookupBaseData, kClassItem, "01.003", 0, true},   // no tree row
        {kLookupBaseData, kClassItem, "01.001 ", 0, false},
        {kLookupBaseData, kClassItem, "01.001' or '1'='1", 0, false},
        {kLookupBaseData, 5, "0", 0, false},   // not a leaf
        {kLookupBaseData, 5, "02", 0, false},  // locked
        {kLookupBaseData, 6, "01", 0, false},  // another class
        {kLookupSubType, 5, "A", 0, true},
        {kLookupBaseData, kClassUnit, "KG", 50, false},  // another unit group
        {kLookupBaseData, kClassUnit, "KG", 0, true},
        {kLookupBaseData, kClassUnit, "BOX", 50, true},
        {kLookupBaseData, 5, "01", 0, true},
    };
    for (const auto& c : cases) {
        const QString before = r.id;
        EXPECT_EQ(find(c.kind, c.itemClass, c.code, c.group),
                  c.found ? LookupAnswer::Found : LookupAnswer::NotFound)
            << c.code;
        if (!c.found) {
            EXPECT_EQ(r.id, before) << c.code;  // a miss leaves the record
        }
    }
    // BOX's factor; the warehouse's name; the model left from the item
    EXPECT_EQ(QStringList({r.unitFactor, r.name, r.model}), QStringList({"10", "原料仓", "M6"}));
    EXPECT_TRUE(prompter_.messages().empty());
    EXPECT_FALSE(ctx_.gConnection.isOpen());
}

// Warehouse ids are issued by a 32-bit counter: every id it can give comes
// through, one beyond it is refused with the column's name.
TEST_F(ItemLookupTest, DefaultWarehouseTakesAnyThirtyTwoBitId) {
    for (const qint64 stored : {32768LL, 2147483647LL, -32769LL, 2147483648LL}) {
        const bool fits = stored <= 2147483647LL;
        // The server's integer column refuses a value past 32 bits by itself.
        if (!fits && TestDatabase::onServer()) continue;
        prompter_.clear();
        db_.exec(u"update icitem set fstockid=? where fitemid=101"_s, {stored});
        EXPECT_EQ(find(kLookupBaseData, kClassItem, "01.001"),
                  fits ? LookupAnswer::Found : LookupAnswer::Failed)
            << stored;
        // What was taken, or the one message that refused it.
        const QString seen = fits ? ctx_.lookup.defaultWarehouse : prompter_.lastText();
        EXPECT_EQ(prompter_.messages().size(), fits ? 0u : 1u) << stored;
        EXPECT_TRUE(fits ? seen == QString::number(stored) : seen.contains("fstockid"))
            << seen.toStdString();
    }
}

// A failing database is told once as critical, apart from a miss, which says nothing.
TEST_F(ItemLookupTest, DatabaseFailureIsToldOnceAndToldApartFromAMiss) {
    const auto unitIn = [this](int unit, int group) {
        return unitInGroup(ctx_, prompter_, unit, group);
    };
    EXPECT_EQ(unitIn(52, 50), LookupAnswer::Found);
    EXPECT_EQ(unitIn(61, 50), LookupAnswer::NotFound);
    EXPECT_EQ(find(kLookupBaseData, kClassItem, "01.009"), LookupAnswer::NotFound);
    EXPECT_TRUE(prompter_.messages().empty());
    const struct {
        const char* table;
        std::function<LookupAnswer()> lookUp;
    } breaks[] = {
        {"icitem", [this] { return find(kLookupBaseData, kClassItem, "01.001"); }},
        {"tblMeasureUnit", [this] { return find(kLookupBaseData, kClassUnit, "BOX", 50); }},
        {"tblItem", [this] { return find(kLookupBaseData, 5, "01"); }},
        {"tblsubtype", [this] { return find(kLookupSubType, 5, "A"); }},
        {"tblItem", [&] { return unitIn(52, 50); }},
    };
    for (const auto& b : breaks) {
        const QString table = QString::fromLatin1(b.table);
        SCOPED_TRACE(b.table);
        prompter_.clear();
        db_.exec(u"alter table %1 rename to %1_away"_s.arg(table));
        EXPECT_EQ(b.lookUp(), LookupAnswer::Failed);
        EXPECT_TRUE(prompter_.onlyMessage(prompter_.lastText(), entry::Icon::Critical));
        EXPECT_TRUE(prompter_.lastText().contains(table, Qt::CaseInsensitive))
            << prompter_.lastText().toStdString();
        EXPECT_FALSE(ctx_.gConnection.isOpen());
        db_.exec(u"alter table %1_away rename to %1"_s.arg(table));
        EXPECT_EQ(b.lookUp(), LookupAnswer::Found);  // the connection is not left broken
        EXPECT_EQ(prompter_.messages().size(), 1u);
    }
}

}  // namespace
