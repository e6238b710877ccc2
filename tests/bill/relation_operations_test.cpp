#include <gtest/gtest.h>

#include "bill/split_save.h"
#include "scenario.h"

using namespace otherin;
using namespace otherin::testing;

namespace {

// The split check refuses in this order, against the first day of the current
// month rather than the period's start; a bill that may be split keeps the
// connection open for the editor.
const Scenario kSplitChecks[] = {
    {"1AF 101*5", "check/start10 1"},
    {"2AO 101*5", "check/start10 2", "-! 不能进行拆分以前期间的单据"},
    {"3OV 101*5", "check/start10 3", "-! 该单据未审核,不能进行拆分!"},
    {"4AOV 101*5", "check/start10 4", "-! 该单据已经作废,不能进行拆分!"},
    {"1AF 101*5; 5AFS1H3 101*5", "check/start10 5", "-! 该单据为拆分单据,不能进行再拆分!"},
    {"6AFK2H3 101*5", "check/start10 6", "-! 该单据已经钩稽,不能进行再拆分!"},
    {"7AFH3 101*5", "check/start10 7", "-! 该单据已经核销,不能进行再拆分!"},
    {"1A 101*5", "check/start10 99", "-x 数据读取错误!"},
};

// On a server, a clerk's own login holding the rights (no administrator)
// passes the server's rules in every relation operation, which then runs as
// the owner's function.
const Scenario kAsAClerk[] = {
    {"1A 101*10 102*4 103*1", "split/clerk 1:,2,0", "+i 拆分成功,新单据编号为:QTRK000012",
     "1A 101*10=20 102*2=4 103*1=2; 21AS1#QTRK000012 102*2=4"},
    {"~", "restore/clerk 21", "+i 还原成功!", "1A 101*10=20 102*4=8 103*1=2 | ~ | 1:QTRK000012"},
    {"1A 101*5; 2AR 101*-5", "hx/clerk 1,2", "+i 核销成功!", "1AH1; 2ARH1"},
    {"~", "unhx/clerk 2", "+i 反核销成功!", "1A; 2AR"},
};

// The relation operations show what the procedures answer, a refusal too; a
// split bill and its source stay audited until restored.
const Scenario kRelations[] = {
    {"1A 101*10 102*4 103*1", "split/admin 1:,2,0", "+i 拆分成功,新单据编号为:QTRK000012",
     "1A 101*10=20 102*2=4 103*1=2; 21AS1#QTRK000012 102*2=4"},
    {"~", "unaudit 1", "-! 您所选定的单据包含被拆分单据,不能进行反审核!"},
    {"~", "restore 21", "+i 还原成功!", "1A 101*10=20 102*4=8 103*1=2 | ~ | 1:QTRK000012"},
    {"~", "unaudit/save 1", "+", "1"},
    {"1A 101*10", "split/admin/closed 1:1", "-x 当前期间已经关账,不能新增当前及以前期间单据"},
    {"2 101*10", "split/admin 2:1", "-! 该单据未审核,不能进行拆分!"},
    {"1A 101*5; 2AR 101*-5", "hx 1,2", "+i 核销成功!", "1AH1; 2ARH1"},
    {"3A 101*5; 4AR 101*-3", "hx 3,4", "+i 物料01.001(批号B1)的数量不能相互抵销,不能进行核销!"},
    {"1AH1 101*5; 2ARH1 101*-5", "unhx 2", "+i 反核销成功!", "1A; 2AR"},
    {"3A 101*5", "restore 3", "+i 该单据不是拆分单据,不能进行还原!"},
    // a database error: its own text, plain, OK/Cancel
    {"1A 101*5; 2AR 101*-5", "hx 1,2;delete from icstockbill",
     "-? 单据内码列表无效: \"1,2;delete from icstockbill\" 中的 \"2;delete from icstockbill\" "
     "不是整数内码"},
};

TEST(RelationOperationsTest, SplitCheckRefusesInOrderAgainstTheFirstOfTheMonth) {
    runScenarios(kSplitChecks);
}

TEST(RelationOperationsTest, RelationOperationsShowWhatTheProceduresAnswer) {
    runScenarios(kRelations);
}

// The typed quantities go to the database as typed, each followed by a comma;
// the database refuses what is not a number itself.
TEST(RelationOperationsTest, AClerksOwnLoginPassesTheServersRulesInEveryRelationOperation) {
    runScenarios(kAsAClerk);
}

TEST(RelationOperationsTest, SplitListIsSentAsTyped) {
    const bill::SplitList typed = bill::buildSplitList(
        {QString(), QStringLiteral("0"), QStringLiteral("0.00"), QStringLiteral("abc")});
    EXPECT_EQ(typed.text, QStringLiteral("0,0,0.00,abc,"));
    EXPECT_EQ(typed.cutLines, 1);
}

}  // namespace
