#include <QAbstractItemModelTester>

#include "editor/stock_query.h"
#include "editor/ui/stock_query_window.h"
#include "editor_fixture.h"

using namespace otherin;
using namespace otherin::editor;
using otherin::testing::EditorTest;

using namespace Qt::StringLiterals;

namespace {

class RecordingStockViewer : public entry::StockQueryViewer {
  public:
    void show(const QString& condition, int kind) override {
        conditions << condition;
        kinds << kind;
    }
    QStringList conditions;
    QList<int> kinds;
};

class StockQueryTest : public EditorTest {
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

TEST_F(StockQueryTest, CommandNarrowsByWarehouseAndActiveItem) {
    open();
    RecordingStockViewer viewer;
    HeaderField& warehouse = *form->headerField(3);
    warehouse.text = u"原材料仓"_s;
    warehouse.code = u"01"_s;
    grid().setCell(form->columns.itemCode, 2, u" 01.001 "_s, u"1101"_s, u"01.001"_s);

    ASSERT_TRUE(stockQueryCommand(ctx, prompter, *form, true, 2, viewer));
    ASSERT_TRUE(stockQueryCommand(ctx, prompter, *form, false, 2, viewer));
    warehouse.text.clear();
    ASSERT_TRUE(stockQueryCommand(ctx, prompter, *form, false, 2, viewer));
    EXPECT_EQ(viewer.conditions, (QStringList{u" and fItemNumber like '%01.001%'  and fStockNumber "
                                              "like  '%01%' "_s,
                                              u" and fStockNumber like  '%01%' "_s, QString()}));
    EXPECT_EQ(viewer.kinds, (QList<int>{1, 1, 1}));
    EXPECT_TRUE(prompter.messages().empty());

    // 李四 holds no R10.
    ctx.IsAdmin = 0;
    ctx.gLoginUserId = u"3"_s;
    EXPECT_FALSE(stockQueryCommand(ctx, prompter, *form, true, 2, viewer));
    EXPECT_EQ(prompter.lastText(),
              u"您无此权限！不能查询即时库存（权限R10），请与系统管理员联系"_s);
    EXPECT_EQ(viewer.conditions.size(), 3);
}

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
