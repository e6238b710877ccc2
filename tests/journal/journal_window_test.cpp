#include <gtest/gtest.h>

#include <QAction>
#include <QTest>
#include <memory>

#include "journal/journal_fixture.h"
#include "journal/ui/frm_main_bill_result.h"
#include "journal/ui/frozen_table_view.h"
#include "query/bill_find_controller.h"

using namespace otherin;
using journal::frmMainBillResult;

namespace {

// Journal columns of the demo layout.
constexpr int kItemCol = 9;

class JournalWindowTest : public ::testing::Test, protected otherin::testing::JournalFixture {
  protected:
    void SetUp() override {
        addBill(1, "2026-12-02", 1, {{1101, 5}, {1102, 3}});
        addBill(2, "2026-12-03", 0, {{1101, 2}});
        addBill(3, "2026-12-04", 0, {{1103, 1}, {1104, 1}});
        query.open();
    }

    // As the query dialog's OK does: load, then show.
    std::unique_ptr<frmMainBillResult> openJournal() {
        journal::JournalWindowHooks hooks;
        hooks.openEditor = [this] { opened << ctx.gCurrentInterId; };
        auto window = std::make_unique<frmMainBillResult>(ctx, prompter, query, hooks);
        EXPECT_TRUE(query.runQuery(window->model()));
        window->show();
        // Shortcuts only reach the active window.
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        return window;
    }

    QPoint cellCentre(QTableView* view, int row, int column) {
        return view->visualRect(view->model()->index(row, column)).center();
    }

    query::BillFindController query{ctx, prompter};
    QList<qint32> opened;
};

// The real grid's selection reaches the commands: two bills chosen with Ctrl
// are audited from the toolbar, and the current row stays where it was.
TEST_F(JournalWindowTest, TheGridsSelectionIsWhatTheCommandsTake) {
    auto window = openJournal();
    QTableView* grid = window->grid();
    grid->setFocus();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(grid, 2, kItemCol));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      cellCentre(grid, 4, kItemCol));
    window->command(QStringLiteral("Check"))->trigger();
    EXPECT_EQ(prompter.transcript(), QStringLiteral("i 审核成功!"));
    EXPECT_EQ(db.scalar("select group_concat(fstatus) from (select fstatus from icstockbill "
                        "order by finterid) s")
                  .toString(),
              QStringLiteral("1,1,1"));
    EXPECT_EQ(grid->currentIndex().row(), 4);

    // Enter opens the current bill; closing the window leaves the journal.
    QTest::keyClick(grid, Qt::Key_Return);
    EXPECT_EQ(opened, (QList<qint32>{3}));
    window->close();
    EXPECT_EQ(ctx.gFromJournal, 0);
}

}  // namespace
