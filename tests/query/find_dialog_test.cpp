#include <gtest/gtest.h>

#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "query/journal_model.h"
#include "query/query_fixture.h"
#include "query/ui/condition_view.h"
#include "query/ui/frm_main_bill_find.h"

using namespace otherin;
using namespace otherin::query;

namespace {

// The journal as the dialog sees it; showing it does not block.
class FakeJournal : public ResultWindow {
  public:
    JournalModel& model() override { return model_; }
    bool isShowing() const override { return showing; }
    void showModal() override {
        ++shown;
        showing = true;
    }
    bool showing = false;
    int shown = 0;

  private:
    JournalModel model_;
};

class FindDialogTest : public ::testing::Test, protected otherin::testing::QueryFixture {
  protected:
    void SetUp() override {
        addBill(1, "QT0001", "2026-03-02", 1, 2, {{1101, 10, 2.5}, {1102, 1.5, 4}});
        addBill(2, "QT0002", "2026-03-03", 0, 3, {{1103, 2, 1000}});
        addBill(3, "QT0003", "2026-02-27", 0, 3, {{1104, 0.2, 1}});  // another period
        dialog.setResultWindowFactory([this](BillFindController&) {
            auto made = std::make_unique<FakeJournal>();
            journal = made.get();
            return made;
        });
        dialog.prepare();
        dialog.show();
    }

    // Chooses `text` in the drop-down of a condition cell, as the user does.
    void choose(int row, int column, const QString& text) {
        ConditionView* view = dialog.conditionView();
        const QModelIndex index = view->model()->index(row, column);
        QWidget* editor = view->itemDelegate()->createEditor(view->viewport(), {}, index);
        auto* box = qobject_cast<QComboBox*>(editor);
        ASSERT_NE(box, nullptr);
        view->itemDelegate()->setEditorData(box, index);
        box->setCurrentIndex(box->findText(text));
        ASSERT_GE(box->currentIndex(), 0) << text.toStdString();
        view->itemDelegate()->setModelData(box, view->model(), index);
        delete editor;
    }

    otherin::testing::FakeSelectors selectors;
    frmMainBillFind dialog{ctx, prompter, selectors.ports()};
    FakeJournal* journal = nullptr;
};

TEST_F(FindDialogTest, OkFillsTheJournalFromTheDefaultsAndHidesTheDialog) {
    ASSERT_EQ(dialog.schemeList()->count(), 1);
    EXPECT_EQ(dialog.schemeList()->item(0)->text(), QStringLiteral("默认方案"));
    EXPECT_EQ(dialog.filterBox(QuickFilters::DateRange)->currentText(), QStringLiteral("本期"));
    EXPECT_EQ(dialog.filterBox(QuickFilters::Void)->currentText(), QStringLiteral("正常"));

    // Enter anywhere is OK.
    QTest::keyClick(dialog.conditionView(), Qt::Key_Return);
    ASSERT_NE(journal, nullptr);
    EXPECT_EQ(journal->shown, 1);
    EXPECT_FALSE(dialog.isVisible());
    JournalModel& lines = journal->model();
    EXPECT_EQ(lines.lineCount(), 3);
    EXPECT_TRUE(lines.isTotalsRow(3));
    EXPECT_EQ(lines.text(3, JournalModel::kTotalsLabelColumn), QStringLiteral("合计"));
    EXPECT_TRUE(lines.statusText().startsWith(QStringLiteral("共计:2张单据,3条记录(")));

    // A filter changed in its box narrows the next query; the journal that
    // is up is reloaded, not shown again.
    dialog.show();
    dialog.filterBox(QuickFilters::Audit)
        ->setCurrentIndex(
            dialog.filterBox(QuickFilters::Audit)->findText(QStringLiteral("未审核")));
    dialog.ok();
    EXPECT_EQ(journal->shown, 1);
    EXPECT_EQ(lines.idList(), QStringLiteral("2"));
}

TEST_F(FindDialogTest, ConditionsAreChosenInTheGridAndPickedWithF7) {
    ConditionView* view = dialog.conditionView();
    ConditionGrid& grid = dialog.controller().conditions();
    for (int c = 0; c < ConditionGrid::ColumnCount; ++c) {
        EXPECT_EQ(view->isColumnHidden(c), ConditionGrid::isColumnHidden(c)) << c;
    }

    // Leaving an incomplete row downwards is refused and said below the grid.
    view->setFocus();
    view->setCurrentIndex(grid.index(0, ConditionGrid::Title));
    QTest::keyClick(view, Qt::Key_Down);
    EXPECT_EQ(view->currentIndex().row(), 0);
    EXPECT_FALSE(dialog.hintLabel()->text().isEmpty());

    choose(0, ConditionGrid::Title, QStringLiteral("收料仓库"));
    EXPECT_EQ(grid.cell(0, ConditionGrid::FieldName), QStringLiteral("fStockName"));
    choose(0, ConditionGrid::Operator, QStringLiteral("等于"));
    EXPECT_EQ(grid.cell(0, ConditionGrid::OperatorSql), QStringLiteral("="));
    // Closing the field's drop-down on the same field keeps the operator.
    choose(0, ConditionGrid::Title, QStringLiteral("收料仓库"));
    EXPECT_EQ(grid.cell(0, ConditionGrid::Operator), QStringLiteral("等于"));

    // F7 on the row asks the record selector for a warehouse; the field
    // takes its name.
    view->setCurrentIndex(grid.index(0, ConditionGrid::Value));
    QTest::keyClick(view, Qt::Key_F7);
    EXPECT_EQ(selectors.calls, QStringList{QStringLiteral("record:5")});
    EXPECT_EQ(grid.cell(0, ConditionGrid::Value), QStringLiteral("原材料仓"));

    QTest::keyClick(view, Qt::Key_Down);
    EXPECT_EQ(view->currentIndex().row(), 1);

    // A typed value goes through the row's own editor.
    choose(1, ConditionGrid::Connector, QStringLiteral("与"));
    choose(1, ConditionGrid::Title, QStringLiteral("单据编号"));
    choose(1, ConditionGrid::Operator, QStringLiteral("不等于"));
    const QModelIndex value = grid.index(1, ConditionGrid::Value);
    QWidget* editor = view->itemDelegate()->createEditor(view->viewport(), {}, value);
    auto* text = qobject_cast<QLineEdit*>(editor);
    ASSERT_NE(text, nullptr);
    text->setText(QStringLiteral("QT0001"));
    view->itemDelegate()->setModelData(text, &grid, value);
    delete editor;

    dialog.ok();
    ASSERT_NE(journal, nullptr);
    EXPECT_EQ(journal->model().idList(), QStringLiteral("2"));

    // Clearing empties the grid and puts the cursor on the first row.
    dialog.findChild<QPushButton*>(QStringLiteral("clearConditions"))->click();
    EXPECT_EQ(grid.lastDataRow(), -1);
    EXPECT_EQ(view->currentIndex().row(), 0);
}

TEST_F(FindDialogTest, ATypedNumberWithLettersIsRefusedNotShortened) {
    ConditionView* view = dialog.conditionView();
    ConditionGrid& grid = dialog.controller().conditions();
    choose(0, ConditionGrid::Title, QStringLiteral("数量"));
    choose(0, ConditionGrid::Operator, QStringLiteral("等于"));
    const QModelIndex value = grid.index(0, ConditionGrid::Value);
    const auto type = [&](const QString& keys) -> bool {
        view->setFocus();
        view->setCurrentIndex(value);
        QTest::keyClick(view, Qt::Key_F2);
        auto* edit = qobject_cast<QLineEdit*>(view->indexWidget(value));
        if (!edit) return false;
        edit->selectAll();
        QTest::keyClicks(edit, keys);
        QTest::keyClick(edit, Qt::Key_Return);
        QCoreApplication::processEvents();  // the editor commits after the key
        return true;
    };
    const auto drawnInRed = [&] {
        const QImage cell = view->viewport()->grab(view->visualRect(value)).toImage();
        for (int y = 0; y < cell.height(); ++y) {
            for (int x = 0; x < cell.width(); ++x) {
                const QColor c = cell.pixelColor(x, y);
                if (c.red() > 200 && c.green() < 80 && c.blue() < 80) return true;
            }
        }
        return false;
    };
    const QString refusal =
        QStringLiteral("第1行条件的数值\"5x or 1=1\"不是有效的数字,请重新输入!");

    // The cell keeps what was typed and says why it cannot be queried; OK
    // tells it and leaves the dialog up.
    ASSERT_TRUE(type(QStringLiteral("5x or 1=1")));
    EXPECT_EQ(grid.cell(0, ConditionGrid::Value), QStringLiteral("5x or 1=1"));
    EXPECT_EQ(value.data(Qt::ToolTipRole).toString(), refusal);
    EXPECT_TRUE(drawnInRed());
    dialog.ok();
    EXPECT_TRUE(prompter.onlyMessage(refusal, entry::Icon::Exclamation));
    ASSERT_NE(journal, nullptr);
    EXPECT_EQ(journal->shown, 0);
    EXPECT_TRUE(dialog.isVisible());

    ASSERT_TRUE(type(QStringLiteral("1.5")));
    EXPECT_EQ(value.data(Qt::ToolTipRole).toString(), QString());
    EXPECT_FALSE(drawnInRed());
    dialog.ok();
    EXPECT_EQ(journal->shown, 1);
    EXPECT_EQ(journal->model().idList(), QStringLiteral("1"));
}

TEST_F(FindDialogTest, SortFieldsAreAddedFromTheTitleListAndMoved) {
    QListWidget* titles = dialog.sortTitleList();
    ASSERT_GT(titles->count(), 2);
    titles->setCurrentRow(1);  // 日期
    dialog.findChild<QPushButton*>(QStringLiteral("addSort"))->click();
    titles->setCurrentRow(0);  // 单据编号
    dialog.findChild<QPushButton*>(QStringLiteral("addSort"))->click();
    SortGrid& sort = dialog.controller().sortFields();
    EXPECT_EQ(sort.cell(1, SortGrid::FieldName), QStringLiteral("fbillno"));

    dialog.sortView()->setCurrentIndex(sort.index(1, SortGrid::Title));
    dialog.findChild<QPushButton*>(QStringLiteral("sortUp"))->click();
    EXPECT_EQ(sort.cell(0, SortGrid::FieldName), QStringLiteral("fbillno"));
    EXPECT_EQ(dialog.sortView()->currentIndex().row(), 0);
    EXPECT_EQ(dialog.controller().orderSQL(), QStringLiteral(" order by  fbillno,fdate"));
}

}  // namespace
