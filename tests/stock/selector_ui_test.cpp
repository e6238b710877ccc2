#include <gtest/gtest.h>

#include <QItemSelectionModel>
#include <QLineEdit>
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

QString codes(SelectorDialog& dialog) {
    QStringList list;
    for (int row = 0; row < dialog.model().rowCount(); ++row) {
        list << dialog.model().recordAt(row).code;
    }
    return list.join(' ');
}

// Selects `rows` and accepts; answers the key of the answer.
QString choose(SelectorDialog& dialog, std::initializer_list<int> rows) {
    QItemSelectionModel* selection = dialog.view()->selectionModel();
    selection->clearSelection();
    for (int row : rows) {
        selection->select(dialog.view()->model()->index(row, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    dialog.accept();
    return dialog.answer().key;
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
    // "user:item:warehouse:unit:qty" of each tblItemInput row.
    QString itemInputRows() {
        QStringList out;
        db::Query q = db_.connection().prepare(QStringLiteral(
            "select fuserid,fitemid,fstockid,funitid,fqty from tblItemInput order by fuserid,"
            "fitemid"));
        q.exec();
        while (q.next()) {
            out << QStringLiteral("%1:%2:%3:%4:%5")
                       .arg(q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                            q.value(3).toString())
                       .arg(q.value(4).toDouble());
        }
        return out.join(' ');
    }

    TestDatabase db_{TestDatabase::Seed::Demo};
    ScriptedPrompter prompter_;
    const QString title_ = QStringLiteral("标题");
};

// Locked items are never offered; the search narrows by code or name, not
// model. One chosen item writes nothing.
TEST_F(SelectorUiTest, RecordSelectorListsUnlockedMatchesAndTakesTheChosenOne) {
    RecordSelectorDialog dialog(itemInput("螺栓"), true, prompter_, title_);
    ASSERT_TRUE(dialog.load());
    EXPECT_EQ(codes(dialog), QStringLiteral("02.001 02.002 02.008"));
    for (const char* search : {"01.02", "KGC"}) {
        dialog.searchBox()->setText(QString::fromUtf8(search));
        EXPECT_EQ(codes(dialog), QString()) << search;
    }
    dialog.searchBox()->setText(QStringLiteral("铜芯"));
    ASSERT_EQ(dialog.model().rowCount(), 2);
    choose(dialog, {1});
    EXPECT_EQ(dialog.answer().code, QStringLiteral("01.010"));
    EXPECT_EQ(itemInputRows(), QString());
    EXPECT_TRUE(prompter_.messages().empty());
}

// Several items replace the user's rows in tblItemInput, each with the item's
// default warehouse and unit and quantity 0, and answer -1; another user's
// rows stay. Without a user to write them for, only one item can be chosen.
TEST_F(SelectorUiTest, SeveralItemsAreWrittenForTheUserAndAnswerMinusOne) {
    db_.exec(
        QStringLiteral("insert into tblItemInput(fuserid,fitemid,fstockid,funitid,fqty)"
                       " values(2,1101,501,704,5),(3,1101,501,704,7)"));
    RecordSelectorDialog dialog(itemInput("螺栓"), true, prompter_, title_);
    ASSERT_TRUE(dialog.load());
    EXPECT_EQ(choose(dialog, {0, 1, 2}), QStringLiteral("-1"));
    EXPECT_TRUE(dialog.answer().manyItems());
    EXPECT_EQ(
        itemInputRows(),
        QStringLiteral("2:1121:502:701:0 2:1122:502:701:0 2:1128:502:701:0 3:1101:501:704:7"));

    RecordSelectorInput noUser = itemInput("螺栓");
    noUser.userId.clear();
    RecordSelectorDialog single(noUser, true, prompter_, title_);
    EXPECT_EQ(single.view()->selectionMode(), QAbstractItemView::SingleSelection);
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

// The rows on hand in batch order, each with its own unit and unit cost; a
// double click picks one (a single click only selects) and closes.
TEST_F(BatchPickerWindowTest, DoubleClickPicksTheRowWithItsUnitCost) {
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
    EXPECT_TRUE(ctx_.pickedBatch.isEmpty());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, third);
    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_EQ(ctx_.pickedBatch + " " + ctx_.pickedUnitCost, QStringLiteral("B2 2.5"));
    EXPECT_TRUE(prompter_.messages().empty());
    EXPECT_FALSE(ctx_.gConnection.isOpen());
}

}  // namespace
