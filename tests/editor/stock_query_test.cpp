#include <QAbstractItemModelTester>

#include "editor/stock_query.h"
#include "editor/ui/stock_query_window.h"
#include "session_fixture.h"

using namespace otherin;
using namespace otherin::editor;

using namespace Qt::StringLiterals;

namespace {

class StockQueryTest : public otherin::testing::SessionTest {
  protected:
    void SetUp() override {
        db.execAll(
            {u"insert into icitem(fitemid,fNumber,fname) "
             "values(1199,'QX''01','引号物料')"_s,
             u"insert into tblTimeStock(fstockid,fitemid,funitid,fbatchno,"
             "fStockPlace,fqty,famount) values(501,1101,704,'B1',801,2.5,14.5),"
             "(502,1121,701,'',0,10,2.5),(501,1199,701,'',0,1,1)"_s});
    }
};

// The window reads back only the conditions the command writes, quotes in
// codes included; any other text is refused before anything runs.
TEST_F(StockQueryTest, WindowShowsTheFilteredLedgerAndRefusesForeignText) {
    StockQueryWindow window(ctx, prompter);
    QAbstractItemModelTester tester(&window.model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    const QAbstractItemModel& m = window.model();
    ASSERT_TRUE(window.load(stockCondition(StockFilter::containing({}, u"01"_s))));
    ASSERT_EQ(m.rowCount(), 2);
    EXPECT_EQ(m.index(0, 2).data().toString(), u"01.001"_s);
    QStringList shown;
    for (int c : {1, 5, 7, 8}) shown << m.index(0, c).data().toString();
    EXPECT_EQ(shown.join(u'|'), u"原材料仓|千克|A区01号货架|2.5"_s);
    ASSERT_TRUE(window.load(stockCondition(StockFilter::containing(u"QX'01"_s, {}))));
    ASSERT_EQ(m.rowCount(), 1);
    EXPECT_EQ(m.index(0, 3).data().toString(), u"引号物料"_s);
    ASSERT_TRUE(window.load(stockCondition(StockFilter::containing(u"x' or '1'='1"_s, {}))));
    EXPECT_EQ(m.rowCount(), 0);
    EXPECT_TRUE(prompter.messages().empty());

    for (const char* text :
         {" and 1=1; delete from tblTimeStock", " and fItemNumber like '%a%' or 1=1",
          " and fItemNumber = 'a'", " and fItemName like 'a'", " and fItemNumber like 'a",
          " and fItemNumber like 'a' and fItemNumber like 'b'"}) {
        prompter.clear();
        EXPECT_FALSE(window.load(QString::fromUtf8(text))) << text;
        EXPECT_TRUE(prompter.onlyMessage(u"库存查询条件无效: "_s + QString::fromUtf8(text),
                                         entry::Icon::Critical));
    }
    EXPECT_EQ(db.scalar(u"select count(*) from tblTimeStock"_s).toInt(), 3);
    EXPECT_FALSE(ctx.gConnection.isOpen());
}

}  // namespace
