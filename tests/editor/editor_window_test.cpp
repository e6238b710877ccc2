// The bill editor and stock query windows driven by keys and clicks.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTest>
#include <QTextBrowser>
#include <QToolBar>
#include <memory>

#include "editor/stock_query.h"
#include "editor/ui/bill_commands.h"
#include "editor/ui/frm_main_bill.h"
#include "editor/ui/header_panel.h"
#include "editor/ui/line_grid_view.h"
#include "editor/ui/stock_query_window.h"
#include "entry/settings_store.h"
#include "session_fixture.h"

namespace otherin::testing {
using namespace Qt::StringLiterals;

namespace {

using editor::frmMainBill;

// Demo layout: 收料仓库 (field 3) is first in tab order; name (2), model (3) are read-only.
constexpr int kWarehouseField = 3;
constexpr int kItemCode = 1, kUnit = 4, kQuantity = 5, kPrice = 6, kAmount = 7;

class EditorWindowTest : public ::testing::Test {
  protected:
    void open(bool givenStore = true) {
        settings = db.settings(QStringList{u"SystemLogin/gLoginUserId=1"_s,
                                           u"SystemLogin/gLoginUserName=系统管理员"_s,
                                           u"SystemLogin/IsAdmin=1"_s});
        entry::startUp(ctx, *settings, prompter);
        window = std::make_unique<frmMainBill>(ctx, prompter);
        if (givenStore) window->setSettingsStore(settings.get());
        window->prepare();
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    editor::LineGridView& view() { return *window->gridView(); }
    editor::LineGrid& grid() { return window->session()->form().grid; }
    QWidget* focused() { return QApplication::focusWidget(); }
    editor::CellPos active() { return window->session()->controller().state().active; }
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
    // Clicks cell (c, r), types `text` and leaves the cell with Tab.
    void typeCell(int c, int r, const QString& text) {
        clickCell(c, r);
        typeInCell(text);
        press(Qt::Key_Tab);
    }
    TestDatabase db{TestDatabase::Seed::Demo};
    std::unique_ptr<entry::SettingsStore> settings;
    entry::LoginContext ctx;
    ScriptedPrompter prompter;
    std::unique_ptr<frmMainBill> window;
};

// Letters typed into a quantity are refused at the cell with a word, not
// swallowed; more decimals than the column keeps are rounded where the clerk
// sees them as the cell is left.
TEST_F(EditorWindowTest, ANumberCellRefusesLettersAndRoundsVisibly) {
    open();
    typeCell(kItemCode, 1, u"01.001"_s);
    typeCell(kQuantity, 1, u"1a2"_s);
    EXPECT_EQ(prompter.transcript(), u"! 第1行数量\"1a2\"不是有效的数字,请重新输入!"_s);
    EXPECT_EQ(grid().text(kQuantity, 1), QString());
    EXPECT_EQ(active().column, kQuantity);
    prompter.clear();
    clickCell(kPrice, 1);
    typeInCell(u"12.345"_s);
    press(Qt::Key_Tab);
    EXPECT_EQ(grid().text(kPrice, 1), u"12.35"_s);
    EXPECT_EQ(view().model()->index(0, kPrice - 1).data().toString(), u"12.35"_s);
    EXPECT_EQ(prompter.transcript(), QString());
    // Ctrl+Z takes the price back, Ctrl+Y puts it again.
    QTest::keyClick(&view(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(grid().text(kPrice, 1), QString());
    QTest::keyClick(&view(), Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(grid().text(kPrice, 1), u"12.35"_s);
    // A number typed with its thousands is taken; the grid and the totals show
    // thousands the way the journal and the print do, the cell keeps it plain.
    typeCell(kQuantity, 1, u"1,234.5"_s);
    EXPECT_EQ(grid().text(kQuantity, 1), u"1234.50"_s);
    const auto shown = [&](const QAbstractItemModel* m, int c) {
        return m->index(0, c - 1).data().toString();
    };
    EXPECT_EQ(shown(view().model(), kQuantity) + " " + shown(view().model(), kAmount),
              u"1,234.50 15,246.08"_s);
    EXPECT_EQ(window->session()->form().strip.text(kQuantity) + " " +
                  window->session()->form().strip.text(kAmount),
              u"1,234.50 15,246.08"_s);
    prompter.expectQuestion(entry::Answer::No);
    window->close();
}

// F1 opens the guide shipped in the program, pictures and all.
TEST_F(EditorWindowTest, F1OpensTheUserGuideWithItsPictures) {
    open();
    press(Qt::Key_F1);
    auto* guide = window->findChild<QDialog*>(u"userGuide"_s);
    ASSERT_NE(guide, nullptr);
    EXPECT_TRUE(guide->isVisible());
    auto* browser = guide->findChild<QTextBrowser*>();
    ASSERT_NE(browser, nullptr);
    const QString text = browser->toPlainText();
    for (const char* expected : {"单据编辑窗口", "序时簿", "数据保存成功！"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected;
    const QString html = browser->toHtml();
    QRegularExpressionMatchIterator images =
        QRegularExpression(u"<img[^>]*src=\"([^\"]+)\""_s).globalMatch(html);
    int pictures = 0;
    while (images.hasNext()) {
        const QString source = images.next().captured(1);
        ++pictures;
        EXPECT_FALSE(
            browser->document()->resource(QTextDocument::ImageResource, QUrl(source)).isNull())
            << source.toStdString();
    }
    EXPECT_GE(pictures, 3);
    guide->close();
}

// Tab skips the filled name and model. Opened by the component, the editor keeps its
// recovery copy beside the settings file the component was started with. Closing a changed
// bill asks: Cancel stays, No closes unsaved.
TEST_F(EditorWindowTest, TabPassesToTheUnitAndClosingAChangedBillAsks) {
    open(false);
    typeCell(kItemCode, 1, u"01.001"_s);
    EXPECT_EQ(grid().key(kUnit, 1) + " " + grid().text(kUnit, 1), u"704 KG"_s);
    EXPECT_EQ(view().currentIndex(), grid().index(0, kUnit - 1));
    clickCell(kItemCode, 2);
    const QDir beside = QFileInfo(settings->fileName()).absoluteDir();
    EXPECT_TRUE(beside.exists(u"recovery/7-1.json"_s)) << beside.path().toStdString();
    prompter.expectQuestion(entry::Answer::Cancel);
    window->close();
    EXPECT_EQ(prompter.transcript(), u"? 单据已经改变，是否保存？"_s);
    EXPECT_TRUE(window->isVisible());
    prompter.expectQuestion(entry::Answer::No);
    window->runCommand(QString::fromLatin1(editor::keys::MenuClose));
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(db.scalar("select count(*) from icstockbill").toInt(), 0);
}

// Enter skips read-only cells, shortcuts run their commands, and after New or
// a save the focus waits in the warehouse, the first required field.
TEST_F(EditorWindowTest, KeyboardEntersALineAndShortcutsRunTheCommands) {
    open();
    editor::HeaderPanel& header = *window->headerPanel();
    QWidget* warehouse = header.input(kWarehouseField);
    EXPECT_EQ(focused(), warehouse);
    QTest::keyClicks(warehouse, u"02"_s);
    for (int i = 0; i < 3; ++i) press(Qt::Key_Return);  // warehouse, date, remark
    ASSERT_EQ(focused(), &view());
    typeInCell(u"02.001"_s);
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
    // Line commands from the keyboard ask first.
    prompter.expectQuestion(entry::Answer::No);
    QTest::keyClick(focused(), Qt::Key_Insert, Qt::ControlModifier);
    prompter.expectQuestion(entry::Answer::No);
    QTest::keyClick(focused(), Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(prompter.transcript(), u"? 确定要新增吗?\n? 确定要删除吗?"_s);
    QTest::keyClick(focused(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(prompter.messageTexts().contains(u"数据保存成功！"_s))
        << prompter.messageTexts().join(',').toStdString();
    EXPECT_EQ(db.scalar("select famount from icstockbillentry").toDouble(), 50.0);
    const qint32 first = ctx.gCurrentInterId;
    EXPECT_EQ(focused(), warehouse);
    // New from the grid brings the focus back to the warehouse too.
    clickCell(kQuantity, 1);
    QTest::keyClick(focused(), Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(grid().lastDataRow(), 0);
    EXPECT_EQ(focused(), warehouse);
    // A second bill, saved with its quantity cell still open; the warehouse
    // of the last bill saved is there already.
    EXPECT_EQ(window->session()->form().headerField(kWarehouseField)->keyValue, u"502"_s);
    EXPECT_EQ(qobject_cast<QLineEdit*>(warehouse)->text(), u"02"_s);  // it has the focus
    typeCell(kItemCode, 1, u"02.002"_s);
    clickCell(kQuantity, 1);
    typeInCell(u"1"_s);
    QTest::keyClick(focused(), Qt::Key_S, Qt::ControlModifier);
    // Page Up and Page Down browse the journal's list; the second bill comes
    // back from storage with its quantity.
    ctx.gBillIdList = {QString::number(first), QString::number(ctx.gCurrentInterId)};
    ctx.gEditMode = 1;
    window->prepare();
    QTest::keyClick(focused(), Qt::Key_PageUp);
    EXPECT_EQ(grid().text(kItemCode, 1), u"02.001"_s);
    QTest::keyClick(focused(), Qt::Key_PageDown);
    EXPECT_EQ(grid().text(kItemCode, 1) + " " + grid().text(kQuantity, 1), u"02.002 1.00"_s);
}

TEST_F(EditorWindowTest, SaveButtonTakesTheWarehouseStillBeingTyped) {
    open();
    typeCell(kItemCode, 1, u"02.001"_s);
    clickCell(kQuantity, 1);
    typeInCell(u"3"_s);
    press(Qt::Key_Return);
    QWidget* warehouse = window->headerPanel()->input(kWarehouseField);
    QTest::mouseClick(warehouse, Qt::LeftButton);
    // An unknown code is refused and keeps the focus, its text selected.
    QTest::keyClicks(warehouse, u"99"_s);
    press(Qt::Key_Tab);
    QTest::qWait(20);
    EXPECT_EQ(focused(), warehouse);
    EXPECT_EQ(prompter.lastText(), u"收料仓库输入不正确"_s);
    QTest::keyClicks(warehouse, u"02"_s);
    QAction* save = window->commands()->actions(u"Save"_s).back();
    QWidget* button = window->commands()->toolBar()->widgetForAction(save);
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(focused(), warehouse);
    EXPECT_TRUE(prompter.messageTexts().contains(u"数据保存成功！"_s))
        << prompter.messageTexts().join(',').toStdString();
    EXPECT_EQ(db.scalar("select fstockid1 from icstockbill").toInt(), 502);
    EXPECT_EQ(db.scalar("select count(*) from tblTimeStock where fstockid<>502").toInt(), 0);
}

// The date takes each form clerks type, reached by a click or by Tab; the
// text lands in the date and nowhere else, and shows as yyyy-MM-dd.
TEST_F(EditorWindowTest, TheDateTakesWhatClerksTypeAndNothingElseMoves) {
    open();
    const int dateIndex = window->session()->dateField();
    QWidget* date = window->headerPanel()->input(dateIndex);
    auto* dateText = date->findChild<QLineEdit*>();
    ASSERT_NE(dateText, nullptr);
    const auto remark = [&] { return window->session()->form().headerField(4)->text; };
    int day = 10;
    for (const bool byTab : {false, true}) {
        for (const char* form : {"2026-03-%1", "2026/03/%1", "2026.03.%1", "202603%1"}) {
            SCOPED_TRACE(std::string(form) + (byTab ? " by Tab" : " by click"));
            ++day;
            if (byTab) {
                window->headerPanel()->input(kWarehouseField)->setFocus(Qt::TabFocusReason);
                press(Qt::Key_Tab);
            } else {
                QTest::mouseClick(dateText, Qt::LeftButton);
            }
            ASSERT_EQ(focused(), dateText);
            dateText->selectAll();
            QTest::keyClicks(dateText, QString::fromLatin1(form).arg(day));
            press(Qt::Key_Tab);
            EXPECT_NE(focused(), dateText);
            EXPECT_EQ(window->session()->billDate(), QDate(2026, 3, day));
            EXPECT_EQ(dateText->text(), u"2026-03-%1"_s.arg(day));
            EXPECT_EQ(remark(), QString());
            EXPECT_EQ(grid().lastDataRow(), 0);
        }
    }
    EXPECT_EQ(prompter.transcript(), QString());
}

// A day that does not exist, or that no period holds, keeps the cursor in the
// field with a word; Esc brings the date back. A day of another year is asked
// about once.
TEST_F(EditorWindowTest, TheDateRefusesDaysThatDoNotExistAndAsksAboutAnotherYear) {
    open();
    auto* dateText =
        window->headerPanel()->input(window->session()->dateField())->findChild<QLineEdit*>();
    const QDate before = window->session()->billDate();
    const auto typeDate = [&](const QString& text) {
        dateText->setFocus(Qt::TabFocusReason);
        dateText->selectAll();
        QTest::keyClicks(dateText, text);
        press(Qt::Key_Tab);
        // A refused field takes the focus back once the move has ended.
        QCoreApplication::processEvents();
    };
    typeDate(u"2026-02-30"_s);
    EXPECT_EQ(prompter.transcript(), u"! 日期“2026-02-30”不是有效的日期,请重新输入(如 %1)!"_s.arg(
                                         QDate::currentDate().toString(Qt::ISODate)));
    EXPECT_EQ(focused(), dateText);
    prompter.clear();
    QTest::keyClick(dateText, Qt::Key_Escape);
    EXPECT_EQ(dateText->text(), before.toString(Qt::ISODate));
    press(Qt::Key_Tab);
    EXPECT_NE(focused(), dateText);
    EXPECT_EQ(window->session()->billDate(), before);

    typeDate(u"2031-01-01"_s);
    EXPECT_EQ(prompter.transcript(), u"! 日期2031-01-01不在任何会计期间内,请重新输入!"_s);
    EXPECT_EQ(focused(), dateText);
    QTest::keyClick(dateText, Qt::Key_Escape);
    prompter.clear();

    prompter.expectQuestion(entry::Answer::No);
    typeDate(u"2025-12-31"_s);
    EXPECT_EQ(prompter.transcript(), u"? 日期不在本年度会计期间内，确定吗？"_s);
    EXPECT_EQ(focused(), dateText);
    prompter.expectQuestion(entry::Answer::Yes);
    press(Qt::Key_Tab);
    EXPECT_NE(focused(), dateText);
    EXPECT_EQ(window->session()->billDate(), QDate(2025, 12, 31));
    // Asked once: the same date passes again without a word.
    prompter.clear();
    dateText->setFocus(Qt::TabFocusReason);
    press(Qt::Key_Tab);
    EXPECT_EQ(prompter.transcript(), QString());
}

class StockQueryTest : public SessionTest {
  protected:
    void SetUp() override {
        db.execAll({u"insert into icitem(fitemid,fNumber,fname) values(1199,'QX''01','引号物料')"_s,
                    u"insert into tblTimeStock(fstockid,fitemid,funitid,fbatchno,"
                    "fStockPlace,fqty,famount) values(501,1101,704,'B1',801,2.5,14.5),"
                    "(502,1121,701,'',0,10,2.5),(501,1199,701,'',0,1,1)"_s});
    }
};

// Only conditions as the command writes them are read; any other text is refused.
TEST_F(StockQueryTest, WindowShowsTheFilteredLedgerAndRefusesForeignText) {
    editor::StockQueryWindow window(ctx, prompter);
    QAbstractItemModelTester tester(&window.model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    const QAbstractItemModel& m = window.model();
    ASSERT_TRUE(window.load(editor::stockCondition(editor::StockFilter::containing({}, u"01"_s))));
    ASSERT_EQ(m.rowCount(), 2);
    QStringList shown;
    for (int c : {2, 1, 5, 7, 8}) shown << m.index(0, c).data().toString();
    EXPECT_EQ(shown.join(u'|'), u"01.001|原材料仓|千克|A区01号货架|2.5"_s);
    ASSERT_TRUE(
        window.load(editor::stockCondition(editor::StockFilter::containing(u"QX'01"_s, {}))));
    ASSERT_EQ(m.rowCount(), 1);
    EXPECT_EQ(m.index(0, 3).data().toString(), u"引号物料"_s);
    ASSERT_TRUE(window.load(
        editor::stockCondition(editor::StockFilter::containing(u"x' or '1'='1"_s, {}))));
    EXPECT_EQ(m.rowCount(), 0);
    EXPECT_TRUE(prompter.messages().empty());
    for (const char* text :
         {" and 1=1; delete from tblTimeStock", " and fItemNumber like '%a%' or 1=1",
          " and fItemNumber = 'a'", " and fItemName like 'a'", " and fItemNumber like 'a",
          " and fItemNumber like 'a' and fItemNumber like 'b'"}) {
        prompter.clear();
        EXPECT_FALSE(window.load(QString::fromUtf8(text))) << text;
        EXPECT_TRUE(prompter.onlyMessage(u"库存查询条件无效: "_s + QString::fromUtf8(text),
                                         entry::Icon::Critical));
    }
    EXPECT_EQ(db.scalar(u"select count(*) from tblTimeStock"_s).toInt(), 3);
    EXPECT_FALSE(ctx.gConnection.isOpen());
}

}  // namespace
}  // namespace otherin::testing
