#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "entry/login_context.h"
#include "entry/ui/selector_dialogs.h"
#include "stock/ui/batch_picker_window.h"
#include "support/scripted_prompter.h"
#include "support/test_database.h"

using namespace otherin;
using otherin::entry::RecordSelectorDialog;
using otherin::entry::RecordSelectorInput;
using otherin::entry::SelectorDialog;
using otherin::testing::ScriptedPrompter;
using otherin::testing::TestDatabase;

namespace {

QStringList codes(SelectorDialog& dialog) {
    QStringList list;
    for (int row = 0; row < dialog.model().rowCount(); ++row) {
        list << dialog.model().recordAt(row).code;
    }
    return list;
}

void selectRows(QTableView* view, std::initializer_list<int> rows) {
    view->selectionModel()->clearSelection();
    for (int row : rows) {
        view->selectionModel()->select(view->model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

class SelectorUiTest : public ::testing::Test {
  protected:
    RecordSelectorInput itemInput(const char* typed) const {
        RecordSelectorInput input;
        input.accessCode = QString::fromLatin1(entry::kRecordSelectorCode);
        input.connectionString = db_.connectionString();
        input.seekItem = QStringLiteral("fNumber");
        input.typed = QString::fromUtf8(typed);
        input.userId = QStringLiteral("2");
        return input;
    }
    int itemInputRows(int userId) {
        return db_
            .scalar(QStringLiteral("select count(*) from tblItemInput where fuserid=?"), {userId})
            .toInt();
    }

    TestDatabase db_{TestDatabase::Seed::Demo};
    ScriptedPrompter prompter_;
    const QString title_ = QStringLiteral("标题");
};

TEST_F(SelectorUiTest, RecordSelectorListsUnlockedMatchesAndOkTakesTheChosenOneCancelNothing) {
    RecordSelectorDialog dialog(itemInput("螺栓"), true, prompter_, title_);
    ASSERT_TRUE(dialog.load());
    EXPECT_EQ(codes(dialog), (QStringList{"02.001", "02.002", "02.008"}));
    // Locked items are not offered; the search narrows by code or name, not model.
    dialog.searchBox()->setText(QStringLiteral("01.02"));
    EXPECT_TRUE(codes(dialog).isEmpty());
    dialog.searchBox()->setText(QStringLiteral("KGC"));
    EXPECT_TRUE(codes(dialog).isEmpty());
    dialog.searchBox()->setText(QStringLiteral("铜芯"));
    ASSERT_EQ(dialog.model().rowCount(), 2);

    dialog.show();
    QTest::keyClick(dialog.searchBox(), Qt::Key_Down);
    QTest::mouseClick(dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                      Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.answer().code, QStringLiteral("01.010"));
    EXPECT_EQ(itemInputRows(2), 0);  // a single choice writes nothing

    RecordSelectorDialog cancelled(itemInput("螺栓"), true, prompter_, title_);
    ASSERT_TRUE(cancelled.load());
    cancelled.show();
    QTest::mouseClick(cancelled.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel),
                      Qt::LeftButton);
    EXPECT_EQ(cancelled.result(), QDialog::Rejected);
    EXPECT_FALSE(cancelled.answer().chosen());
    EXPECT_TRUE(prompter_.messages().empty());
}

TEST_F(SelectorUiTest, SeveralItemsAreWrittenForTheUserAndAnswerMinusOne) {
    db_.exec(
        QStringLiteral("insert into tblItemInput(fuserid,fitemid,fstockid,funitid,fqty)"
                       " values(2,1101,501,704,5),(3,1101,501,704,7)"));
    RecordSelectorDialog dialog(itemInput("螺栓"), true, prompter_, title_);
    ASSERT_TRUE(dialog.load());
    selectRows(dialog.view(), {0, 1, 2});
    dialog.accept();
    EXPECT_EQ(dialog.answer().key, QStringLiteral("-1"));
    EXPECT_TRUE(dialog.answer().manyItems());
    EXPECT_EQ(itemInputRows(3), 1);  // another user's rows stay
    // Each row takes the item's default warehouse and unit, quantity 0; the
    // user's earlier rows are gone.
    EXPECT_EQ(itemInputRows(2), 3);
    EXPECT_EQ(db_.scalar(QStringLiteral("select count(*) from tblItemInput where fuserid=2 and"
                                        " fitemid in (1121,1122,1128) and fstockid=502 and"
                                        " funitid=701 and fqty=0"))
                  .toInt(),
              3);

    // Without a place to write them to, only one item can be chosen.
    RecordSelectorInput noUser = itemInput("螺栓");
    noUser.userId.clear();
    RecordSelectorDialog single(noUser, true, prompter_, title_);
    EXPECT_EQ(single.view()->selectionMode(), QAbstractItemView::SingleSelection);
}

TEST_F(SelectorUiTest, ItemsBySoughtColumnOtherClassesByUnlockedLeavesUnitsByGroup) {
    RecordSelectorInput byModel = itemInput("kgc");
    byModel.seekItem = QStringLiteral("fModel");
    RecordSelectorDialog models(byModel, true, prompter_, title_);
    ASSERT_TRUE(models.load());
    EXPECT_EQ(codes(models), (QStringList{"04.001", "04.002"}));

    db_.exec(
        QStringLiteral("insert into tblItem(fitemid,fitemclassid,fNumber,fname,fParentId,"
                       "fisdetail,fislock) values(505,5,'05','旧仓',0,1,1),"
                       "(506,5,'06','仓库组',0,0,0),(507,5,'07','外仓',0,1,NULL)"));
    RecordSelectorInput stocks;
    stocks.connectionString = db_.connectionString();
    stocks.itemClass = QStringLiteral("5");
    RecordSelectorDialog warehouses(stocks, false, prompter_, title_);
    ASSERT_TRUE(warehouses.load());
    EXPECT_EQ(codes(warehouses), (QStringList{"01", "02", "03", "04", "07"}));
    selectRows(warehouses.view(), {0, 1});  // one choice only outside items
    warehouses.accept();
    EXPECT_EQ(warehouses.answer().key, QStringLiteral("501"));

    entry::UnitSelectorInput unitInput;
    unitInput.connectionString = db_.connectionString();
    unitInput.unitGroup = 601;
    entry::UnitSelectorDialog units(unitInput, prompter_, title_);
    ASSERT_TRUE(units.load());
    EXPECT_EQ(codes(units), (QStringList{"BOX", "CTN", "PCS"}));
    selectRows(units.view(), {2});
    units.accept();
    EXPECT_EQ(units.answer().key, QStringLiteral("701"));
}

TEST_F(SelectorUiTest, FailedReadIsReportedAndListsNothing) {
    TestDatabase empty;
    empty.exec(QStringLiteral("drop view vGOtherIn"));  // the server keeps a view's tables
    empty.exec(QStringLiteral("drop table icitem"));
    RecordSelectorInput broken = itemInput("");
    broken.connectionString = empty.connectionString();
    RecordSelectorDialog failing(broken, true, prompter_, title_);
    EXPECT_FALSE(failing.load());
    ASSERT_EQ(prompter_.messages().size(), 1u);
    EXPECT_EQ(prompter_.messages()[0].icon, entry::Icon::Critical);
    EXPECT_EQ(failing.model().rowCount(), 0);
}

// Item 1101 holds B1 in two warehouses (one row below zero, in tonnes), B2,
// and an emptied B0; a stale pick waits to be forgotten.
class BatchPickerWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        db_.exec(QStringLiteral(
            "insert into tblTimeStock(fstockid,fitemid,funitid,fbatchno,fStockPlace,fqty,famount)"
            " values(501,1101,704,'B2',0,10,25),(501,1101,704,'B1',0,4,2),"
            "(502,1101,705,'B1',801,-2,-5),(503,1101,704,'B0',0,0,0)"));
        ctx_.DBConnectionString = db_.connectionString();
        ctx_.batchItemId = QStringLiteral("1101");
        ctx_.pickedBatch = QStringLiteral("stale");
    }
    // "batch unit quantity unitCost" of each row shown.
    QStringList rows(stock::BatchPickerWindow& window) {
        using M = stock::BatchListModel;
        QStringList out;
        for (int r = 0; r < window.model().rowCount(); ++r) {
            QStringList cells;
            for (int column : {M::BatchNo, M::Unit, M::Quantity, M::UnitCost})
                cells << window.model().index(r, column).data().toString();
            out << cells.join(QLatin1Char(' '));
        }
        return out;
    }

    TestDatabase db_{TestDatabase::Seed::Demo};
    entry::LoginContext ctx_;
    ScriptedPrompter prompter_;
};

// The rows on hand in batch order, each with its own unit and unit cost. A
// double click on a row, or Enter after a search, picks it and closes.
TEST_F(BatchPickerWindowTest, DoubleClickOrEnterPicksTheRowWithItsUnitCost) {
    stock::BatchPickerWindow window(ctx_, prompter_);
    ASSERT_TRUE(window.load());
    EXPECT_TRUE(ctx_.pickedBatch.isEmpty());  // a new opening forgets the last pick
    EXPECT_EQ(rows(window), (QStringList{"B1 千克 4 0.5", "B1 吨 -2 2.5", "B2 千克 10 2.5"}));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTableView* view = window.view();
    const QPoint third = view->visualRect(view->model()->index(2, 0)).center();
    // An item view takes a double click only on the row the press went to.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, third);
    EXPECT_TRUE(ctx_.pickedBatch.isEmpty());  // a single click only selects
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, third);
    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_EQ(ctx_.pickedBatch, QStringLiteral("B2"));
    EXPECT_EQ(ctx_.pickedUnitCost, QStringLiteral("2.5"));

    ASSERT_TRUE(window.load());
    window.show();
    QTest::keyClicks(window.searchBox(), QStringLiteral("b2"));  // without regard to case
    ASSERT_EQ(window.model().rowCount(), 1);
    QTest::keyClick(window.searchBox(), Qt::Key_Enter);
    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_EQ(ctx_.pickedBatch, QStringLiteral("B2"));
    EXPECT_TRUE(prompter_.messages().empty());
    EXPECT_FALSE(ctx_.gConnection.isOpen());
}

// A list without stock says why, picks nothing and stays until Escape; a
// failed read is reported.
TEST_F(BatchPickerWindowTest, EmptyListPicksNothingAndAFailureIsReported) {
    stock::BatchPickerWindow window(ctx_, prompter_);
    for (const char* itemId : {"1101 or 1=1", "1102"}) {
        ctx_.batchItemId = QString::fromLatin1(itemId);
        ASSERT_TRUE(window.load());
        EXPECT_EQ(window.model().rowCount(), 0) << itemId;
    }
    window.show();
    EXPECT_EQ(window.note(), QStringLiteral("01.002 冷轧钢板 没有库存，无批号可选"));
    QTest::keyClick(window.view(), Qt::Key_Return);
    EXPECT_TRUE(window.isVisible());
    QTest::keyClick(window.view(), Qt::Key_Escape);
    EXPECT_EQ(window.result(), QDialog::Rejected);
    EXPECT_TRUE(ctx_.pickedBatch.isEmpty());
    EXPECT_TRUE(ctx_.pickedUnitCost.isEmpty());

    db_.exec(QStringLiteral("drop view vGOtherIn"));  // the server keeps a view's tables
    db_.exec(QStringLiteral("drop table tblMeasureUnit"));
    ctx_.batchItemId = QStringLiteral("1101");
    EXPECT_FALSE(window.load());
    ASSERT_EQ(prompter_.messages().size(), 1u);
    EXPECT_EQ(prompter_.messages()[0].icon, entry::Icon::Critical);
    EXPECT_TRUE(prompter_.messages()[0].text.contains(QStringLiteral("tblMeasureUnit"),
                                                      Qt::CaseInsensitive));
    EXPECT_FALSE(ctx_.gConnection.isOpen());
}

}  // namespace
