#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QDate>

#include "query/bill_find_controller.h"
#include "query/clause_builder.h"
#include "query/query_fixture.h"

using namespace Qt::StringLiterals;

using namespace otherin::query;
using otherin::testing::QueryFixture;

namespace {

// Catalogue slots of the demo fields used below.
constexpr int kBillNo = 1;
constexpr int kItemCode = 4;
constexpr int kQty = 10;
constexpr int kPrice = 11;

class ClauseTest : public ::testing::Test, protected QueryFixture {
  protected:
    void SetUp() override { find_.open(); }

    // Fills condition row `row` by choosing as the user would.
    void condition(int row, const QString& connector, int slot, const QString& op,
                   const QString& value) {
        ConditionGrid& g = find_.conditions();
        if (!connector.isEmpty()) g.chooseConnector(row, connectors.indexOf(connector));
        g.chooseField(row, slot);
        g.chooseOperator(row, g.operatorChoices(row).indexOf(op));
        g.setValue(row, value);
    }

    const QStringList connectors{u"与"_s, u"或"_s};
    BillFindController find_{ctx, prompter};
};

// Complete rows are joined by their connectors; a row without an operator or
// connector is skipped, and the first complete row opens the group whatever its connector.
TEST_F(ClauseTest, CompleteRowsAreJoinedLeftToRightAndTheFirstOpensTheGroup) {
    ConditionGrid& g = find_.conditions();
    QAbstractItemModelTester tester(&g, QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(find_.seekSQL(), QString());

    condition(0, {}, kQty, u"大于"_s, u"5"_s);
    g.chooseConnector(1, 0);
    g.chooseField(1, kPrice);  // no operator: incomplete
    condition(2, u"或"_s, kBillNo, u"等于"_s, u"QT001"_s);
    EXPECT_EQ(find_.seekSQL(), u" and ( fqty >5 or fbillno='QT001'"_s);

    g.setCell(2, ConditionGrid::Connector, QString());
    EXPECT_EQ(find_.seekSQL(), u" and ( fqty >5"_s);

    // Row 1 alone, joined by "or": its connector is dropped.
    g.setCell(0, ConditionGrid::Operator, QString());
    condition(1, u"或"_s, kItemCode, u"包含"_s, u"01"_s);
    EXPECT_EQ(find_.seekSQL(), u" and ( fItemNumber like '%01%' escape '!' "_s);
}

// Values are quoted or parsed, never pasted; a wrong value or unknown operator gives no SQL.
TEST_F(ClauseTest, ConditionsFollowTheFieldTypeAndOperator) {
    const struct {
        const char* type;
        const char16_t* op;
        const char* value;
        const char* sql;
    } cases[] = {
        {"1", u"大于", "", "f >0"},
        {"1", u"大于等于", " 2.50 ", "f >=2.5"},
        {"1", u"小于", ".5", "f <0.5"},
        {"1", u"小于等于", "007", "f <=7"},
        {"2", u"包含", "5%!", "f like '%5!%!!%' escape '!' "},
        {"2", u"不包含", "", "f not like '%%' escape '!' "},
        {"2", u"为空", "ignored", "(f is null or f='') "},
        {"2", u"不为空", "ignored", "(f is not null and f<>'') "},
        {"3", u"大于等于", "2026/3/5", "f>='2026-03-05'"},
        {"3", u"小于", "20260305", "f<'2026-03-05'"},
        {"3", u"等于", "2026.3.5", "f='2026-03-05'"},
        {"2", u"包含", "x'); drop table t;--", "f like '%x''); drop table t;--%' escape '!' "},
        {"1", u"等于", "1e400", nullptr},
        {"3", u"等于", "2026-02-30", nullptr},
        {"3", u"等于", "2026-01-01' or '1'='1", nullptr},
        {"3", u"或者", "2026-01-01", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.type) + " " + c.value);
        const QString op = QString::fromUtf16(c.op);
        if (c.sql) {
            EXPECT_EQ(conditionSQL("f", c.type, op, c.value, 1), QString::fromUtf8(c.sql));
        } else {
            EXPECT_THROW(conditionSQL("f", c.type, op, c.value, 2), ConditionError);
        }
    }
    // A field name brought back from a scheme is not pasted either.
    condition(0, {}, kQty, u"等于"_s, u"1"_s);
    find_.conditions().setCell(0, ConditionGrid::FieldName, u"fqty=fqty or 1"_s);
    EXPECT_THROW(find_.seekSQL(), ConditionError);
}

TEST_F(ClauseTest, QuickFiltersBuildTheMainClause) {
    QuickFilters& f = find_.filters();
    EXPECT_EQ(find_.mainSQL(), u" and fYear=2026 and fPeriod=3 and fcancellation=0"_s);

    for (int k = 0; k < QuickFilters::KindCount; ++k)
        f.filter(QuickFilters::Kind(k)).select(u"全部"_s);
    EXPECT_EQ(find_.mainSQL(), QString());

    f.filter(QuickFilters::DateRange).select(u"今天"_s);
    EXPECT_EQ(buildMainSQL(f, ctx, QDate(2026, 12, 31)),
              u" and fdate>='2026-12-31' and fdate<'2027-01-01'"_s);

    f.filter(QuickFilters::DateRange).select(u"本年"_s);
    f.filter(QuickFilters::Audit).select(u"未审核"_s);
    f.filter(QuickFilters::Void).select(u"作废"_s);
    f.filter(QuickFilters::RedBlue).select(u"红字"_s);
    f.filter(QuickFilters::Posted).select(u"未记账"_s);
    EXPECT_EQ(find_.mainSQL(),
              u" and fYear=2026 and fstatus=0 and "
              "fcancellation=1 and frob=1 and "
              "coalesce(fposted,0)=0"_s);

    // Price editing fixes them to the period's audited bills that are not void.
    ctx.gEntryKind = 3;
    BillFindController priced(ctx, prompter);
    priced.open();
    EXPECT_EQ(priced.mainSQL(),
              u" and fYear=2026 and fPeriod=3 and fstatus=1 and fcancellation=0"_s);
    EXPECT_TRUE(prompter.messages().empty());
}

}  // namespace
