#include <gtest/gtest.h>

#include <QAbstractItemModelTester>

#include "query/bill_find_controller.h"
#include "query/journal_content.h"
#include "query/journal_model.h"
#include "query/query_fixture.h"
#include "query/result_loader.h"

using namespace Qt::StringLiterals;

using namespace otherin::query;
using otherin::testing::QueryFixture;

namespace {

// Journal columns of the demo layout.
constexpr int kDateCol = 3;
constexpr int kBillNoCol = 4;
constexpr int kOperatorCol = 7;
constexpr int kItemCodeCol = 9;
constexpr int kQtyCol = 15;
constexpr int kPriceCol = 16;
constexpr int kAmountCol = 17;

class FindTest : public ::testing::Test, protected QueryFixture {
  protected:
    void SetUp() override {
        // Bill 1: audited, three lines, by 张三; bills 2 and 3 by 李四.
        addBill(1, "QT0001", "2026-03-02", 1, 2, {{1101, 10, 2.5}, {1102, 1.5, 4}, {1121, 0.1, 3}});
        addBill(2, "QT0002", "2026-03-03", 0, 3, {{1103, 2, 1000}}, "O'Brien?:x");
        addBill(3, "QT0003", "2026-02-27", 0, 3, {{1104, 0.2, 1}});
    }

    bool run(const QString& seek = {}, const QString& main = {}, const QString& order = {}) {
        return find(ctx, prompter, journal, seek, main, order);
    }
    QString cell(int row, int col) { return journal.text(row, col); }
    // The rows as shown: the texts of `columns` joined by "|", one row a line.
    QString shown(std::initializer_list<int> columns) {
        QStringList rows;
        for (int r = 0; r < journal.rowCount(); ++r) {
            QStringList cells;
            for (int c : columns) cells << cell(r, c);
            rows << cells.join('|');
        }
        return rows.join('\n');
    }
    // Which of quantity, price and amount are hidden.
    QString hidden() {
        QString out;
        for (int c : {kQtyCol, kPriceCol, kAmountCol}) out += journal.isColumnHidden(c) ? "H" : "-";
        return out;
    }

    JournalModel journal;
};

// A bill's own columns show on its first line only; the totals add up
// 10 + 1.5 + 0.1 + 2 + 0.2 and 25 + 6 + 0.3 + 2000 + 0.2 without drift.
TEST_F(FindTest, LinesShowBillColumnsOnceWithTotalsAndIds) {
    QAbstractItemModelTester tester(&journal,
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    ASSERT_TRUE(run());
    EXPECT_EQ(
        shown({kDateCol, kBillNoCol, kOperatorCol, kItemCodeCol, kQtyCol, kPriceCol, kAmountCol}),
        u"2026-03-02|QT0001|张三|01.001|10.00|2.50|25.00\n"
        "|||01.002|1.50|4.00|6.00\n"
        "|||02.001|0.10|3.00|0.30\n"
        "2026-03-03|QT0002|李四|01.003|2.00|1,000.00|2,000.00\n"
        "2026-02-27|QT0003|李四|01.004|0.20|1.00|0.20\n"
        "合计||||13.80||2,031.50"_s);
    EXPECT_TRUE(journal.isTotalsRow(5));
    EXPECT_EQ(journal.interId(5), 0);
    EXPECT_EQ(journal.idList(), u"1,2,3"_s);
    EXPECT_EQ(ctx.gBillIdList, (QStringList{"1", "2", "3"}));
    EXPECT_TRUE(journal.statusText().startsWith(u"共计:3张单据,5条记录(取数时间"_s))
        << journal.statusText().toStdString();
    EXPECT_FALSE(ctx.gConnection.isOpen());

    // A second load replaces everything.
    ASSERT_TRUE(run(" and ( finterid =3"));
    EXPECT_EQ(journal.rowCount(), 2);
    EXPECT_EQ(journal.idList(), u"3"_s);
}

TEST_F(FindTest, UsersAreScopedByTheirTypeAndHiddenFieldsApply) {
    ctx.IsAdmin = 0;
    ctx.UserType = 3;
    ctx.gLoginUserId = "3";
    db.exec(
        "insert into tblEntryVisible(ftypeid,fbilltypeid,fuserid,fFieldName) values"
        "(7,2,3,'FPRICE'),(7,1,3,'famount'),(7,2,2,'fqty')");
    ASSERT_TRUE(run());
    EXPECT_EQ(journal.idList(), u"2,3"_s);
    EXPECT_EQ(hidden(), u"-H-"_s);
    EXPECT_TRUE(journal.statusText().endsWith(u"秒);只列出本人制单的单据"_s))
        << journal.statusText().toStdString();

    // Type 2: bills of the user's groups except group 1, and the user's own.
    addBill(4, "QT0004", "2026-03-04", 0, 4, {{1101, 1, 1}});
    addBill(5, "QT0005", "2026-03-04", 0, 1, {{1101, 1, 1}});
    db.exec("insert into tblUserGroupRelation(fuserid,fgroupid) values(4,10),(2,1)");
    ctx.UserType = 2;
    ctx.gLoginUserId = "2";
    ASSERT_TRUE(run());
    EXPECT_EQ(journal.idList(), u"1,4"_s);
    EXPECT_EQ(hidden(), u"H--"_s);
    EXPECT_TRUE(journal.statusText().endsWith(u"只列出本人及同组用户制单的单据"_s));

    ctx.IsAdmin = 1;
    ASSERT_TRUE(run());
    EXPECT_EQ(journal.billCount(), 5);
    EXPECT_EQ(hidden(), u"---"_s);
    EXPECT_TRUE(journal.statusText().endsWith(u"秒)"_s));
}

// Texts are found as typed: quotes, question marks and colons are no
// placeholders, and wildcards are taken literally.
TEST_F(FindTest, TextConditionsTakeWildcardsLiterallyAndBlankAsEmpty) {
    db.exec("update icstockbill set fexplanation='a_b' where finterid=1");
    // Bills 4 to 11 by 李四; bill 7 is given no remark here, then an empty one.
    int id = 3;
    for (const char* remark : std::initializer_list<const char*>{
             "axb", "50%", "5000", nullptr, "!x", R"(\' or 1=1 --)", R"(\)", R"(C:\temp\)"}) {
        ++id;
        addBill(id, u"QT%1"_s.arg(id, 4, 10, QLatin1Char('0')), u"2026-03-04"_s, 0, 3,
                {{1101, 1, 1}}, QString::fromUtf8(remark));
    }
    db.exec("update icstockbill set fexplanation='' where finterid=7");
    ASSERT_TRUE(db.scalar("select fexplanation from icstockbill where finterid=3").isNull());

    BillFindController query(ctx, prompter);
    query.open();
    for (int k = 0; k < QuickFilters::KindCount; ++k)
        query.filters().filter(QuickFilters::Kind(k)).select(u"全部"_s);
    ConditionGrid& g = query.conditions();
    g.chooseField(0, g.catalogue().titles().indexOf(u"摘要"_s));
    const struct {
        const char16_t* op;
        const char* value;
        const char* bills;
    } cases[] = {
        {u"等于", "O'Brien?:x", "2"},
        {u"包含", "n?:", "2"},
        {u"包含", "a_b", "1"},
        {u"包含", "_", "1"},
        {u"包含", "50%", "5"},
        {u"包含", "%", "5"},
        {u"包含", "!x", "8"},
        {u"包含", "", "1,2,3,4,5,6,7,8,9,10,11"},
        {u"不包含", "_", "2,3,4,5,6,7,8,9,10,11"},
        {u"为空", "", "3,7"},
        {u"不为空", "", "1,2,4,5,6,8,9,10,11"},
        // Quotes and backslashes end nothing: each text finds its own bill only.
        {u"等于", R"(\' or 1=1 --)", "9"},
        {u"包含", R"(\' or 1=1)", "9"},
        {u"等于", R"(\)", "10"},
        {u"包含", R"(\)", "9,10,11"},
        {u"等于", R"(C:\temp\)", "11"},
        {u"包含", R"(:\temp\)", "11"},
        {u"等于", R"(x\'); delete from icstockbill; --)", ""},
        {u"包含", R"(x\'); delete from icstockbill; --)", ""},
    };
    for (const auto& c : cases) {
        const QString op = QString::fromUtf16(c.op);
        g.chooseOperator(0, g.operatorChoices(0).indexOf(op));
        g.setValue(0, QString::fromUtf8(c.value));
        ASSERT_TRUE(query.runQuery(journal)) << prompter.lastText().toStdString();
        EXPECT_EQ(journal.idList(), QString::fromUtf8(c.bills))
            << op.toStdString() << " " << c.value;
    }
    EXPECT_TRUE(prompter.messages().empty());
    EXPECT_EQ(db.scalar("select count(*) from icstockbill").toInt(), 11);
}

// A value holding a control character is refused before any statement is
// built, naming its row, whatever the field's type; "为空" compares no value.
TEST_F(FindTest, AValueWithAControlCharacterIsRefusedNamingItsRow) {
    BillFindController query(ctx, prompter);
    query.open();
    ConditionGrid& g = query.conditions();
    const auto choose = [&](int row, const char16_t* title, const char16_t* op) {
        g.chooseField(row, g.catalogue().titles().indexOf(QString::fromUtf16(title)));
        g.chooseOperator(row, g.operatorChoices(row).indexOf(QString::fromUtf16(op)));
    };
    choose(0, u"摘要", u"等于");
    g.setValue(0, "O'Brien?:x");
    g.chooseConnector(1, 0);
    const QString nul(QChar(0));
    const struct {
        const char16_t* title;
        const char16_t* op;
        QString value;
        bool refused;
    } cases[] = {
        {u"摘要", u"包含", "a\tb", true},
        {u"单据编号", u"不等于", "QT\x7f", true},
        {u"数量", u"等于", "2\r", true},
        {u"日期", u"等于", "2026-03-03\n", true},
        {u"摘要", u"等于", "O'Brien?:x" + nul, true},  // quoted, it would fail the statement
        {u"摘要", u"为空", "\x01", false},
    };
    const QString refusal =
        u"第2行条件的值含有不可见的控制字符(可能是从其他程序粘贴来的),请删除后重新输入!"_s;
    for (const auto& c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.title).toStdString());
        ASSERT_TRUE(run(" and ( finterid =1"));
        choose(1, c.title, c.op);
        g.setValue(1, c.value);
        EXPECT_EQ(g.index(1, ConditionGrid::Value).data(Qt::ToolTipRole).toString(),
                  c.refused ? refusal : QString());
        EXPECT_EQ(query.runQuery(journal), !c.refused);
        if (c.refused) {
            EXPECT_TRUE(prompter.onlyMessage(refusal, otherin::entry::Icon::Exclamation));
            EXPECT_EQ(journal.idList(), u"1"_s);
        } else {
            EXPECT_TRUE(prompter.messages().empty()) << prompter.lastText().toStdString();
        }
        prompter.clear();
    }
}

TEST_F(FindTest, AResultCutAtTheLineLimitSaysSoAndAStoppedLoadChangesNothing) {
    // Bills 1 to 3 have 5 lines; bill 4 brings them to the limit exactly.
    addBill(4, "QT0004", "2026-03-04", 0, 3, {});
    db.exec(
        u"with recursive n(i) as (select 1 union all select i+1 from n "
        "where i<%1) insert into icstockbillentry(finterid,fentryid,forderid,"
        "fitemid,funitid,fqty,fPrice,famount) select 4,i,i,1101,701,1,1,1 "
        "from n"_s.arg(kJournalLineLimit - 5));
    ASSERT_TRUE(run());
    EXPECT_TRUE(journal.statusText().endsWith(u"秒)"_s)) << journal.statusText().toStdString();

    db.exec(
        "insert into icstockbillentry(finterid,fentryid,forderid,fitemid,funitid,fqty,fPrice,"
        "famount) values(4,?,?,1101,701,1,1,1)",
        {kJournalLineLimit, kJournalLineLimit});
    ASSERT_TRUE(run());
    EXPECT_EQ(journal.lineCount(), kJournalLineLimit);
    EXPECT_TRUE(journal.statusText().endsWith(
        u"秒),符合条件的记录超过20000条,只列出前20000条,请增加查询条件"_s))
        << journal.statusText().toStdString();

    // Stopped at its first step, a load leaves the journal as it was, silently.
    prompter.stopProgressAfter(0);
    EXPECT_FALSE(run());
    EXPECT_EQ(u"%1 lines, %2 of %3"_s.arg(journal.lineCount())
                  .arg(prompter.progressSeen().back().reached)
                  .arg(prompter.progressSeen().back().total),
              u"20000 lines, 500 of 20000"_s);
    EXPECT_EQ(prompter.transcript(), QString());
}

// A failed load tells why and leaves the journal as it was.
TEST_F(FindTest, EmptyResultsAndFailures) {
    ASSERT_TRUE(run(" and ( fbillno='none'"));
    EXPECT_EQ(journal.rowCount(), 0);
    EXPECT_TRUE(ctx.gBillIdList.isEmpty());
    EXPECT_TRUE(journal.statusText().startsWith(u"共计:0张单据,0条记录(取数时间"_s));
    // An empty price-editing journal says why.
    ctx.gEntryKind = 3;
    ASSERT_TRUE(run(" and ( fbillno='none'"));
    EXPECT_TRUE(journal.statusText().endsWith(
        u";当前期间及所选过滤条件下没有单据,请在查询条件中更改期间或过滤条件"_s));
    ctx.gEntryKind = 0;

    ASSERT_TRUE(run());
    db.exec("insert into tblFindInfoEntry(ftypeid,fentryid,fFieldname) values(7,17,'fNoSuch')");
    EXPECT_FALSE(run());
    EXPECT_EQ(prompter.transcript(), u"0 列 fNoSuch 不存在"_s);
    EXPECT_EQ(journal.lineCount(), 5);
    EXPECT_FALSE(ctx.gConnection.isOpen());
}

TEST_F(FindTest, SumFlagNamesTheColumnAtItsEntryIdPlusTwo) {
    // Without row 4 the ids have a gap: 数量 (id 13) is now column 14, and
    // its flag totals column 15, which shows 单价.
    db.exec("delete from tblFindInfoEntry where fentryid=4");
    ASSERT_TRUE(run());
    EXPECT_EQ(journal.headerData(15, Qt::Horizontal).toString(), u"单价"_s);
    EXPECT_EQ(cell(5, 15), u"1,010.50"_s);
    EXPECT_EQ(cell(5, 14), QString());
}

// Each case appends `repeat` lines of `amount` (and `last` once) to a one-sum journal and
// reads the totals row.
TEST(JournalTotalsTest, TotalsStayExactAndNeverWrap) {
    const struct {
        const char* what;
        QVariant amount;
        int repeat;
        QVariant last;
        double total;
    } cases[] = {
        {"millionths do not drift", 0.1, 20000, QVariant(), 2000.0},
        {"signs cancel to zero", 0.3, 3, -0.9, 0.0},
        {"past 9.22e12 with cents", 4999999999999.75, 2, 0.5, 1e13},
        {"negative past the limit", -6e12, 3, QVariant(), -1.8e13},
        {"one line past 64 bits of millionths", 1e16, 1, 2.5, 10000000000000002.0},
        {"texts holding numbers", u"3000000000000.5"_s, 4, QVariant(), 12000000000002.0},
    };
    std::vector<JournalColumn> columns(4);
    columns[3].summed = true;
    for (const auto& c : cases) {
        JournalContent content(columns);
        content.addBill(u"1"_s);
        const QVariant line[4] = {1, 1, u"QT1"_s, c.amount};
        for (int i = 0; i < c.repeat; ++i) content.appendLine(line, i == 0, false);
        if (c.last.isValid()) {
            const QVariant tail[4] = {1, 2, u"QT1"_s, c.last};
            content.appendLine(tail, false, false);
        }
        EXPECT_EQ(content.total(3), c.total) << c.what;
    }
}

}  // namespace
