#include <gtest/gtest.h>

#include "query/bill_find_controller.h"
#include "query/query_fixture.h"

using namespace Qt::StringLiterals;

using namespace otherin::query;
using namespace otherin::entry;
using otherin::testing::QueryFixture;

namespace {

constexpr int kBillNo = 1;
constexpr int kWarehouse = 3;
constexpr int kQty = 10;

class SchemeTest : public ::testing::Test, protected QueryFixture {
  protected:
    // The rows of the scheme tables and the scheme counter.
    QString stored() {
        QStringList counts;
        for (const char* table : {"tblproject", "tblprojectEntry", "tblprojectOrder"})
            counts << db.scalar(u"select count(*) from "_s + table).toString();
        return counts.join(' ') + u" max "_s +
               db.scalar("select fmaxnum from tblmaxNum where lower(ftablename)='tblproject'")
                   .toString();
    }
};

TEST_F(SchemeTest, SavedSchemeRestoresRowsAsTypedIncludingAnEmptyThirdRow) {
    BillFindController find(ctx, prompter);
    find.open();
    ConditionGrid& g = find.conditions();
    const auto fill = [&g](int row, int connector, int field, int op, const QString& value) {
        if (connector >= 0) g.chooseConnector(row, connector);
        g.chooseField(row, field);
        g.chooseOperator(row, op);
        g.setValue(row, value);
    };
    fill(0, -1, kBillNo, 0, u"O'Brien"_s);
    fill(1, 1, kQty, 0, u"1 or 1=1"_s);  // kept as typed, refused only when querying
    fill(3, 0, kWarehouse, 1, u"原材料仓"_s);
    find.addSortField(9);                                          // 数量
    find.sortFields().setCell(0, SortGrid::Ascending, QString());  // never set
    find.addSortField(0);

    prompter.expectInput(u"我的方案"_s);
    ASSERT_TRUE(find.saveScheme());
    EXPECT_TRUE(prompter.onlyMessage(u"方案保存成功!"_s, Icon::None));
    ASSERT_EQ(find.schemes().list().size(), 2u);
    const int id = find.schemes().list()[1].id;

    BillFindController other(ctx, prompter);
    other.open();
    EXPECT_EQ(other.conditions().lastDataRow(), -1);  // the default scheme is empty
    ASSERT_TRUE(other.loadScheme(id));
    for (int row = 0; row < 4; ++row) {
        for (int col = ConditionGrid::Connector; col <= ConditionGrid::ItemClass; ++col) {
            if (col == ConditionGrid::OperatorSql) continue;  // number rows drop it
            EXPECT_EQ(other.conditions().cell(row, col), g.cell(row, col)) << row << "," << col;
        }
    }
    EXPECT_EQ(other.orderSQL(), u" order by  fqty desc,fbillno"_s);
    EXPECT_THROW(other.seekSQL(), ConditionError);
    other.conditions().setValue(1, u"2"_s);
    EXPECT_EQ(other.seekSQL(),
              u" and ( fbillno='O''Brien' or fqty >2 and "
              "fStockName like '%原材料仓%' escape '!' "_s);
}

// The first opening makes the default scheme (and its counter's row); the default cannot be
// deleted, an older namesake neither replaces it nor stays, others are asked for.
TEST_F(SchemeTest, DeletingRefusesTheDefaultAndAsksForOthers) {
    db.exec("delete from tblmaxNum where ftablename='tblproject'");
    BillFindController first(ctx, prompter);
    first.open();
    const int realDefault = first.schemes().defaultId();
    EXPECT_EQ(first.schemes().list().at(0).name, u"默认方案"_s);
    first.conditions().chooseField(0, kQty);
    first.addSortField(0);
    prompter.expectInput(u"临时"_s);
    ASSERT_TRUE(first.saveScheme());
    const int id = first.schemes().list().back().id;
    db.exec(
        "insert into tblproject(finterid,ftype,fname,fitemclassid,fisDefault) "
        "values(9,7,'默认方案',1,0)");
    db.exec(
        "insert into tblprojectEntry(finterid,ftype,fline,f1col,f2col,f3col,f4col,f5col,f6col,"
        "f7col,f8col) values(9,7,1,'','数量','fqty','1','大于','>','5','0')");

    BillFindController find(ctx, prompter);
    find.open();
    EXPECT_EQ(find.schemes().defaultId(), realDefault);
    EXPECT_EQ(find.conditions().lastDataRow(), -1);  // the default's empty grid
    prompter.clear();

    EXPECT_FALSE(find.deleteScheme(realDefault));
    prompter.expectQuestion(Answer::Cancel);
    EXPECT_FALSE(find.deleteScheme(id));
    EXPECT_EQ(stored(), u"3 2 1 max 2"_s);
    prompter.expectQuestion(Answer::Ok);
    prompter.expectQuestion(Answer::Ok);
    EXPECT_TRUE(find.deleteScheme(id));
    EXPECT_TRUE(find.deleteScheme(9));
    const QString asked = u"? 确定要删除吗?\n"_s;
    EXPECT_EQ(prompter.transcript(), u"! 默认方案不能删除!\n"_s + asked + asked +
                                         u"i 删除成功!\n"_s + asked + u"i 删除成功!"_s);
    EXPECT_EQ(find.schemes().list().size(), 1u);
    EXPECT_EQ(stored(), u"1 0 0 max 2"_s);
}

// A refused or half-failed save of a scheme stores nothing of it.
TEST_F(SchemeTest, ASaveRefusedOrFailedStoresNothing) {
    BillFindController find(ctx, prompter);
    find.open();
    find.conditions().chooseField(0, kQty);
    find.addSortField(0);
    // cancelled, blank, the default's name, a database failing half way, a control character
    for (const char* name : {"", "   ", " 默认方案 ", "失败", "方案\t1"}) {
        prompter.expectInput(QString::fromUtf8(name));
        if (name == std::string("失败"))
            db.refuseWrites(u"tblprojectOrder"_s, u"insert"_s, u"磁盘已满"_s);
        EXPECT_FALSE(find.saveScheme()) << name;
    }
    find.conditions().setValue(0, u"1"_s + QChar(0));
    EXPECT_FALSE(find.saveScheme());  // refused before a name is asked
    const QString refused =
        u"含有不可见的控制字符(可能是从其他程序粘贴来的),不能保存,请删除后重新输入!"_s;
    EXPECT_EQ(prompter.transcript(),
              u"! 请输入方案名称!\n! 请输入方案名称!\n"
              "! 方案名称不能为默认方案,请输入其他名称!\n"
              "0 "_s +
                  otherin::testing::TestDatabase::refusedWrite(u"磁盘已满"_s) + u"\n! 方案名称"_s +
                  refused + u"\n! 第1行条件的值"_s + refused);
    EXPECT_FALSE(ctx.gConnection.isOpen());
    EXPECT_EQ(stored(), u"1 0 0 max 1"_s);
}

}  // namespace
