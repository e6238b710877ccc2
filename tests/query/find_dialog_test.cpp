#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>

#include "query/journal_model.h"
#include "query/query_fixture.h"
#include "query/ui/condition_view.h"
#include "query/ui/frm_main_bill_find.h"

using namespace Qt::StringLiterals;

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

    frmMainBillFind dialog{ctx, prompter, {}};
    FakeJournal* journal = nullptr;
};

// A number cell keeps typed letters and says why, and OK stays up; once corrected, OK fills
// the journal from the default filters and hides the dialog.
TEST_F(FindDialogTest, ATypedNumberWithLettersIsRefusedNotShortened) {
    ConditionView* view = dialog.conditionView();
    ConditionGrid& grid = dialog.controller().conditions();
    grid.chooseField(0, grid.catalogue().titles().indexOf(u"数量"_s));
    grid.chooseOperator(0, grid.operatorChoices(0).indexOf(u"等于"_s));
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
    const QString refusal = u"第1行条件的数值\"5x or 1=1\"不是有效的数字,请重新输入!"_s;

    ASSERT_TRUE(type(u"5x or 1=1"_s));
    EXPECT_EQ(grid.cell(0, ConditionGrid::Value), u"5x or 1=1"_s);
    EXPECT_EQ(value.data(Qt::ToolTipRole).toString(), refusal);
    dialog.ok();
    EXPECT_TRUE(prompter.onlyMessage(refusal, entry::Icon::Exclamation));
    ASSERT_NE(journal, nullptr);
    EXPECT_EQ(journal->shown, 0);
    EXPECT_TRUE(dialog.isVisible());

    ASSERT_TRUE(type(u"1.5"_s));
    EXPECT_EQ(value.data(Qt::ToolTipRole).toString(), QString());
    dialog.ok();
    EXPECT_EQ(journal->shown, 1);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(journal->model().idList(), u"1"_s);
}

}  // namespace
