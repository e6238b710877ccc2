#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QTest>
#include <memory>

#include "journal/journal_fixture.h"
#include "journal/ui/frm_main_bill_result.h"
#include "journal/ui/frozen_table_view.h"
#include "query/bill_find_controller.h"

using namespace Qt::StringLiterals;

using namespace otherin;
using journal::frmMainBillResult;

namespace {

// Journal columns of the demo layout.
constexpr int kItemCol = 9;

// The journal window over the query of the bills added beforehand.
class JournalWindowTest : public ::testing::Test, protected otherin::testing::JournalFixture {
  protected:
    void show(const journal::JournalWindowHooks& hooks = {}) {
        query.open();
        window = std::make_unique<frmMainBillResult>(ctx, prompter, query, hooks);
        ASSERT_TRUE(query.runQuery(window->model()));
        window->show();
    }
    query::BillFindController query{ctx, prompter};
    std::unique_ptr<frmMainBillResult> window;
};

// The real grid's selection reaches the commands: two bills chosen with Ctrl
// are audited from the toolbar, and the current row stays where it was.
TEST_F(JournalWindowTest, TheGridsSelectionIsWhatTheCommandsTake) {
    addJournalBills(1);
    show();
    QTableView* grid = window->grid();
    const auto click = [&](int row, Qt::KeyboardModifiers keys) {
        const QPoint at = grid->visualRect(grid->model()->index(row, kItemCol)).center();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, keys, at);
    };
    click(2, {});
    click(4, Qt::ControlModifier);
    window->command(u"Check"_s)->trigger();
    EXPECT_EQ(prompter.transcript(), u"i 审核成功!"_s);
    EXPECT_EQ(db.scalar("select group_concat(fstatus) from (select fstatus from icstockbill "
                        "order by finterid) s")
                  .toString(),
              u"1,1,1"_s);
    EXPECT_EQ(grid->currentIndex().row(), 4);
    window->close();
    EXPECT_EQ(ctx.gFromJournal, 0);
}

// Enter opens the current bill, Delete asks naming it, Ctrl+F shows the query, F5 reloads.
TEST_F(JournalWindowTest, KeysRunTheirCommands) {
    addJournalBills();
    QStringList hooked;
    journal::JournalWindowHooks hooks;
    hooks.openEditor = [&] { hooked << u"opened %1"_s.arg(ctx.gCurrentInterId); };
    hooks.showQuery = [&] { hooked << u"query"_s; };
    show(hooks);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTableView* grid = window->grid();
    grid->setFocus();
    grid->setCurrentIndex(window->model().index(4, kItemCol));  // bill 3's second line
    prompter.expectQuestion(entry::Answer::No);
    QTest::keyClick(grid, Qt::Key_Return);
    QTest::keyClick(grid, Qt::Key_Delete);
    QTest::keyClick(grid, Qt::Key_F, Qt::ControlModifier);
    addBill(4, u"QT0004"_s, u"2026-12-05"_s, 0, 1, {{1101, 1, 2}});
    QTest::keyClick(grid, Qt::Key_F5);
    EXPECT_EQ(hooked.join(u", "_s), u"opened 3, query"_s);
    EXPECT_EQ(prompter.transcript(), u"? 确定要删除所选定的单据吗?\n\n单据编号: QT0003"_s);
    EXPECT_EQ(window->model().idList(), u"1,2,3,4"_s);
    EXPECT_EQ(db.scalar("select count(*) from icstockbill").toInt(), 4);
    // The menu names the keys, also of the commands only the toolbar holds.
    QStringList items;
    for (QAction* a : window->editMenu()->actions())
        if (!a->isSeparator()) items << a->text() + QLatin1Char(' ') + a->shortcut().toString();
    for (const QString& item : {u"删除 Del"_s, u"刷新\tF5 "_s, u"过滤\tCtrl+F "_s})
        EXPECT_TRUE(items.contains(item)) << items.join(u'|').toStdString();
}

// A journal opened for the first time fits its columns to what they show, so
// a long item name is not cut off.
TEST_F(JournalWindowTest, AFirstJournalFitsItsColumnsToALongName) {
    const QString name = u"不锈钢六角头螺栓全螺纹A2-70级M12×150mm（盒装五十只）"_s;
    db.exec(u"insert into icitem(fitemid,fNumber,fname) values(1199,'09.001',?)"_s, {name});
    addBill(1, u"QT0001"_s, u"2026-12-02"_s, 0, 1, {{1199, 1, 2}});
    show();
    int column = -1;
    for (int c = 0; c < window->model().columnCount(); ++c)
        if (window->model().text(0, c) == name) column = c;
    ASSERT_GE(column, 0);
    EXPECT_GE(window->grid()->columnWidth(column),
              window->grid()->fontMetrics().horizontalAdvance(name));
}

}  // namespace
