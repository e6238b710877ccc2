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
        hooks.showQuery = [this] { ++queries; };
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
    int queries = 0;
};

TEST_F(JournalWindowTest, KeysMouseAndMenusReachTheCommands) {
    auto window = openJournal();
    QTableView* grid = window->grid();
    grid->setFocus();

    // Enter opens the current bill; a double click on the totals row nothing.
    grid->setCurrentIndex(window->model().index(2, kItemCol));
    QTest::keyClick(grid, Qt::Key_Return);
    EXPECT_EQ(opened, (QList<qint32>{2}));
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(grid, 5, kItemCol));
    EXPECT_EQ(opened.size(), 1);

    // Delete asks first.
    grid->setCurrentIndex(window->model().index(2, kItemCol));
    prompter.expectQuestion(entry::Answer::No);
    QTest::keyClick(grid, Qt::Key_Delete);
    ASSERT_EQ(prompter.questions().size(), 1u);
    EXPECT_EQ(prompter.questions()[0].text,
              QStringLiteral("确定要删除所选定的单据吗?\n\n单据编号: QT0002"));
    EXPECT_EQ(billCount(), 3);

    // Two bills chosen with Ctrl, audited from the toolbar.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(grid, 2, kItemCol));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      cellCentre(grid, 4, kItemCol));
    window->command(QStringLiteral("Check"))->trigger();
    EXPECT_EQ(prompter.lastText(), QStringLiteral("审核成功!"));
    EXPECT_EQ(status(2), 1);
    EXPECT_EQ(status(3), 1);
    EXPECT_EQ(grid->currentIndex().row(), 4);

    // Filter (Ctrl+F) shows the query dialog and comes back to the row.
    QTest::keyClick(grid, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(queries, 1);
    EXPECT_EQ(grid->currentIndex().row(), 4);
    window->close();
    EXPECT_EQ(ctx.gFromJournal, 0);
}

}  // namespace
