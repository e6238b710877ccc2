#include <gtest/gtest.h>

#include "scenario.h"

using namespace otherin::testing;
using enum Op;

namespace {

const char* const kSplit12 = "拆分成功,新单据编号为:QTRK000012";

// A split cuts lines into a new audited bill with the next number, amounts in
// proportion to whole cents (a whole line hands over its whole amount, a red
// line is cut signed), and leaves the ledger alone.
const Scenario kSplits[] = {
    {.bills = "1A 101*10 102*4 103*10@3.33=33.3",
     .ledger = "101:10 103:10=33.3",
     .op = ProcSplit,
     .arg = "1:5,0,3,",
     .answer = true,
     .text = kSplit12,
     .after = "1A 101*5=10 102*4=8 103*7=23.31; 21AS1#QTRK000012 101*5=10 103*3=9.99"},
    {.bills = "1AR 101*-10 102*4@2.5=10.005 104*3@3.333333=10",
     .op = ProcSplit,
     .arg = "1:4,4,1,",
     .answer = true,
     .text = kSplit12,
     .after = "1AR 101*-6=-12 102*0=0 104*2=6.67; "
              "21ARS1#QTRK000012 101*-4=-8 102*4=10.005 104*1=3.33"},
    // refusals write nothing and use no number
    {.bills = "1A 101*10 102*4; 2 101*10; 3AV 101*10; 4AH9 101*10; 5AK8 101*10; 6AS1 101*10",
     .op = ProcSplit,
     .arg = "99:1,",
     .text = "该单据不存在,不能进行拆分!"},
    {.op = ProcSplit, .arg = "2:1,", .text = "该单据未审核,不能进行拆分!"},
    {.op = ProcSplit, .arg = "3:1,", .text = "该单据已经作废,不能进行拆分!"},
    {.op = ProcSplit, .arg = "4:1,", .text = "该单据已经核销,不能进行再拆分!"},
    {.op = ProcSplit, .arg = "5:1,", .text = "该单据已经钩稽,不能进行再拆分!"},
    {.op = ProcSplit, .arg = "6:1,", .text = "该单据为拆分单据,不能进行再拆分!"},
    {.op = ProcSplit, .arg = "1:5,", .text = "拆分数量个数(1)与单据分录数(2)不一致,不能进行拆分!"},
    {.op = ProcSplit, .arg = "1:1,-1,", .text = "第2行拆分数量不能为负数!"},
    {.op = ProcSplit, .arg = "1:x,0,", .text = "第1行拆分数量\"x\"不是数字,不能进行拆分!"},
    {.op = ProcSplit, .arg = "1:1,4.000001,", .text = "第2行拆分数量不能大于原有数量!"},
    {.op = ProcSplit, .arg = "1:0,0.00,", .text = "拆单数量不能全都为零!"},
    {.op = ProcSplit,
     .arg = "1 or 1=1:1,0,",
     .text = "单据内码列表无效: \"1 or 1=1\" 中的 \"1 or 1=1\" 不是整数内码"},
    {.op = ProcSplit,
     .arg = "1:1,0,",
     .answer = true,
     .text = kSplit12,
     .after = "1A 101*9=18 102*4=8; 2; 3AV; 4AH9; 5AK8; 6AS1; 21AS1#QTRK000012 101*1=2"},
};

// Restoring puts a split bill's lines back onto its source and frees its
// number; the source restores every bill split from it.
const Scenario kRestores[] = {
    {.bills = "1A 101*10@3.33=33.3 102*4",
     .op = ProcSplit,
     .arg = "1:3,0,",
     .mode = "freed",
     .answer = true,
     .text = kSplit12,
     .after = "1A 101*7=23.31 102*4=8; 21AS1#QTRK000012 101*3=9.99"},
    {.op = ProcSplit,
     .arg = "1:3,4,",
     .answer = true,
     .text = "拆分成功,新单据编号为:QTRK000013",
     .after = "1A 101*4=13.32 102*0=0; 21AS1#QTRK000012 101*3=9.99; "
              "22AS1#QTRK000013 101*3=9.99 102*4=8"},
    {.op = ProcRestore,
     .arg = "22",
     .answer = true,
     .text = "还原成功!",
     .after = "1A 101*7=23.31 102*4=8; 21AS1#QTRK000012 101*3=9.99",
     .freed = "4:QTRK000003 5:QTRK000013"},
    {.op = ProcSplit,
     .arg = "1:1,1,",
     .answer = true,
     .text = "拆分成功,新单据编号为:QTRK000014",
     .after = "1A 101*6=19.98 102*3=6; 21AS1#QTRK000012 101*3=9.99; "
              "23AS1#QTRK000014 101*1=3.33 102*1=2"},
    {.op = ProcRestore,
     .arg = "1",
     .answer = true,
     .text = "还原成功!",
     .after = "1A 101*10=33.3 102*4=8",
     .freed = "4:QTRK000003 5:QTRK000013 6:QTRK000012 7:QTRK000014"},
    {.op = ProcRestore, .arg = "1", .text = "该单据不是拆分单据,不能进行还原!"},
    // nothing written off or reconciled since the split is restored
    {.bills = "1A 101*2; 21AS1 101*4; 22AS1H3 101*4",
     .op = ProcRestore,
     .arg = "1",
     .text = "编号为:QT22的单据已经核销,不能进行还原!"},
    {.bills = "1A 101*2; 22AS1K7 101*4",
     .op = ProcRestore,
     .arg = "22",
     .text = "编号为:QT22的单据已经钩稽,不能进行还原!"},
    {.bills = "1AH4 101*2; 21AS1 101*4",
     .op = ProcRestore,
     .arg = "21",
     .text = "编号为:QT01的源单据已经核销,不能进行还原!"},
    {.bills = "1AK7 101*2; 21AS1 101*4",
     .op = ProcRestore,
     .arg = "21",
     .text = "编号为:QT01的源单据已经钩稽,不能进行还原!"},
    {.bills = "1A 101*2", .op = ProcRestore, .arg = "99", .text = "该单据不存在,不能进行还原!"},
};

// Write-off nets red against blue under one new id; un-write-off clears the
// whole group and nothing else.
const Scenario kWriteOffs[] = {
    {.bills = "1A 101*5 102*2@1; 2AR 102*-2@1 101*-5; 3A 101*5; 4R 101*-5; 5AVR 101*-5",
     .op = ProcWriteOff,
     .arg = "1,2,1",
     .answer = true,
     .text = "核销成功!",
     .after = "1AH1; 2ARH1; 3A; 4R; 5AVR"},
    {.op = ProcWriteOff, .arg = "3", .text = "必须选定两张或以上的单据才能进行核销!"},
    {.op = ProcWriteOff, .arg = "3,1", .text = "编号为:QT01的单据已经核销,不能再次核销!"},
    {.op = ProcWriteOff, .arg = "3,4", .text = "编号为:QT04的单据未审核,不能进行核销!"},
    {.op = ProcWriteOff, .arg = "3,5", .text = "编号为:QT05的单据已经作废,不能进行核销!"},
    {.op = ProcWriteOff, .arg = "3,99", .text = "内码为99的单据不存在,不能进行核销!"},
    {.op = ProcWriteOff,
     .arg = "3,4) or (1=1",
     .text = "单据内码列表无效: \"3,4) or (1=1\" 中的 \"4) or (1=1\" 不是整数内码"},
    {.arg = "4", .posting = 0, .answer = true, .after = "1AH1; 2ARH1; 3A; 4ARC2; 5AVR"},
    {.op = ProcWriteOff,
     .arg = "3,4",
     .answer = true,
     .text = "核销成功!",
     .after = "1AH1; 2ARH1; 3AH2; 4ARH2C2; 5AVR"},
    {.op = ProcUnWriteOff,
     .arg = "2",
     .answer = true,
     .text = "反核销成功!",
     .after = "1A; 2AR; 3AH2; 4ARH2C2; 5AVR"},
    {.op = ProcUnWriteOff, .arg = "2", .text = "编号为:QT02的单据未核销,不能进行反核销!"},
    {.op = ProcUnWriteOff, .arg = "99", .text = "该单据不存在,不能进行反核销!"},
    {.bills = "3A 101*5; 4AR 101*-3",
     .op = ProcWriteOff,
     .arg = "3,4",
     .text = "物料01.001(批号B1)的数量不能相互抵销,不能进行核销!"},
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
