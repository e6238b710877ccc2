// The bill editor window driven as a user would: keys into its fields and
// cells, its toolbar and menus, with the demo layout of bill type 7.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDoubleValidator>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <memory>

#include "editor/bill_session.h"
#include "editor/ui/bill_commands.h"
#include "editor/ui/frm_main_bill.h"
#include "editor/ui/header_panel.h"
#include "editor/ui/line_grid_view.h"
#include "editor/ui/totals_view.h"
#include "entry/login_context.h"
#include "entry/settings_store.h"
#include "entry/startup.h"
#include "support/qstring_print.h"
#include "support/scripted_prompter.h"
#include "support/test_database.h"

namespace otherin::testing {
namespace {

using editor::frmMainBill;

// Demo layout: 收料仓库 (fIndex 3) is first in tab order and looks up
// warehouses; the grid's columns are 1 item code, 2 name, 3 model, 4 unit,
// 5 quantity, 6 price, 7 amount, 8 batch, 9 stock place, 10 note.
constexpr int kWarehouseField = 3;
constexpr int kBillNoField = 1;
constexpr int kItemCode = 1, kName = 2, kUnit = 4, kQuantity = 5, kPrice = 6, kAmount = 7;

class EditorWindowTest : public ::testing::Test {
  protected:
    void open(const QStringList& extraSettings = {}) {
        settings = db.settings(QStringList{QStringLiteral("SystemLogin/gLoginUserId=1"),
                                           QStringLiteral("SystemLogin/gLoginUserName=系统管理员"),
                                           QStringLiteral("SystemLogin/IsAdmin=1")} +
                               extraSettings);
        entry::startUp(ctx, *settings, prompter);
        showWindow();
    }

    // A new window over the same context and settings.
    void showWindow() {
        window = std::make_unique<frmMainBill>(ctx, prompter);
        window->setSettingsStore(settings.get());
        window->prepare();
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    editor::LineGridView& view() { return *window->gridView(); }
    editor::LineGrid& grid() { return window->session()->form().grid; }
    QWidget* focused() { return QApplication::focusWidget(); }
    editor::CellPos active() { return window->session()->controller().state().active; }

    // Puts the cursor on grid cell (c, r) as a click would, with the focus in the grid.
    void clickCell(int c, int r) {
        const QRect cell = view().visualRect(grid().index(r - 1, c - 1));
        QTest::mouseClick(view().viewport(), Qt::LeftButton, {}, cell.center());
    }
    // Types into the current cell: the first key opens its editor.
    void typeInCell(const QString& text) {
        QTest::keyClick(&view(), text.at(0).toLatin1());
        QTest::keyClicks(focused(), text.mid(1));
    }
    void press(Qt::Key key) { QTest::keyClick(focused(), key); }

    QStringList captions(const QList<QAction*>& actions) const {
        QStringList out;
        for (QAction* a : actions) {
            if (!a->isSeparator() && a->isVisible()) out << a->text();
        }
        return out;
    }

    TestDatabase db{TestDatabase::Seed::Demo};
    std::unique_ptr<entry::SettingsStore> settings;
    entry::LoginContext ctx;
    ScriptedPrompter prompter;
    std::unique_ptr<frmMainBill> window;
};

TEST_F(EditorWindowTest, LaysOutFieldsAndColumnsFromTheMetadataAndTheStripFollowsTheGrid) {
    open();
    editor::HeaderPanel& header = *window->headerPanel();
    const int visible =
        db.scalar("select count(*) from tblBillInfo where ftypeid=7 and fisvisible=1").toInt();
    int shown = 0;
    for (const editor::HeaderField& f : window->session()->form().header) {
        QWidget* input = header.input(f.index);
        ASSERT_NE(input, nullptr) << f.caption.toStdString();
        if (!input->isVisible()) continue;
        ++shown;
        EXPECT_EQ(input->geometry().topLeft(), QPoint(qRound(f.left / 15), qRound(f.top / 15)));
        EXPECT_EQ(input->width(), qRound(f.width / 15));
        // The caption sits to the left of its field, on the same line.
        QLabel* caption = nullptr;
        for (QLabel* l : header.findChildren<QLabel*>()) {
            if (l->buddy() == input) caption = l;
        }
        ASSERT_NE(caption, nullptr) << f.caption.toStdString();
        EXPECT_EQ(caption->text(), f.caption);
        EXPECT_LE(caption->geometry().right(), input->geometry().left());
    }
    EXPECT_EQ(shown, visible);
    EXPECT_NE(qobject_cast<QDateEdit*>(header.input(window->session()->dateField())), nullptr);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("其它入库单新增"));
    EXPECT_EQ(window->makerField()->text(), QStringLiteral("系统管理员"));

    // Ten layout columns shown with their widths in both grids; the five
    // trailing per-line columns hidden in both.
    editor::TotalsView& strip = *window->totalsView();
    ASSERT_EQ(grid().columns(), 15);
    for (int c = 1; c <= 15; ++c) {
        const bool hidden = c > 10;
        EXPECT_EQ(view().isColumnHidden(c - 1), hidden) << c;
        EXPECT_EQ(strip.isColumnHidden(c - 1), hidden) << c;
        if (hidden) continue;
        const double twips =
            db.scalar("select fwidth from tblBillInfoEntry where ftypeid=7 and fcol=?", {c})
                .toDouble();
        EXPECT_EQ(view().columnWidth(c - 1), qRound(twips / 15)) << c;
        EXPECT_EQ(strip.columnWidth(c - 1), view().columnWidth(c - 1)) << c;
    }
    EXPECT_EQ(strip.verticalHeader()->width(), view().verticalHeader()->width());

    // The strip follows the grid through resizes, scrolls and resets.
    view().horizontalHeader()->resizeSection(kName - 1, 300);
    EXPECT_EQ(strip.columnWidth(kName - 1), 300);

    window->resize(500, window->height());
    QApplication::processEvents();
    QScrollBar* bar = view().horizontalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    bar->setValue(bar->maximum());
    EXPECT_EQ(strip.horizontalScrollBar()->value(), bar->maximum());

    // Turning the bill red redraws every line; widths and hidden columns stay.
    window->runCommand(QString::fromLatin1(editor::keys::Red));
    EXPECT_EQ(view().columnWidth(kName - 1), 300);
    EXPECT_EQ(strip.columnWidth(kName - 1), 300);
    EXPECT_TRUE(view().isColumnHidden(11));
    EXPECT_TRUE(strip.isColumnHidden(11));
    EXPECT_TRUE(window->redMark()->isVisible());
}

TEST_F(EditorWindowTest, CellEditorsFollowTheColumnTypeAndACodeIsCheckedOnLeaving) {
    // Batch as a date column and the note on several lines.
    db.exec("update tblBillInfoEntry set fType=6 where ftypeid=7 and fcol=8");
    db.exec("update tblBillInfoEntry set fismultirows=1 where ftypeid=7 and fcol=10");
    open();
    // F7 in the unit cell of a line without an item: no unit group to offer.
    clickCell(kUnit, 1);
    view().edit(view().currentIndex());
    press(Qt::Key_F7);
    EXPECT_EQ(prompter.messageTexts(), QStringList{QStringLiteral("请先选择存货！")});
    EXPECT_EQ(view().indexWidget(view().currentIndex()), nullptr);

    prompter.clear();
    clickCell(kQuantity, 1);
    ASSERT_EQ(prompter.messageTexts(), QStringList());
    view().edit(view().currentIndex());
    auto* number = qobject_cast<QLineEdit*>(focused());
    ASSERT_NE(number, nullptr);
    const auto* validator = qobject_cast<const QDoubleValidator*>(number->validator());
    ASSERT_NE(validator, nullptr);
    EXPECT_EQ(validator->decimals(), 2);
    press(Qt::Key_Escape);

    // Name and model are filled by the item, never typed.
    clickCell(kName, 1);
    view().edit(view().currentIndex());
    EXPECT_EQ(view().indexWidget(view().currentIndex()), nullptr);

    clickCell(kItemCode, 1);
    ASSERT_EQ(focused()->window(), window.get());
    view().edit(view().currentIndex());
    auto* lookup = qobject_cast<QComboBox*>(focused()->parentWidget());
    if (!lookup) lookup = qobject_cast<QComboBox*>(focused());
    ASSERT_NE(lookup, nullptr);
    EXPECT_TRUE(lookup->isEditable());
    press(Qt::Key_Escape);
    // An unknown code keeps the cursor; a known one fills the line, and Tab
    // passes over the name and model to the unit, which shows its code.
    typeInCell(QStringLiteral("9.999"));
    press(Qt::Key_Tab);
    EXPECT_EQ(prompter.messageTexts(),
              QStringList{QStringLiteral("数据录入错误!找不到代码“9.999”")});
    EXPECT_EQ(active(), (editor::CellPos{kItemCode, 1}));
    EXPECT_EQ(view().currentIndex(), grid().index(0, kItemCode - 1));
    typeInCell(QStringLiteral("01.001"));
    press(Qt::Key_Tab);
    EXPECT_EQ(prompter.messages().size(), 1u);
    EXPECT_EQ(grid().key(kUnit, 1), QStringLiteral("704"));
    EXPECT_EQ(grid().text(kUnit, 1), QStringLiteral("KG"));
    EXPECT_EQ(view().currentIndex(), grid().index(0, kUnit - 1));

    clickCell(8, 1);
    view().edit(view().currentIndex());
    auto* date = qobject_cast<QDateEdit*>(view().indexWidget(view().currentIndex()));
    ASSERT_NE(date, nullptr);
    date->setDate(QDate(2026, 3, 9));
    press(Qt::Key_Return);
    EXPECT_EQ(grid().text(8, 1), QStringLiteral("2026-03-09"));

    clickCell(10, 1);
    view().edit(view().currentIndex());
    auto* note = qobject_cast<QPlainTextEdit*>(view().indexWidget(view().currentIndex()));
    ASSERT_NE(note, nullptr);
    // Enter breaks the line inside the note; Tab leaves it.
    QTest::keyClicks(focused(), QStringLiteral("ab"));
    press(Qt::Key_Return);
    QTest::keyClicks(focused(), QStringLiteral("cd"));
    press(Qt::Key_Tab);
    EXPECT_EQ(grid().text(10, 1), QStringLiteral("ab\ncd"));
}

TEST_F(EditorWindowTest, HeaderFieldRefusesAnUnknownCodeAndEnterMovesOn) {
    open();
    QWidget* warehouse = window->headerPanel()->input(kWarehouseField);
    warehouse->setFocus();
    QApplication::processEvents();
    ASSERT_EQ(focused(), warehouse);
    EXPECT_TRUE(window->headerPanel()->lookupImage()->isVisible());

    QTest::keyClicks(warehouse, QStringLiteral("99"));
    press(Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(prompter.messageTexts(), QStringList{QStringLiteral("收料仓库输入不正确")});
    EXPECT_EQ(focused(), warehouse);

    // A click elsewhere is refused alike: the grid is not entered and the
    // field gets the focus back.
    prompter.clear();
    clickCell(kQuantity, 1);
    QApplication::processEvents();
    EXPECT_EQ(prompter.messageTexts(), QStringList{QStringLiteral("收料仓库输入不正确")});
    EXPECT_EQ(focused(), warehouse);
    EXPECT_EQ(window->session()->controller().state().focus, editor::Focus::Header);
    EXPECT_EQ(active(), (editor::CellPos{kItemCode, 1}));

    auto* edit = qobject_cast<QLineEdit*>(warehouse);
    edit->selectAll();
    QTest::keyClicks(warehouse, QStringLiteral("02"));
    press(Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(prompter.messages().size(), 1u);
    // The bill number is not typed in a new bill, so Enter skips it.
    EXPECT_FALSE(window->headerPanel()->input(kBillNoField)->isEnabled());
    EXPECT_EQ(window->headerPanel()->indexOf(focused()), window->session()->dateField());
    EXPECT_EQ(edit->text(), QStringLiteral("五金仓"));
    EXPECT_FALSE(window->headerPanel()->lookupImage()->isVisible());
}

TEST_F(EditorWindowTest, ToolbarAndMenusFollowTheMode) {
    open();
    editor::BillCommands& commands = *window->commands();
    EXPECT_EQ(captions(commands.toolBar()->actions()),
              QStringList({"新增", "复制", "保存", "审核", "查看", "预览", "首页", "后退", "前进",
                           "末页", "红字", "蓝字", "添加", "删除", "预览", "打印", "关闭"}));
    // Blue is pressed on a new bill.
    EXPECT_TRUE(commands.actions(QStringLiteral("Blue")).front()->isChecked());

    // A stored bill opened for price edits keeps only Save and Exit.
    db.exec(
        "insert into icstockbill (finterid, fbillno, ftrantype, fdate, fstatus, frob) "
        "values (900, 'QTRK900', 7, '2026-12-01', 0, 0)");
    ctx.gEditMode = 4;
    ctx.gCurrentInterId = 900;
    window->prepare();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("其它入库单编辑"));
    EXPECT_EQ(captions(commands.toolBar()->actions()), QStringList({"保存", "关闭"}));
    EXPECT_FALSE(window->commands()->actions(QStringLiteral("MenuEdit")).front()->isVisible());
}

TEST_F(EditorWindowTest, LookupColumnsCarryTheTipOnlyWhenTipsAreOn) {
    const auto tipAt = [this](int c) {
        // A tip from before goes away on a timer of its own.
        QToolTip::hideText();
        EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }));
        const QPoint at = view().visualRect(grid().index(0, c - 1)).center();
        QHelpEvent help(QEvent::ToolTip, at, view().viewport()->mapToGlobal(at));
        QApplication::sendEvent(view().viewport(), &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    open();
    EXPECT_EQ(tipAt(kItemCode), QStringLiteral("请按F7或点击工具栏中的查看按钮进行选择"));
    EXPECT_EQ(tipAt(kQuantity), QString());

    ctx.gIsShowTip = false;
    showWindow();
    EXPECT_EQ(tipAt(kItemCode), QString());
}

TEST_F(EditorWindowTest, OptionsToggleAndAreStoredOnACloseThatAsksAboutChanges) {
    open();
    QAction* afterSaveNew = window->commands()->actions(QStringLiteral("MenuAfterSaveNew")).front();
    // Stored "1" (stay on the saved bill) shows unchecked.
    EXPECT_FALSE(afterSaveNew->isChecked());
    afterSaveNew->trigger();
    EXPECT_TRUE(afterSaveNew->isChecked());
    // "表头" has no command: a click leaves its mark as the option says.
    QAction* copyHeader = window->commands()->actions(QStringLiteral("MenuCopyHeader")).front();
    const bool headerMark = copyHeader->isChecked();
    copyHeader->trigger();
    EXPECT_EQ(copyHeader->isChecked(), headerMark);

    // Closing a changed bill asks; Cancel keeps the window, No closes it unsaved.
    clickCell(kItemCode, 1);
    typeInCell(QStringLiteral("01.001"));
    press(Qt::Key_Tab);
    prompter.expectQuestion(entry::Answer::Cancel);
    window->close();
    ASSERT_EQ(prompter.questions().size(), 1u);
    EXPECT_EQ(prompter.questions()[0].text, QStringLiteral("单据已经改变，是否保存？"));
    EXPECT_TRUE(window->isVisible());
    prompter.expectQuestion(entry::Answer::No);
    window->runCommand(QString::fromLatin1(editor::keys::MenuClose));
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(db.scalar("select count(*) from icstockbill").toInt(), 0);
    entry::SettingsStore stored(settings->fileName());
    EXPECT_EQ(stored.value(QStringLiteral("frmMainBill7"), QStringLiteral("AfterSaveNew"), {}),
              QStringLiteral("0"));
}

// A line is entered from the keyboard alone: Enter passes over the name and
// model the item fills, the shortcuts run the commands, and after New or a
// save the focus waits in the warehouse, the first field that must be filled.
TEST_F(EditorWindowTest, KeyboardEntersALineAndShortcutsRunTheCommands) {
    open();
    editor::HeaderPanel& header = *window->headerPanel();
    QWidget* warehouse = header.input(kWarehouseField);
    EXPECT_EQ(focused(), warehouse);
    QTest::keyClicks(warehouse, QStringLiteral("02"));
    for (int i = 0; i < 3; ++i) press(Qt::Key_Return);  // warehouse, date, remark
    ASSERT_EQ(focused(), &view());

    typeInCell(QStringLiteral("02.001"));
    QList<int> columns;
    const auto enter = [&](const QString& text) {
        if (!text.isEmpty()) typeInCell(text);
        press(Qt::Key_Return);
        columns << active().column;
    };
    // The first Enter confirms the item.
    for (const char* text : {"", "", "5", "10", "", "", ""}) enter(QString::fromLatin1(text));
    EXPECT_EQ(columns, QList<int>({kUnit, kQuantity, kPrice, kAmount, 8, 9, 10}));
    enter(QString());
    EXPECT_EQ(active(), (editor::CellPos{kItemCode, 2}));
    // Tab walks the same way back and forth.
    press(Qt::Key_Backtab);
    EXPECT_EQ(active(), (editor::CellPos{10, 1}));
    clickCell(kUnit, 1);
    press(Qt::Key_Backtab);
    EXPECT_EQ(active(), (editor::CellPos{kItemCode, 1}));

    // Line commands from the keyboard ask first.
    prompter.expectQuestion(entry::Answer::No);
    QTest::keyClick(focused(), Qt::Key_Insert, Qt::ControlModifier);
    prompter.expectQuestion(entry::Answer::No);
    QTest::keyClick(focused(), Qt::Key_Delete, Qt::ControlModifier);
    ASSERT_EQ(prompter.questions().size(), 2u);
    EXPECT_EQ(prompter.questions()[0].text, QStringLiteral("确定要新增吗?"));
    EXPECT_EQ(prompter.questions()[1].text, QStringLiteral("确定要删除吗?"));

    QTest::keyClick(focused(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(prompter.messageTexts().contains(QStringLiteral("数据保存成功！")))
        << prompter.messageTexts().join(',').toStdString();
    const qint32 first = ctx.gCurrentInterId;
    EXPECT_EQ(db.scalar("select fstockid1 from icstockbill where finterid=?", {first}).toInt(),
              502);
    EXPECT_DOUBLE_EQ(
        db.scalar("select famount from icstockbillentry where finterid=?", {first}).toDouble(),
        50.0);
    EXPECT_EQ(focused(), warehouse);

    // New from the grid brings the focus back to the warehouse too.
    clickCell(kQuantity, 1);
    QTest::keyClick(focused(), Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("其它入库单新增"));
    EXPECT_EQ(grid().lastDataRow(), 0);
    EXPECT_EQ(focused(), warehouse);

    // A second bill, then Page Down and Page Up browse the journal's list.
    QTest::keyClicks(warehouse, QStringLiteral("02"));
    clickCell(kItemCode, 1);
    typeInCell(QStringLiteral("02.002"));
    press(Qt::Key_Tab);
    clickCell(kQuantity, 1);
    // Saving completes the cell still open.
    typeInCell(QStringLiteral("1"));
    QTest::keyClick(focused(), Qt::Key_S, Qt::ControlModifier);
    const qint32 second = ctx.gCurrentInterId;
    ASSERT_NE(second, first);
    EXPECT_DOUBLE_EQ(
        db.scalar("select fqty from icstockbillentry where finterid=?", {second}).toDouble(), 1.0);
    ctx.gBillIdList = {QString::number(first), QString::number(second)};
    ctx.gEditMode = 1;
    ctx.gCurrentInterId = first;
    window->prepare();
    QTest::keyClick(focused(), Qt::Key_PageDown);
    EXPECT_EQ(ctx.gCurrentInterId, second);
    EXPECT_EQ(grid().text(kItemCode, 1), QStringLiteral("02.002"));
    QTest::keyClick(focused(), Qt::Key_PageUp);
    EXPECT_EQ(ctx.gCurrentInterId, first);
}

// Typing "02" into 收料仓库 and pressing 保存 at once stores warehouse 02.
TEST_F(EditorWindowTest, SaveButtonTakesTheWarehouseStillBeingTyped) {
    open();
    clickCell(kItemCode, 1);
    typeInCell(QStringLiteral("02.001"));
    press(Qt::Key_Tab);
    clickCell(kQuantity, 1);
    typeInCell(QStringLiteral("3"));
    press(Qt::Key_Return);
    QWidget* warehouse = window->headerPanel()->input(kWarehouseField);
    QTest::mouseClick(warehouse, Qt::LeftButton);
    QTest::keyClicks(warehouse, QStringLiteral("02"));
    QAction* save = window->commands()->actions(QStringLiteral("Save")).back();
    QWidget* button = window->commands()->toolBar()->widgetForAction(save);
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(focused(), warehouse);
    EXPECT_TRUE(prompter.messageTexts().contains(QStringLiteral("数据保存成功！")))
        << prompter.messageTexts().join(',').toStdString();
    EXPECT_EQ(db.scalar("select fstockid1 from icstockbill").toInt(), 502);
    EXPECT_EQ(db.scalar("select count(*) from tblTimeStock where fstockid<>502").toInt(), 0);
}

// The date field takes dates and lets the focus go whatever was typed.
TEST_F(EditorWindowTest, DateFieldLetsTheFocusGoAndKeepsADate) {
    open();
    const int dateIndex = window->session()->dateField();
    auto* date = qobject_cast<QDateEdit*>(window->headerPanel()->input(dateIndex));
    ASSERT_NE(date, nullptr);
    const QDate today = window->session()->billDate();
    ASSERT_TRUE(today.isValid());

    date->setFocus(Qt::TabFocusReason);
    QTest::keyClick(date, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(date, Qt::Key_Space);
    QTest::keyClicks(date, QStringLiteral("x"));
    press(Qt::Key_Tab);
    EXPECT_NE(focused(), date);
    EXPECT_EQ(window->session()->billDate(), today);
    EXPECT_EQ(date->date(), today);

    // A click elsewhere keeps the date too.
    date->setFocus(Qt::TabFocusReason);
    QTest::keyClick(date, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(date, QStringLiteral("x"));
    clickCell(kQuantity, 1);
    EXPECT_EQ(window->session()->billDate(), today);

    // Digits fill year, month and day; Tab then leaves with the date typed.
    date->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(date, QStringLiteral("20260315"));
    press(Qt::Key_Tab);
    EXPECT_NE(focused(), date);
    EXPECT_EQ(window->session()->billDate(), QDate(2026, 3, 15));
}

}  // namespace
}  // namespace otherin::testing
