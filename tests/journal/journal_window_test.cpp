#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QTest>

#include "journal/journal_fixture.h"
#include "journal/ui/frm_main_bill_result.h"
#include "journal/ui/frozen_table_view.h"
#include "query/bill_find_controller.h"

using namespace otherin;
using journal::frmMainBillResult;

namespace {

// Journal columns of the demo layout.
constexpr int kItemCol = 9;

// The real grid's selection reaches the commands: two bills chosen with Ctrl
// are audited from the toolbar, and the current row stays where it was.
TEST(JournalWindowTest, TheGridsSelectionIsWhatTheCommandsTake) {
    otherin::testing::JournalFixture f;
    f.addJournalBills(1);
    query::BillFindController query{f.ctx, f.prompter};
    query.open();
    frmMainBillResult window(f.ctx, f.prompter, query, {});
    ASSERT_TRUE(query.runQuery(window.model()));
    window.show();
    QTableView* grid = window.grid();
    const auto click = [&](int row, Qt::KeyboardModifiers keys) {
        const QPoint at = grid->visualRect(grid->model()->index(row, kItemCol)).center();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, keys, at);
    };
    click(2, {});
    click(4, Qt::ControlModifier);
    window.command(QStringLiteral("Check"))->trigger();
    EXPECT_EQ(f.prompter.transcript(), QStringLiteral("i 审核成功!"));
    EXPECT_EQ(f.db.scalar("select group_concat(fstatus) from (select fstatus from icstockbill "
                          "order by finterid) s")
                  .toString(),
              QStringLiteral("1,1,1"));
    EXPECT_EQ(grid->currentIndex().row(), 4);
    window.close();
    EXPECT_EQ(f.ctx.gFromJournal, 0);
}

// Enter opens the current bill, Delete asks naming it, Ctrl+F shows the query, F5 reloads.
TEST(JournalWindowTest, KeysRunTheirCommands) {
    otherin::testing::JournalFixture f;
    f.addJournalBills();
    query::BillFindController query{f.ctx, f.prompter};
    query.open();
    QStringList hooked;
    journal::JournalWindowHooks hooks;
    hooks.openEditor = [&] { hooked << QStringLiteral("opened %1").arg(f.ctx.gCurrentInterId); };
    hooks.showQuery = [&] { hooked << QStringLiteral("query"); };
    frmMainBillResult window(f.ctx, f.prompter, query, hooks);
    ASSERT_TRUE(query.runQuery(window.model()));
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTableView* grid = window.grid();
    grid->setFocus();
    grid->setCurrentIndex(window.model().index(4, kItemCol));  // bill 3's second line
    f.prompter.expectQuestion(entry::Answer::No);
    QTest::keyClick(grid, Qt::Key_Return);
    QTest::keyClick(grid, Qt::Key_Delete);
    QTest::keyClick(grid, Qt::Key_F, Qt::ControlModifier);
    f.addBill(4, QStringLiteral("QT0004"), QStringLiteral("2026-12-05"), 0, 1, {{1101, 1, 2}});
    QTest::keyClick(grid, Qt::Key_F5);
    EXPECT_EQ(hooked.join(QStringLiteral(", ")), QStringLiteral("opened 3, query"));
    EXPECT_EQ(f.prompter.transcript(),
              QStringLiteral("? 确定要删除所选定的单据吗?\n\n单据编号: QT0003"));
    EXPECT_EQ(window.model().idList(), QStringLiteral("1,2,3,4"));
    EXPECT_EQ(f.db.scalar("select count(*) from icstockbill").toInt(), 4);
    // The menu names the keys, also of the commands only the toolbar holds.
    QStringList items;
    for (QAction* a : window.editMenu()->actions())
        if (!a->isSeparator()) items << a->text() + QLatin1Char(' ') + a->shortcut().toString();
    EXPECT_TRUE(items.contains(QStringLiteral("删除 Del"))) << items.join(u'|').toStdString();
    EXPECT_TRUE(items.contains(QStringLiteral("刷新\tF5 "))) << items.join(u'|').toStdString();
    EXPECT_TRUE(items.contains(QStringLiteral("过滤\tCtrl+F "))) << items.join(u'|').toStdString();
}

// A journal opened for the first time fits its columns to what they show, so
// a long item name is not cut off.
TEST(JournalWindowTest, AFirstJournalFitsItsColumnsToALongName) {
    otherin::testing::JournalFixture f;
    const QString name = QStringLiteral("不锈钢六角头螺栓全螺纹A2-70级M12×150mm（盒装五十只）");
    f.db.exec(QStringLiteral("insert into icitem(fitemid,fNumber,fname) values(1199,'09.001',?)"),
              {name});
    f.addBill(1, QStringLiteral("QT0001"), QStringLiteral("2026-12-02"), 0, 1, {{1199, 1, 2}});
    query::BillFindController query{f.ctx, f.prompter};
    query.open();
    frmMainBillResult window(f.ctx, f.prompter, query, {});
    ASSERT_TRUE(query.runQuery(window.model()));
    window.show();
    int column = -1;
    for (int c = 0; c < window.model().columnCount(); ++c)
        if (window.model().text(0, c) == name) column = c;
    ASSERT_GE(column, 0);
    EXPECT_GE(window.grid()->columnWidth(column),
              window.grid()->fontMetrics().horizontalAdvance(name));
}

}  // namespace
