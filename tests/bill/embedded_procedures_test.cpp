#include <gtest/gtest.h>

#include "scenario.h"

using otherin::testing::runScenarios;
using otherin::testing::Scenario;

namespace {

// A split cuts lines into a new audited bill with the next number, amounts in
// proportion to whole cents (a whole line hands over its whole amount, a red
// line is cut signed), and leaves the ledger alone. A refusal writes nothing
// and uses no number.
const Scenario kSplits[] = {
    {"1A 101*10 102*4 103*10@3.33=33.3 | 101:10 103:10=33.3", "p-split 1:5,0,3,",
     "+  拆分成功,新单据编号为:QTRK000012",
     "1A 101*5=10 102*4=8 103*7=23.31; 21AS1#QTRK000012 101*5=10 103*3=9.99"},
    {"1AR 101*-10 102*4@2.5=10.005 104*3@3.333333=10", "p-split 1:4,4,1,",
     "+  拆分成功,新单据编号为:QTRK000012",
     "1AR 101*-6=-12 102*0=0 104*2=6.67; 21ARS1#QTRK000012 101*-4=-8 102*4=10.005 104*1=3.33"},
    {"1A 101*10 102*4; 2 101*10; 3AV 101*10; 4AH9 101*10; 5AK8 101*10; 6AS1 101*10",
     "p-split 99:1,", "-  该单据不存在,不能进行拆分!"},
    {"~", "p-split 2:1,", "-  该单据未审核,不能进行拆分!"},
    {"~", "p-split 3:1,", "-  该单据已经作废,不能进行拆分!"},
    {"~", "p-split 4:1,", "-  该单据已经核销,不能进行再拆分!"},
    {"~", "p-split 5:1,", "-  该单据已经钩稽,不能进行再拆分!"},
    {"~", "p-split 6:1,", "-  该单据为拆分单据,不能进行再拆分!"},
    {"~", "p-split 1:5,", "-  拆分数量个数(1)与单据分录数(2)不一致,不能进行拆分!"},
    {"~", "p-split 1:1,-1,", "-  第2行拆分数量不能为负数!"},
    {"~", "p-split 1:x,0,", "-  第1行拆分数量\"x\"不是数字,不能进行拆分!"},
    {"~", "p-split 1:1,4.000001,", "-  第2行拆分数量不能大于原有数量!"},
    {"~", "p-split 1:0,0.00,", "-  拆单数量不能全都为零!"},
    {"~", "p-split 1 or 1=1:1,0,",
     "-  单据内码列表无效: \"1 or 1=1\" 中的 \"1 or 1=1\" 不是整数内码"},
    {"~", "p-split 1:1,0,", "+  拆分成功,新单据编号为:QTRK000012",
     "1A 101*9=18 102*4=8; 2; 3AV; 4AH9; 5AK8; 6AS1; 21AS1#QTRK000012 101*1=2"},
};

// Restoring puts a split bill's lines back onto its source and frees its
// number; the source restores every bill split from it. Nothing written off or
// reconciled since the split is restored.
const Scenario kRestores[] = {
    {"1A 101*10@3.33=33.3 102*4", "p-split/freed 1:3,0,", "+  拆分成功,新单据编号为:QTRK000012",
     "1A 101*7=23.31 102*4=8; 21AS1#QTRK000012 101*3=9.99"},
    {"~", "p-split 1:3,4,", "+  拆分成功,新单据编号为:QTRK000013",
     "1A 101*4=13.32 102*0=0; 21AS1#QTRK000012; 22AS1#QTRK000013 101*3=9.99 102*4=8"},
    {"~", "p-restore 22", "+  还原成功!",
     "1A 101*7=23.31 102*4=8; 21AS1#QTRK000012 | ~ | 4:QTRK000003 5:QTRK000013"},
    {"~", "p-split 1:1,1,", "+  拆分成功,新单据编号为:QTRK000014",
     "1A 101*6=19.98 102*3=6; 21AS1#QTRK000012; 23AS1#QTRK000014 101*1=3.33 102*1=2"},
    {"~", "p-restore 1", "+  还原成功!",
     "1A 101*10=33.3 102*4=8 | ~ | 4:QTRK000003 5:QTRK000013 6:QTRK000012 7:QTRK000014"},
    {"~", "p-restore 1", "-  该单据不是拆分单据,不能进行还原!"},
    {"1A 101*2; 21AS1 101*4; 22AS1H3 101*4", "p-restore 1",
     "-  编号为:QT22的单据已经核销,不能进行还原!"},
    {"1A 101*2; 22AS1K7 101*4", "p-restore 22", "-  编号为:QT22的单据已经钩稽,不能进行还原!"},
    {"1AH4 101*2; 21AS1 101*4", "p-restore 21", "-  编号为:QT01的源单据已经核销,不能进行还原!"},
    {"1AK7 101*2; 21AS1 101*4", "p-restore 21", "-  编号为:QT01的源单据已经钩稽,不能进行还原!"},
    {"1A 101*2", "p-restore 99", "-  该单据不存在,不能进行还原!"},
};

// Write-off nets red against blue under one new id; un-write-off clears the
// whole group and nothing else.
const Scenario kWriteOffs[] = {
    {"1A 101*5 102*2@1; 2AR 102*-2@1 101*-5; 3A 101*5; 4R 101*-5; 5AVR 101*-5", "p-hx 1,2,1",
     "+  核销成功!", "1AH1; 2ARH1; 3A; 4R; 5AVR"},
    {"~", "p-hx 3", "-  必须选定两张或以上的单据才能进行核销!"},
    {"~", "p-hx 3,1", "-  编号为:QT01的单据已经核销,不能再次核销!"},
    {"~", "p-hx 3,4", "-  编号为:QT04的单据未审核,不能进行核销!"},
    {"~", "p-hx 3,5", "-  编号为:QT05的单据已经作废,不能进行核销!"},
    {"~", "p-hx 3,99", "-  内码为99的单据不存在,不能进行核销!"},
    {"~", "p-hx 3,4) or (1=1",
     "-  单据内码列表无效: \"3,4) or (1=1\" 中的 \"4) or (1=1\" 不是整数内码"},
    {"~", "audit/save 4", "+", "1AH1; 2ARH1; 3A; 4ARC2; 5AVR"},
    {"~", "p-hx 3,4", "+  核销成功!", "1AH1; 2ARH1; 3AH2; 4ARH2C2; 5AVR"},
    {"~", "p-unhx 2", "+  反核销成功!", "1A; 2AR; 3AH2; 4ARH2C2; 5AVR"},
    {"~", "p-unhx 2", "-  编号为:QT02的单据未核销,不能进行反核销!"},
    {"~", "p-unhx 99", "-  该单据不存在,不能进行反核销!"},
    {"3A 101*5; 4AR 101*-3", "p-hx 3,4", "-  物料01.001(批号B1)的数量不能相互抵销,不能进行核销!"},
};

TEST(EmbeddedProceduresTest, SplitCutsLinesIntoANewAuditedBillWithWholeCents) {
    runScenarios(kSplits);
}

TEST(EmbeddedProceduresTest, RestoreBringsTheSourceBackExactlyAndFreesTheNumbers) {
    runScenarios(kRestores);
}

TEST(EmbeddedProceduresTest, WriteOffNetsRedAgainstBlueUnderOneNewId) {
    runScenarios(kWriteOffs);
}

}  // namespace
