#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <set>

#include "journal/excel_export.h"
#include "journal/journal_commands.h"
#include "journal/journal_fixture.h"
#include "query/journal_model.h"
#include "query/result_loader.h"

using namespace otherin;
using entry::Answer;
using entry::Icon;
using journal::JournalCommands;

using namespace Qt::StringLiterals;

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
    bool reloadQuietly() override { return reload(); }
    void selectRow(int row) override { selected.insert(row); }
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
        addJournalBills();
        ASSERT_TRUE(view.reload());
        ASSERT_EQ(view.rowCount(), 6);
    }

    // The stored bills: id, then A audited, V voided, H written off.
    QString bills() {
        return db
            .scalar(
                "select group_concat(b, ' ') from (select finterid || case fstatus when 1 "
                "then 'A' else '' end || case fcancellation when 1 then 'V' else '' end || "
                "case when fhxid<>0 then 'H' else '' end as b from icstockbill order by "
                "finterid) s")
            .toString();
    }
    QString journal() const {
        return u"%1 row %2 top %3 loads %4"_s.arg(view.model.idList())
            .arg(view.current)
            .arg(view.top)
            .arg(view.reloads);
    }

    ListView view{ctx, prompter};
    JournalCommands commands{ctx, prompter, view};
};

using Command = bool (JournalCommands::*)();

// A closed period is refused before the right is asked; without the right only
// the rights message is shown. User 3 holds none of the rights below but G01, G02.
TEST_F(JournalCommandsTest, AClosedPeriodOrAMissingRightIsRefusedWithOneMessage) {
    ctx.IsAdmin = 0;
    ctx.gLoginUserId = u"3"_s;
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
                EXPECT_TRUE(prompter.onlyMessage(u"当前期间已经关账,不能再进行处理"_s,
                                                 Icon::Critical, ctx.msgTitle));
            } else {
                // Each refusal names its own action after these words.
                EXPECT_TRUE(prompter.onlyMessage(prompter.lastText(), Icon::Exclamation));
                EXPECT_TRUE(prompter.lastText().startsWith(u"您无此权限！不能"_s))
                    << prompter.lastText().toStdString();
            }
        }
    }
    EXPECT_EQ(view.editorOpened, 0);
    EXPECT_EQ(bills(), u"1 2 3"_s);
}

// Steps run on what the one before left: each selected bill is taken once, the totals row
// never; a refusal reloads nothing; the current row follows its bill or the last one above.
TEST_F(JournalCommandsTest, CommandsTakeTheSelectedBillsAndKeepTheCurrentRow) {
    addBill(5, "QT0005", "2026-12-06", 1, 1, {{1101, 4, 2}});
    addBill(6, "QT0006", "2026-12-07", 1, 1, {{1101, -4, 2}});
    addBill(7, "QT0007", "2026-12-08", 0, 1, {{1101, 1, 2}});
    ASSERT_TRUE(view.reload());  // rows 5, 6 and 7 are bills 5, 6 and 7, row 8 the totals
    // rows: the current row, then the others selected ("-1": none current)
    const struct {
        Command command;
        const char* rows;
        int top;
        const char* answer;  // the answer to the question asked, if one is
        const char* told;
        const char* bills;
        const char* journal;
    } steps[] = {
        {&JournalCommands::split, "2", 0, "", "! 该单据未审核,不能进行拆分!", "1 2 3 5A 6A 7",
         "1,2,3,5,6,7 row 2 top 0 loads 2"},
        {&JournalCommands::remove, "8 0 1 2 3 4 5 6 7", 0, "", "", "1 2 3 5A 6A 7",
         "1,2,3,5,6,7 row 8 top 0 loads 2"},
        // a bill's second line names the bill as its first does
        {&JournalCommands::cancel, "4 2", 1, "no",
         "? 确定要作废所选定的单据吗?\n\n单据编号: QT0002、QT0003", "1 2 3 5A 6A 7",
         "1,2,3,5,6,7 row 4 top 1 loads 2"},
        {&JournalCommands::cancel, "3 2 4", 1, "yes",
         "? 确定要作废所选定的单据吗?\n\n单据编号: QT0002、QT0003\ni 作废成功!", "1 2V 3V 5A 6A 7",
         "1,2,3,5,6,7 row 3 top 1 loads 3"},
        {&JournalCommands::unCancel, "2 3", 0, "", "i 反作废成功!", "1 2 3 5A 6A 7",
         "1,2,3,5,6,7 row 2 top 0 loads 4"},
        {&JournalCommands::cancel, "-1 2", 0, "", "", "1 2 3 5A 6A 7",
         "1,2,3,5,6,7 row -1 top 0 loads 4"},
        {&JournalCommands::remove, "7 2", 0, "no",
         "? 确定要删除所选定的单据吗?\n\n单据编号: QT0002、QT0007", "1 2 3 5A 6A 7",
         "1,2,3,5,6,7 row 7 top 0 loads 4"},
        // the current bill is gone and its row is the totals row now: the last
        // bill above it becomes current
        {&JournalCommands::remove, "7 2", 0, "yes",
         "? 确定要删除所选定的单据吗?\n\n单据编号: QT0002、QT0007\ni 删除成功!", "1 3 5A 6A",
         "1,3,5,6 row 5 top 0 loads 5"},
        // rows 0-1 bill 1, 2-3 bill 3, 4 bill 5, 5 bill 6, 6 the totals
        {&JournalCommands::check, "1 0 2 6", 1, "", "i 审核成功!", "1A 3A 5A 6A",
         "1,3,5,6 row 1 top 1 loads 6"},
        {&JournalCommands::check, "0", 0, "", "! 编号为:QT0001的单据已经审核!操作不成功",
         "1A 3A 5A 6A", "1,3,5,6 row 0 top 0 loads 6"},
        {&JournalCommands::writeOff, "0 1", 0, "", "! 必须选定两张或以上的单据才能进行核销!",
         "1A 3A 5A 6A", "1,3,5,6 row 0 top 0 loads 6"},
        {&JournalCommands::writeOff, "4 5", 0, "", "i 核销成功!", "1A 3A 5AH 6AH",
         "1,3,5,6 row 4 top 0 loads 7"},
        {&JournalCommands::unWriteOff, "6", 0, "", "! 请选定要反核销的单据!", "1A 3A 5AH 6AH",
         "1,3,5,6 row 6 top 0 loads 7"},
        // bill 1 selected too, bill 5 current: bill 5's write-off is undone
        {&JournalCommands::unWriteOff, "4 0", 0, "", "i 反核销成功!", "1A 3A 5A 6A",
         "1,3,5,6 row 4 top 0 loads 8"},
        {&JournalCommands::restore, "0", 0, "no", "? 确定要还原吗?", "1A 3A 5A 6A",
         "1,3,5,6 row 0 top 0 loads 8"},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.journal);
        prompter.clear();
        if (s.answer == std::string("no")) prompter.expectQuestion(Answer::No);
        if (s.answer == std::string("yes")) prompter.expectQuestion(Answer::Yes);
        std::set<int> selected;
        for (const QString& row : QString::fromLatin1(s.rows).split(' '))
            selected.insert(row.toInt());
        view.select(selected, QString::fromLatin1(s.rows).section(' ', 0, 0).toInt());
        view.top = s.top;
        EXPECT_EQ((commands.*s.command)(),
                  QString::fromUtf8(s.told).section('\n', -1).startsWith("i "));
        EXPECT_EQ(prompter.transcript(), QString::fromUtf8(s.told));
        EXPECT_EQ(bills(), QString::fromUtf8(s.bills));
        EXPECT_EQ(journal(), QString::fromUtf8(s.journal));
    }
}

// Each line shows its bill's states as stored: named in its tip, and a voided
// bill looks voided whatever else it is.
TEST_F(JournalCommandsTest, LinesShowTheirBillsStates) {
    using M = query::JournalModel;
    const struct {
        const char* set;  // columns of bill 3
        const char* tip;
        int background;
        QVariant text;
        bool struck;
    } cases[] = {
        {"fstatus=0", "", M::kNotAuditedRgb, {}, false},
        {"fstatus=1", "已审核", M::kAuditedRgb, {}, false},
        {"frob=1", "红字", M::kNotAuditedRgb, M::kRedTextRgb, false},
        {"fstatus=1,fhxid=12", "已审核、已核销", M::kWrittenOffRgb, {}, false},
        {"frscinterid=2", "拆分", M::kSplitOffRgb, {}, false},
        {"fstatus=1,frob=1,fcancellation=1,fhxid=12,frscinterid=2",
         "已审核、作废、红字、已核销、拆分", M::kVoidedRgb, M::kVoidedTextRgb, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.set);
        db.exec("update icstockbill set fstatus=0,frob=0,fcancellation=0,fhxid=0,frscinterid=0");
        db.exec(u"update icstockbill set %1 where finterid=3"_s.arg(c.set));
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

TEST_F(JournalCommandsTest, ALongExportShowsProgressAndStopsCleanly) {
    addBill(4, "QT0004", "2026-12-05", 0, 1, {});
    db.exec(
        "with recursive n(i) as (select 1 union all select i+1 from n where i<1200) "
        "insert into icstockbillentry(finterid,fentryid,forderid,fitemid,funitid,fqty,"
        "fPrice,famount) select 4,i,i,1101,701,1,2,2 from n");
    ASSERT_TRUE(view.reload());
    QTemporaryDir dir;
    const QString file = dir.filePath(u"journal.xlsx"_s);
    const auto exported = [&] {
        prompter.expectFileName(file);
        const bool written = journal::exportJournalCommand(ctx, prompter, view.model);
        return u"%1: %2 of %3"_s.arg(written)
            .arg(prompter.progressSeen().back().reached)
            .arg(prompter.progressSeen().back().total);
    };
    EXPECT_EQ(exported(), u"1: 1000 of 1206"_s);
    QFile::remove(file);
    prompter.clear();
    prompter.stopProgressAfter(0);
    EXPECT_EQ(exported(), u"0: 500 of 1206"_s);
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_EQ(prompter.transcript(), QString());
}

// After the editor closes the journal is read again and the current row follows its bill;
// under price editing the changing commands and the totals row do nothing.
TEST_F(JournalCommandsTest, TheEditorOpensInTheCommandsModeAndTheJournalFollowsIt) {
    db.exec(u"update icstockbill set fstatus=1 where finterid=2"_s);
    QStringList opened;  // mode:bill:from journal
    view.editor = [this, &opened] {
        opened << u"%1:%2:%3"_s.arg(ctx.gEditMode).arg(ctx.gCurrentInterId).arg(ctx.gFromJournal);
        if (opened.size() == 1) {
            // The user saved a third line on bill 1, above bill 3, and left
            // the editor on bill 1.
            db.exec(
                "insert into icstockbillentry(finterid,fentryid,forderid,fitemid,funitid,fqty,"
                "fPrice,famount) values(1,3,3,1101,701,7,2,14)");
            ctx.gCurrentInterId = 1;
            ctx.gBillIdIndex = 0;
        } else {
            ctx.gFromJournal = 0;  // as the editor may on closing
        }
    };
    ctx.gEntryKind = 3;
    view.select({3}, 3);
    view.top = 1;
    ASSERT_TRUE(commands.change());
    EXPECT_EQ(journal(), u"1,2,3 row 4 top 1 loads 2"_s);
    EXPECT_EQ(ctx.gFromJournal, 0);
    view.select({0}, 0);
    for (Command command : {&JournalCommands::addNew, &JournalCommands::check,
                            &JournalCommands::remove, &JournalCommands::split}) {
        EXPECT_FALSE((commands.*command)());
    }

    ctx.gEntryKind = 0;
    view.select({3}, 3);  // bill 2, below bill 1's three lines
    view.top = 0;
    ASSERT_TRUE(commands.openCurrent());
    ASSERT_TRUE(commands.addNew());
    ASSERT_TRUE(commands.split());
    view.select({}, view.rowCount() - 1);
    EXPECT_FALSE(commands.openCurrent());
    EXPECT_EQ(opened, (QStringList{"4:3:1", "1:2:1", "0:2:1", "2:2:1"}));
    EXPECT_EQ(journal(), u"1,2,3 row 6 top 0 loads 5"_s);
    EXPECT_EQ(bills(), u"1 2A 3"_s);
    EXPECT_EQ(prompter.transcript(), QString());
    entry::closeConnection(ctx);
}

}  // namespace
