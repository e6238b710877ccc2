#include <gtest/gtest.h>

#include <QAction>
#include <QFileInfo>
#include <QHeaderView>
#include <QImage>
#include <QTemporaryDir>
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
constexpr int kDateCol = 3;
constexpr int kBillNoCol = 4;
constexpr int kItemCol = 9;
constexpr int kNoteCol = 18;

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
        hooks.openEditor = [this] {
            opened << ctx.gCurrentInterId;
            modes << ctx.gEditMode;
        };
        hooks.showQuery = [this] { ++queries; };
        auto window = std::make_unique<frmMainBillResult>(ctx, prompter, query, hooks);
        EXPECT_TRUE(query.runQuery(window->model()));
        window->show();
        // Shortcuts only reach the active window.
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        return window;
    }

    int storedWidth(int type, int column) {
        return db
            .scalar(QStringLiteral("select fwidth from t_QV_tableinfo where "
                                   "ftablename='frmMainBillResult7CC' and ftype=? and fsequence=?"),
                    {type, column})
            .toInt();
    }

    QPoint cellCentre(QTableView* view, int row, int column) {
        return view->visualRect(view->model()->index(row, column)).center();
    }

    query::BillFindController query{ctx, prompter};
    QList<qint32> opened;
    QList<int> modes;
    int queries = 0;
};

TEST_F(JournalWindowTest, ColumnWidthsLeftAtCloseComeBackAtTheNextShowing) {
    auto window = openJournal();
    QTableView* grid = window->grid();
    const int columns = window->model().columnCount();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("其它入库单序时簿"));
    EXPECT_TRUE(window->statusText().startsWith(QStringLiteral("共计:3张单据,5条记录(")));
    for (int c = 0; c < 3; ++c) EXPECT_TRUE(grid->isColumnHidden(c));
    // The first showing ever stores the designed widths as the defaults.
    EXPECT_EQ(
        db.scalar(QStringLiteral("select count(*) from t_QV_tableinfo where ftype=0")).toInt(),
        columns);
    const int designed = grid->columnWidth(kItemCol);
    EXPECT_EQ(storedWidth(0, kItemCol), designed * 15);

    grid->setColumnWidth(kItemCol, designed + 57);
    window->close();
    EXPECT_EQ(storedWidth(1, kItemCol), (designed + 57) * 15);
    EXPECT_EQ(ctx.gFromJournal, 0);

    window = openJournal();
    grid = window->grid();
    EXPECT_EQ(grid->columnWidth(kItemCol), designed + 57);

    // F5 reloads: the widths stay and so does the current row.
    addBill(4, "2026-12-05", 0, {{1101, 1}});
    grid->setFocus();
    grid->setCurrentIndex(window->model().index(3, kItemCol));
    QTest::keyClick(grid, Qt::Key_F5);
    EXPECT_EQ(window->model().lineCount(), 6);
    EXPECT_EQ(grid->currentIndex().row(), 3);
    EXPECT_EQ(grid->columnWidth(kItemCol), designed + 57);

    window->command(QStringLiteral("MenuRestoreColWidth"))->trigger();
    EXPECT_EQ(grid->columnWidth(kItemCol), designed);
    window->close();
}

TEST_F(JournalWindowTest, LockedColumnsStayInPlaceAndAreKeptInSetupInfo) {
    auto window = openJournal();
    EXPECT_EQ(window->lockedColumns(), 0);
    EXPECT_FALSE(window->grid()->frozenView()->isVisible());

    prompter.expectInput(QStringLiteral("2"));
    window->command(QStringLiteral("MenuLockCols"))->trigger();
    EXPECT_EQ(window->lockedColumns(), 2);
    QTableView* frozen = window->grid()->frozenView();
    EXPECT_TRUE(frozen->isVisible());
    for (int c = 0; c < window->model().columnCount(); ++c) {
        EXPECT_EQ(frozen->isColumnHidden(c), c != kDateCol && c != kBillNoCol) << c;
    }
    EXPECT_EQ(frozen->width(),
              window->grid()->columnWidth(kDateCol) + window->grid()->columnWidth(kBillNoCol));
    // The frozen part moves up and down with the grid.
    window->grid()->setTopRow(2);
    EXPECT_EQ(frozen->rowAt(0), window->grid()->topRow());

    // Not a number: nothing changes.
    prompter.expectInput(QStringLiteral("x"));
    window->command(QStringLiteral("MenuLockCols"))->trigger();
    EXPECT_EQ(window->lockedColumns(), 2);
    window->close();

    window = openJournal();
    EXPECT_EQ(window->lockedColumns(), 2);
    EXPECT_TRUE(window->grid()->frozenView()->isVisible());
    window->close();
}

TEST_F(JournalWindowTest, KeysMouseAndMenusReachTheCommands) {
    auto window = openJournal();
    QTableView* grid = window->grid();
    grid->setFocus();

    // Enter opens the current bill; a double click on the totals row nothing.
    grid->setCurrentIndex(window->model().index(2, kItemCol));
    QTest::keyClick(grid, Qt::Key_Return);
    EXPECT_EQ(opened, (QList<qint32>{2}));
    EXPECT_EQ(modes, (QList<int>{1}));
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
}

TEST_F(JournalWindowTest, RowsArePaintedInTheirColoursWithALineAboveEachBill) {
    auto window = openJournal();
    QTableView* grid = window->grid();
    const QImage image = grid->viewport()->grab().toImage();
    auto pixel = [&](int row, int dy) {
        const QRect r = grid->visualRect(window->model().index(row, kNoteCol));
        return image.pixelColor(r.center().x(), r.top() + dy).rgb() & 0xFFFFFF;
    };
    // Row 0 is selected; bill 1 (audited) is ivory on its second line.
    EXPECT_EQ(pixel(1, 5), 0xFFFFF0u);
    EXPECT_EQ(pixel(1, 0), 0xFFFFF0u);  // no line inside a bill
    EXPECT_EQ(pixel(2, 5), 0xF0FFFFu);
    EXPECT_EQ(pixel(2, 0), 0xA2A2A2u);  // bill 2 starts
    EXPECT_EQ(pixel(5, 5), 0xE8E896u);  // totals
    window->close();
}

TEST_F(JournalWindowTest, PriceEditingLeavesOnlyOpeningAndTheListsOwnCommands) {
    ctx.gEntryKind = 3;
    auto window = openJournal();
    for (const char* off :
         {"New", "Delete", "Check", "MenuEditAdd", "MenuEditDelete", "MenuEditCheck",
          "MenuEditUnCheck", "MenuEditCancel", "MenuEditUnCancel", "MenuSplitBill",
          "MenuRestoreBill", "MenuHXBill", "MenuUnHXBill"}) {
        EXPECT_FALSE(window->command(QLatin1String(off))->isEnabled()) << off;
    }
    for (const char* on :
         {"Update", "MenuEditUpdate", "Refresh", "Filter", "MenuLockCols", "MenuExcel"}) {
        EXPECT_TRUE(window->command(QLatin1String(on))->isEnabled()) << on;
    }
    // The export writes the listed lines.
    QTemporaryDir out;
    const QString workbook = out.filePath(QStringLiteral("journal.xlsx"));
    prompter.expectFileName(workbook);
    window->command(QStringLiteral("MenuExcel"))->trigger();
    EXPECT_GT(QFileInfo(workbook).size(), 0);

    window->grid()->setFocus();
    window->grid()->setCurrentIndex(window->model().index(3, kItemCol));
    QTest::keyClick(window->grid(), Qt::Key_Return);
    EXPECT_EQ(modes, (QList<int>{4}));
    window->close();
}

}  // namespace
