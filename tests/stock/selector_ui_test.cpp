#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
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

TEST_F(SelectorUiTest, RecordSelectorListsTypedItemsAndAnswersTheChosenOne) {
    RecordSelectorDialog dialog(itemInput("螺栓"), true, prompter_, title_);
    QAbstractItemModelTester tester(&dialog.model());
    ASSERT_TRUE(dialog.load());
    EXPECT_EQ(dialog.searchBox()->text(), QStringLiteral("螺栓"));
    EXPECT_EQ(codes(dialog), (QStringList{"02.001", "02.002", "02.008"}));

    selectRows(dialog.view(), {1});
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.answer().key, QStringLiteral("1122"));
    EXPECT_EQ(dialog.answer().code, QStringLiteral("02.002"));
    EXPECT_EQ(dialog.answer().name, QStringLiteral("六角螺栓"));
    EXPECT_EQ(itemInputRows(2), 0);  // a single choice writes nothing

    // Locked items are not offered; the search box narrows by code or name.
    dialog.searchBox()->setText(QStringLiteral("01.02"));
    EXPECT_TRUE(codes(dialog).isEmpty());
    dialog.searchBox()->setText(QStringLiteral("pvc"));
    EXPECT_EQ(codes(dialog), QStringList{"01.011"});
    dialog.searchBox()->setText(QStringLiteral("KGC"));  // a model, not sought by default
    EXPECT_TRUE(codes(dialog).isEmpty());
    EXPECT_TRUE(prompter_.messages().empty());
}

// Codes and names are read whole when the selector opens and after every
// search; OK takes the current row, Cancel nothing.
TEST_F(SelectorUiTest, SelectorShowsWholeCodesAndNamesAndOkTakesTheCurrentRowCancelNothing) {
    RecordSelectorDialog dialog(itemInput(""), true, prompter_, title_);
    ASSERT_TRUE(dialog.load());
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QTableView* view = dialog.view();
    const auto wholeTexts = [&] {
        const QFontMetrics metrics = view->fontMetrics();
        for (int column : {0, 1}) {
            int widest = metrics.horizontalAdvance(
                view->model()->headerData(column, Qt::Horizontal).toString());
            for (int row = 0; row < view->model()->rowCount(); ++row)
                widest = std::max(widest, metrics.horizontalAdvance(
                                              view->model()->index(row, column).data().toString()));
            EXPECT_GE(view->columnWidth(column), widest) << column;
        }
    };
    wholeTexts();
    dialog.searchBox()->setText(QStringLiteral("铜芯"));
    ASSERT_EQ(dialog.model().rowCount(), 2);
    wholeTexts();

    QDialogButtonBox* buttons = dialog.findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    QTest::keyClick(dialog.searchBox(), Qt::Key_Down);
    QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.answer().code, QStringLiteral("01.010"));

    RecordSelectorDialog cancelled(itemInput("螺栓"), true, prompter_, title_);
    ASSERT_TRUE(cancelled.load());
    cancelled.show();
    QTest::mouseClick(cancelled.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel),
                      Qt::LeftButton);
    EXPECT_EQ(cancelled.result(), QDialog::Rejected);
    EXPECT_FALSE(cancelled.answer().chosen());
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
    EXPECT_EQ(itemInputRows(2), 3);
    EXPECT_EQ(itemInputRows(3), 1);  // another user's rows stay
    // Each row takes the item's default warehouse and unit, quantity 0.
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

TEST_F(SelectorUiTest, ItemsCanBeSoughtByModelAndOtherClassesByTree) {
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
    EXPECT_EQ(warehouses.answer().name, QStringLiteral("原材料仓"));
}

TEST_F(SelectorUiTest, UnitSelectorListsOnlyTheGroupsUnits) {
    entry::UnitSelectorInput input;
    input.connectionString = db_.connectionString();
    input.unitGroup = 601;
    entry::UnitSelectorDialog dialog(input, prompter_, title_);
    ASSERT_TRUE(dialog.load());
    EXPECT_EQ(codes(dialog), (QStringList{"BOX", "CTN", "PCS"}));

    // Keyboard: typing narrows, Down moves from the search box, Enter picks.
    dialog.show();
    dialog.searchBox()->setFocus();
    QTest::keyClicks(dialog.searchBox(), QStringLiteral("C"));
    ASSERT_EQ(codes(dialog), (QStringList{"CTN", "PCS"}));
    QTest::keyClick(dialog.searchBox(), Qt::Key_Down);
    QTest::keyClick(dialog.searchBox(), Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.answer().key, QStringLiteral("701"));
    EXPECT_EQ(dialog.answer().name, QStringLiteral("个"));
}

TEST_F(SelectorUiTest, EscapeAnswersNothingAndFailuresAreReported) {
    entry::UnitSelectorInput input;
    input.connectionString = db_.connectionString();
    input.unitGroup = 602;
    entry::UnitSelectorDialog dialog(input, prompter_, title_);
    ASSERT_TRUE(dialog.load());
    dialog.show();
    QTest::keyClick(dialog.searchBox(), Qt::Key_Escape);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(dialog.answer().chosen());

    TestDatabase empty;
    empty.exec(QStringLiteral("drop view vGOtherIn"));  // the server keeps a view's tables
    empty.exec(QStringLiteral("drop table icitem"));
    RecordSelectorInput broken = itemInput("");
    broken.connectionString = empty.connectionString();
    RecordSelectorDialog failing(broken, true, prompter_, title_);
    EXPECT_FALSE(failing.load());
    ASSERT_EQ(prompter_.messages().size(), 1u);
    EXPECT_EQ(prompter_.messages()[0].icon, entry::Icon::Critical);
    EXPECT_EQ(prompter_.messages()[0].title, title_);
    EXPECT_EQ(failing.model().rowCount(), 0);
}

class BatchPickerWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        db_.exec(
            QStringLiteral("insert into tblTimeStock(fstockid,fitemid,funitid,fbatchno,fqty,"
                           "famount) values(501,1101,704,'B2',10,25),(501,1101,704,'B1',4,2)"));
        ctx_.DBConnectionString = db_.connectionString();
        ctx_.batchItemId = QStringLiteral("1101");
        ctx_.pickedBatch = QStringLiteral("stale");
    }

    TestDatabase db_{TestDatabase::Seed::Demo};
    entry::LoginContext ctx_;
    ScriptedPrompter prompter_;
};

TEST_F(BatchPickerWindowTest, DoubleClickPicksTheRowAndCloses) {
    stock::BatchPickerWindow window(ctx_, prompter_);
    ASSERT_TRUE(window.load());
    EXPECT_TRUE(ctx_.pickedBatch.isEmpty());  // a new opening forgets the last pick
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTableView* view = window.view();
    const QPoint second = view->visualRect(view->model()->index(1, 0)).center();
    // An item view takes a double click only on the row the press went to.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, second);
    EXPECT_TRUE(ctx_.pickedBatch.isEmpty());  // a single click only selects
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, second);
    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_EQ(ctx_.pickedBatch, QStringLiteral("B2"));
    EXPECT_EQ(ctx_.pickedUnitCost, QStringLiteral("2.5"));
}

// Each row names its warehouse; a search that finds nothing says so.
TEST_F(BatchPickerWindowTest, RowsNameTheirWarehouseAndAFruitlessSearchSaysSo) {
    db_.exec(
        QStringLiteral("insert into tblTimeStock(fstockid,fitemid,funitid,fbatchno,fqty,"
                       "famount) values(502,1101,704,'B1',1,1)"));
    stock::BatchPickerWindow window(ctx_, prompter_);
    ASSERT_TRUE(window.load());
    window.show();
    QAbstractItemModel* model = window.view()->model();
    ASSERT_EQ(model->rowCount(), 3);
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("仓库"));
    QStringList shown;
    for (int row = 0; row < 3; ++row)
        shown << model->index(row, 0).data().toString() + QLatin1Char('/') +
                     model->index(row, 1).data().toString();
    EXPECT_EQ(shown, (QStringList{"B1/原材料仓", "B1/五金仓", "B2/原材料仓"}));
    EXPECT_TRUE(window.note().isEmpty());

    QTest::keyClicks(window.searchBox(), QStringLiteral("zz"));
    EXPECT_EQ(window.note(), QStringLiteral("没有批号包含“zz”的库存"));
    EXPECT_TRUE(window.findChild<QLabel*>(QStringLiteral("note"))->isVisible());
}

TEST_F(BatchPickerWindowTest, SearchThenEnterPicksAndAnEmptyListSaysWhyAndPicksNothing) {
    stock::BatchPickerWindow window(ctx_, prompter_);
    ASSERT_TRUE(window.load());
    window.show();
    QTest::keyClicks(window.searchBox(), QStringLiteral("b1"));
    ASSERT_EQ(window.model().rowCount(), 1);
    QTest::keyClick(window.searchBox(), Qt::Key_Enter);
    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_EQ(ctx_.pickedBatch, QStringLiteral("B1"));
    EXPECT_EQ(ctx_.pickedUnitCost, QStringLiteral("0.5"));

    ctx_.batchItemId = QStringLiteral("1102");  // nothing on hand
    ASSERT_TRUE(window.load());
    window.show();
    EXPECT_EQ(window.searchBox()->text(), QString());
    EXPECT_EQ(window.model().rowCount(), 0);
    EXPECT_EQ(window.note(), QStringLiteral("01.002 冷轧钢板 没有库存，无批号可选"));
    QTest::keyClick(window.view(), Qt::Key_Return);
    EXPECT_TRUE(window.isVisible());  // nothing to pick: the window stays
    QTest::keyClick(window.view(), Qt::Key_Escape);
    EXPECT_EQ(window.result(), QDialog::Rejected);
    EXPECT_TRUE(ctx_.pickedBatch.isEmpty());
    EXPECT_TRUE(ctx_.pickedUnitCost.isEmpty());
}

}  // namespace
