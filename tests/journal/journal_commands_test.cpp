#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <set>

#include "entry/edit_mode.h"
#include "journal/excel_export.h"
#include "journal/journal_commands.h"
#include "journal/journal_fixture.h"
#include "query/journal_model.h"
#include "query/result_loader.h"

using namespace otherin;
using entry::Answer;
using entry::Icon;
using journal::JournalCommands;

namespace {

// The journal grid without widgets: the real journal model, a current row,
// a selection and a top row, reloaded by the real query.
class ListView : public journal::JournalView {
  public:
    ListView(entry::LoginContext& ctx, entry::Prompter& prompter)
        : ctx_(ctx), prompter_(prompter) {}

    int rowCount() const override { return model.rowCount(); }
    bool isTotalsRow(int row) const override { return model.isTotalsRow(row); }
    qint64 interId(int row) const override { return model.interId(row); }
    QString billNumber(int row) const override { return model.billNo(row); }
    int currentRow() const override { return current; }
    int topRow() const override { return top; }
    bool isRowSelected(int row) const override { return selected.count(row) > 0; }
    void setCurrentRow(int row) override {
        current = row;
        selected = {row};
    }
    void setTopRow(int row) override { top = row; }
    // A reload starts the grid afresh, as the real one does.
    bool reload() override {
        ++reloads;
        current = -1;
        top = 0;
        selected.clear();
        return query::find(ctx_, prompter_, model, {}, {}, {});
    }
    void showQuery() override {}
    void openEditor() override {
        ++editorOpened;
        if (editor) editor();
    }

    void select(std::set<int> rows, int currentRow) {
        selected = std::move(rows);
        current = currentRow;
    }

    query::JournalModel model;
    int current = -1;
    int top = 0;
    std::set<int> selected;
    int reloads = 0;
    int editorOpened = 0;
    std::function<void()> editor;

  private:
    entry::LoginContext& ctx_;
    entry::Prompter& prompter_;
};

class JournalCommandsTest : public ::testing::Test, protected otherin::testing::JournalFixture {
  protected:
    void SetUp() override {
        addBills();
        ASSERT_TRUE(view.reload());
        ASSERT_EQ(view.rowCount(), 6);
    }

    // Rows 0-1 bill 1, row 2 bill 2, rows 3-4 bill 3, row 5 the totals.
    void addBills() {
        addBill(1, "2026-12-02", 0, {{1101, 5}, {1102, 3}});
        addBill(2, "2026-12-03", 0, {{1101, 2}});
        addBill(3, "2026-12-04", 0, {{1103, 1}, {1104, 1}});
    }

    ListView view{ctx, prompter};
    JournalCommands commands{ctx, prompter, view};
};

using Command = bool (JournalCommands::*)();

// A closed period is refused before the right is asked; without the right only
// the rights message is shown. User 3 holds none of the rights below but G01, G02.
TEST_F(JournalCommandsTest, AClosedPeriodOrAMissingRightIsRefusedWithOneMessage) {
    ctx.IsAdmin = 0;
    ctx.gLoginUserId = QStringLiteral("3");
    view.select({0, 2}, 2);
    const Command changing[] = {
        &JournalCommands::check,      &JournalCommands::unCheck, &JournalCommands::cancel,
        &JournalCommands::unCancel,   &JournalCommands::remove,  &JournalCommands::writeOff,
        &JournalCommands::unWriteOff, &JournalCommands::split,   &JournalCommands::restore,
        &JournalCommands::addNew,     &JournalCommands::change};
    for (const int closed : {1, 0}) {
        ctx.gIsCloseStock = closed;
        // With the period open the user may add and change: those two are left out.
        for (int i = 0; i < (closed ? 11 : 9); ++i) {
            SCOPED_TRACE(closed * 100 + i);
            prompter.clear();
            EXPECT_FALSE((commands.*changing[i])());
            if (closed) {
                EXPECT_TRUE(prompter.onlyMessage(QStringLiteral("当前期间已经关账,不能再进行处理"),
                                                 Icon::Critical, ctx.msgTitle));
            } else {
                ASSERT_EQ(prompter.messages().size(), 1u);
                // Each refusal names its own action after these words.
                EXPECT_TRUE(prompter.lastText().startsWith(QStringLiteral("您无此权限！不能")))
                    << prompter.lastText().toStdString();
            }
        }
    }
    EXPECT_EQ(view.editorOpened, 0);
    EXPECT_EQ(billCount(), 3);
    EXPECT_EQ(status(2), 0);

    // Opening a bill by double click looks at neither.
    ctx.gIsCloseStock = 1;
    prompter.clear();
    EXPECT_TRUE(commands.openCurrent());
    EXPECT_EQ(ctx.gCurrentInterId, 2);
    EXPECT_TRUE(prompter.messages().empty());
}

TEST_F(JournalCommandsTest, AuditTakesEachSelectedBillOnceAndComesBackToTheSameRow) {
    // Both lines of bill 1, a line of bill 3 and the totals row.
    view.select({0, 1, 3, 5}, 3);
    view.top = 2;
    ASSERT_TRUE(commands.check());
    EXPECT_EQ(ctx.gIdList, QStringLiteral("1,3"));
    EXPECT_TRUE(prompter.onlyMessage(QStringLiteral("审核成功!"), Icon::Information, ctx.msgTitle));
    EXPECT_EQ(status(1), 1);
    EXPECT_EQ(status(2), 0);
    EXPECT_EQ(status(3), 1);
    EXPECT_EQ(view.reloads, 2);
    EXPECT_EQ(view.current, 3);
    EXPECT_EQ(view.top, 2);

    // A refusal by the operation: no success message and no reload.
    prompter.clear();
    view.select({2}, 2);
    EXPECT_FALSE(commands.unCheck());
    EXPECT_TRUE(prompter.onlyMessage(QStringLiteral("编号为:QT0002的单据未审核!操作不成功"),
                                     Icon::Exclamation, ctx.msgTitle));
    EXPECT_EQ(view.reloads, 2);

    // Without a current row nothing is taken and nothing is said.
    prompter.clear();
    view.select({2}, -1);
    EXPECT_FALSE(commands.cancel());
    EXPECT_TRUE(prompter.messages().empty());
}

// Delete and void ask first, naming the selected bills; No changes nothing.
TEST_F(JournalCommandsTest, DeleteAndVoidAskNamingTheBillsOnlyWhenThereAreBills) {
    struct Case {
        Command command;
        const char* question;
        const char* success;
        const char* bills;  // the bills left after Yes, by id
        int voided;         // bills marked void after Yes
        int current;        // the current row after: the same bill, or the last bill above it
    };
    const Case cases[] = {
        {&JournalCommands::remove, "确定要删除所选定的单据吗?", "删除成功!", "1", 0, 1},
        {&JournalCommands::cancel, "确定要作废所选定的单据吗?", "作废成功!", "1,2,3", 2, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.question);
        db.exec("delete from icstockbillentry");
        db.exec("delete from icstockbill");
        addBills();
        ASSERT_TRUE(view.reload());
        prompter.clear();
        // The totals row current: nothing happens and nothing is asked (an
        // unexpected question would fail the test).
        view.select({0, 1, 2, 3, 4, 5}, 5);
        EXPECT_FALSE((commands.*c.command)());
        EXPECT_TRUE(prompter.messages().empty());

        prompter.expectQuestion(Answer::No);
        view.select({2, 3, 4}, 3);
        EXPECT_FALSE((commands.*c.command)());
        ASSERT_EQ(prompter.questions().size(), 1u);
        EXPECT_EQ(prompter.questions()[0].text,
                  QString::fromUtf8(c.question) + QStringLiteral("\n\n单据编号: QT0002、QT0003"));
        EXPECT_EQ(billCount(), 3);
        EXPECT_EQ(db.scalar("select count(*) from icstockbill where fcancellation=1").toInt(), 0);

        prompter.expectQuestion(Answer::Yes);
        ASSERT_TRUE((commands.*c.command)());
        EXPECT_TRUE(
            prompter.onlyMessage(QString::fromUtf8(c.success), Icon::Information, ctx.msgTitle));
        EXPECT_EQ(view.model.idList(), QString::fromUtf8(c.bills));
        EXPECT_EQ(db.scalar("select count(*) from icstockbill where fcancellation=1").toInt(),
                  c.voided);
        EXPECT_EQ(view.current, c.current);
    }
}

// Each line shows its bill's states as stored: named in its tip, and a voided
// bill looks voided whatever else it is.
TEST_F(JournalCommandsTest, LinesShowTheirBillsStates) {
    using M = query::JournalModel;
    struct Case {
        const char* set;  // columns of bill 3
        const char* tip;
        int background;
        QVariant text;
        bool struck;
    };
    const Case cases[] = {
        {"fstatus=0", "", M::kNotAuditedRgb, {}, false},
        {"fstatus=1", "已审核", M::kAuditedRgb, {}, false},
        {"frob=1", "红字", M::kNotAuditedRgb, M::kRedTextRgb, false},
        {"fstatus=1,fhxid=12", "已审核、已核销", M::kWrittenOffRgb, {}, false},
        {"frscinterid=2", "拆分", M::kSplitOffRgb, {}, false},
        {"fstatus=1,frob=1,fcancellation=1", "已审核、作废、红字", M::kVoidedRgb, M::kVoidedTextRgb,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.set);
        db.exec("update icstockbill set fstatus=0,frob=0,fcancellation=0,fhxid=0,frscinterid=0");
        db.exec(QStringLiteral("update icstockbill set %1 where finterid=3").arg(c.set));
        ASSERT_TRUE(view.reload());
        for (const int row : {3, 4}) {
            const QModelIndex at = view.model.index(row, 4);
            EXPECT_EQ(at.data(Qt::ToolTipRole).toString(), QString::fromUtf8(c.tip));
            EXPECT_EQ(at.data(M::BackgroundRgbRole).toInt(), c.background);
            EXPECT_EQ(at.data(M::TextRgbRole), c.text);
            EXPECT_EQ(at.data(M::StruckOutRole).toBool(), c.struck);
        }
        // Bill 2 keeps the plain look.
        EXPECT_EQ(view.model.index(2, 4).data(Qt::ToolTipRole).toString(), QString());
    }
}

// A long load or export shows how far it is; stopped, it leaves the journal
// as it was and writes no file.
TEST_F(JournalCommandsTest, LongWorkShowsProgressAndStopsCleanly) {
    // Bill 4 with 1,200 lines.
    db.exec(
        "insert into icstockbill(finterid,fbillno,fdate,ftrantype,fstatus,fyear,fperiod,"
        "fOperator,fstockid1) values(4,'QT0004','2026-12-05',7,0,2026,12,1,501)");
    db.exec(
        "with recursive n(i) as (select 1 union all select i+1 from n where i<1200) "
        "insert into icstockbillentry(finterid,fentryid,forderid,fitemid,funitid,fqty,"
        "fPrice,famount) select 4,i,i,1101,701,1,2,2 from n");
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("journal.xlsx"));
    struct Case {
        const char* what;
        std::function<bool()> run;
        int total;
    };
    const Case cases[] = {
        {"load", [&] { return view.reload(); }, 20000},
        {"export",
         [&] {
             prompter.expectFileName(file);
             return journal::exportJournalCommand(ctx, prompter, view.model);
         },
         1206},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        prompter.stopProgressAfter(-1);
        ASSERT_TRUE(c.run());
        ASSERT_EQ(view.model.lineCount(), 1205);
        ASSERT_FALSE(prompter.progressSeen().empty());
        EXPECT_EQ(prompter.progressSeen().back().total, c.total);
        EXPECT_EQ(prompter.progressSeen().back().reached, 1000);

        // Stopped at the first step: the same journal, no file, not a word.
        QFile::remove(file);
        prompter.clear();
        prompter.stopProgressAfter(0);
        EXPECT_FALSE(c.run());
        EXPECT_EQ(view.model.lineCount(), 1205);
        EXPECT_EQ(prompter.progressSeen().back().reached, 500);
        EXPECT_FALSE(QFile::exists(file));
        EXPECT_TRUE(prompter.messages().empty()) << prompter.lastText().toStdString();
    }
}

TEST_F(JournalCommandsTest, OpeningABillSetsTheModeAndRefreshesWhenTheEditorCloses) {
    ctx.gEntryKind = 3;
    view.editor = [this] {
        EXPECT_EQ(ctx.gEditMode, 4);
        EXPECT_EQ(ctx.gCurrentInterId, 3);
        EXPECT_EQ(ctx.gFromJournal, 1);
        // What the user saved meanwhile: a third line on bill 1, above bill 3,
        // and the editor was left on bill 1.
        db.exec(
            "insert into icstockbillentry(finterid,fentryid,forderid,fitemid,funitid,fqty,"
            "fPrice,famount) values(1,3,3,1101,701,7,2,14)");
        ctx.gCurrentInterId = 1;
        ctx.gBillIdIndex = 0;
    };
    view.select({3}, 3);
    view.top = 1;
    ASSERT_TRUE(commands.change());
    EXPECT_EQ(view.reloads, 2);
    EXPECT_EQ(view.model.lineCount(), 6);
    // The current row is bill 3's again, not the row number it had.
    EXPECT_EQ(view.current, 4);
    EXPECT_EQ(view.interId(4), 3);
    EXPECT_EQ(view.top, 1);
    EXPECT_EQ(ctx.gFromJournal, 0);

    // Under price editing the commands that add, remove or change the state
    // of bills do nothing at all.
    view.editor = nullptr;
    view.select({0}, 0);
    prompter.clear();
    for (Command command : {&JournalCommands::addNew, &JournalCommands::check,
                            &JournalCommands::remove, &JournalCommands::split}) {
        EXPECT_FALSE((commands.*command)());
    }
    EXPECT_TRUE(prompter.messages().empty());
    EXPECT_EQ(status(1), 0);
    EXPECT_EQ(view.editorOpened, 1);

    // The list is read again even when the editor cleared gFromJournal on
    // closing; a new bill opens in mode 0 and the current bill comes back.
    ctx.gEntryKind = 0;
    view.editor = [this] { ctx.gFromJournal = 0; };
    ASSERT_TRUE(commands.openCurrent());
    EXPECT_EQ(view.reloads, 3);
    view.editor = [this] { EXPECT_EQ(ctx.gEditMode, 0); };
    view.select({2}, 2);
    ASSERT_TRUE(commands.addNew());
    EXPECT_EQ(view.reloads, 4);
    EXPECT_EQ(view.current, 2);

    // The totals row opens nothing.
    view.select({}, view.rowCount() - 1);
    EXPECT_FALSE(commands.openCurrent());
    EXPECT_EQ(view.editorOpened, 3);
}

TEST_F(JournalCommandsTest, WriteOffNeedsTwoBillsAndUnWriteOffActsOnTheCurrentRow) {
    addBill(5, "2026-12-06", 1, {{1101, 4}});
    addBill(6, "2026-12-07", 1, {{1101, -4}});
    ASSERT_TRUE(view.reload());  // rows 5 and 6 are bills 5 and 6

    view.select({0, 1}, 0);  // one bill on two rows
    EXPECT_FALSE(commands.writeOff());
    EXPECT_TRUE(prompter.onlyMessage(QStringLiteral("必须选定两张或以上的单据才能进行核销!"),
                                     Icon::Exclamation, ctx.msgTitle));

    prompter.clear();
    view.select({5, 6}, 2);
    ASSERT_TRUE(commands.writeOff());
    EXPECT_EQ(ctx.gIdList, QStringLiteral("5,6"));
    EXPECT_TRUE(prompter.onlyMessage(QStringLiteral("核销成功!"), Icon::Information));
    const QString writeOffIds = QStringLiteral("select count(*) from icstockbill where fhxid<>0");
    EXPECT_EQ(db.scalar(writeOffIds).toInt(), 2);
    EXPECT_EQ(view.reloads, 3);
    EXPECT_EQ(view.current, 2);

    prompter.clear();
    view.select({}, 5);
    EXPECT_FALSE(commands.unWriteOff());
    EXPECT_TRUE(prompter.onlyMessage(QStringLiteral("请选定要反核销的单据!"), Icon::Exclamation,
                                     ctx.msgTitle));

    // Bill 2 selected, bill 5 current: bill 5's write-off is undone.
    prompter.clear();
    view.select({2}, 5);
    ASSERT_TRUE(commands.unWriteOff());
    EXPECT_EQ(db.scalar(writeOffIds).toInt(), 0);
    EXPECT_EQ(view.current, 5);

    // Restore asks first; No leaves everything as it was.
    prompter.clear();
    prompter.expectQuestion(Answer::No);
    EXPECT_FALSE(commands.restore());
    EXPECT_EQ(prompter.questions().back().text, QStringLiteral("确定要还原吗?"));
    EXPECT_EQ(view.reloads, 4);
}

TEST_F(JournalCommandsTest, SplitOpensOnlyABillThatMayBeSplit) {
    view.select({2}, 2);
    EXPECT_FALSE(commands.split());
    EXPECT_TRUE(prompter.onlyMessage(QStringLiteral("该单据未审核,不能进行拆分!"),
                                     Icon::Exclamation, ctx.msgTitle));
    EXPECT_EQ(view.editorOpened, 0);

    db.exec(QStringLiteral("update icstockbill set fstatus=1 where finterid=2"));
    view.editor = [this] {
        EXPECT_EQ(ctx.gEditMode, 2);
        EXPECT_EQ(ctx.gCurrentInterId, 2);
    };
    ASSERT_TRUE(commands.split());
    EXPECT_EQ(view.editorOpened, 1);
    EXPECT_EQ(view.current, 2);
    entry::closeConnection(ctx);
}

}  // namespace
