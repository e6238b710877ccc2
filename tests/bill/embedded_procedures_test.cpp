#include <gtest/gtest.h>

#include "bill/embedded_procedures.h"
#include "db/db_error.h"
#include "db/procedures.h"
#include "support/qstring_print.h"
#include "support/test_database.h"

using namespace otherin;
using otherin::testing::TestDatabase;

namespace {

struct Answer {
    int intValue;
    QString strInfo;
};

class EmbeddedProceduresTest : public ::testing::Test {
  protected:
    void SetUp() override {
        db_.execAll(
            {QStringLiteral("insert into tblMaxBillNo(ftypeid,fbillno,fPreLetter,flength) "
                            "values(7,11,'QTRK',6)"),
             QStringLiteral("insert into tblmaxNum(ftablename,fmaxnum) values('ICStockBill',20)"),
             QStringLiteral("insert into icitem(fitemid,fNumber) values(101,'01.001')")});
        bill::registerEmbeddedProcedures(db_.connection());
    }

    // An audited bill of warehouse 1 (auditor 5) with lines (item, qty, price,
    // amount) on batch B1.
    void addBill(int id, const QList<QList<double>>& lines, int status = 1, int rob = 0) {
        db_.exec(QStringLiteral("insert into icstockbill(finterid,fbillno,fdate,ftrantype,fstatus,"
                                "fchecker,frob,fstockid1,fexplanation) "
                                "values(?,'QT0'||?,'2026-12-05',7,?,5,?,1,'来料')"),
                 {id, id, status, rob});
        int entry = 0;
        for (const auto& l : lines) {
            ++entry;
            db_.exec(
                QStringLiteral("insert into icstockbillentry(finterid,fentryid,forderid,fitemid,"
                               "funitid,fqty,fPrice,famount,fbatchno,fnote) "
                               "values(?,?,?,?,1,?,?,?,'B1','备注')"),
                {id, entry, entry, static_cast<int>(l[0]), l[1], l[2], l[3]});
        }
    }

    // Calls procedure `name` for period 2026/12, the ids given as `idParam`.
    Answer call(const char* name, const char* idParam, const QVariant& ids,
                const QString& splitList = QString()) {
        db::ProcedureParams p;
        p.in(QLatin1String(idParam), ids)
            .in(QStringLiteral("fyear"), qint64{2026})
            .in(QStringLiteral("fperiod"), qint64{12})
            .out(QStringLiteral("strInfo"), QString())
            .out(QStringLiteral("intValue"), qint64{-1});
        if (!splitList.isNull()) p.in(QStringLiteral("strvalue"), splitList);
        db_.connection().call(QLatin1String(name), p);
        return {p.value(QStringLiteral("intValue")).toInt(),
                p.value(QStringLiteral("strInfo")).toString()};
    }
    Answer split(const QVariant& id, const QString& list) {
        return call("sp_QV_splitSave", "finterid", id, list);
    }
    Answer restore(int id) { return call("sp_QV_restoreBill", "finterid", QString::number(id)); }
    Answer hx(const QString& ids) { return call("sp_QV_hxBill", "finterids", ids); }
    Answer unhx(int id) { return call("sp_QV_unhxBill", "finterid", qint64{id}); }

    // Rows as "a|b|c" texts, for exact before/after comparisons.
    QStringList rows(const QString& sql) {
        QStringList out;
        db::Query q = db_.connection().prepare(sql);
        q.exec();
        while (q.next()) {
            QStringList cells;
            for (int i = 0; i < q.record().count(); ++i) cells << q.value(i).toString();
            out << cells.join('|');
        }
        return out;
    }
    QStringList lines() {
        return rows(QStringLiteral("select * from icstockbillentry order by finterid,fentryid"));
    }
    int count(const QString& table) {
        return db_.scalar(QStringLiteral("select count(*) from ") + table).toInt();
    }
    int hxid(int id) {
        return db_.scalar(QStringLiteral("select fhxid from icstockbill where finterid=?"), {id})
            .toInt();
    }

    TestDatabase db_;
};

TEST_F(EmbeddedProceduresTest, SplitCutsLinesIntoANewAuditedBillWithWholeCents) {
    addBill(1, {{101, 10, 2, 20}, {102, 4, 2, 8}, {103, 10, 3.33, 33.30}});
    db_.exec(
        QStringLiteral("insert into tblTimeStock(fstockid,fitemid,funitid,fbatchno,fStockPlace,"
                       "fqty,famount) values(1,101,1,'B1',0,10,20),(1,103,1,'B1',0,10,33.3)"));
    const QStringList ledger = rows(QStringLiteral("select * from tblTimeStock order by fitemid"));

    const Answer a = split(QStringLiteral("1"), QStringLiteral("5,0,3,"));
    EXPECT_EQ(a.intValue, 1);
    EXPECT_EQ(a.strInfo, QStringLiteral("拆分成功,新单据编号为:QTRK000012"));
    EXPECT_EQ(rows(QStringLiteral("select fbillno,fstatus,fchecker,frscinterid,fyear,fperiod,fdate,"
                                  "fexplanation,fstockid1 from icstockbill where finterid=21")),
              QStringList{QStringLiteral("QTRK000012|1|5|1|2026|12|2026-12-05|来料|1")});
    EXPECT_EQ(rows(QStringLiteral("select fentryid,fitemid,fqty,fPrice,famount,fsrcentryid,fnote "
                                  "from icstockbillentry where finterid=21 order by fentryid")),
              QStringList({QStringLiteral("1|101|5|2|10|1|备注"),
                           QStringLiteral("2|103|3|3.33|9.99|3|备注")}));
    EXPECT_EQ(
        rows(QStringLiteral("select fqty,famount from icstockbillentry where finterid=1 "
                            "order by fentryid")),
        QStringList({QStringLiteral("5|10"), QStringLiteral("4|8"), QStringLiteral("7|23.31")}));
    EXPECT_EQ(rows(QStringLiteral("select * from tblTimeStock order by fitemid")), ledger);
}

TEST_F(EmbeddedProceduresTest, RedLinesWholeLinesAndOddCentsSplitSigned) {
    addBill(1, {{101, -10, 2, -20}, {102, 4, 2.5, 10.005}, {104, 3, 10.0 / 3, 10}}, 1, 1);
    ASSERT_EQ(split(1, QStringLiteral("4,4,1,")).intValue, 1);
    // a line cut in full stays with 0 and hands over its whole amount
    EXPECT_EQ(rows(QStringLiteral("select fqty,famount from icstockbillentry order by finterid,"
                                  "fentryid")),
              QStringList({QStringLiteral("-6|-12"), QStringLiteral("0|0"),
                           QStringLiteral("2|6.67"), QStringLiteral("-4|-8"),
                           QStringLiteral("4|10.005"), QStringLiteral("1|3.33")}));
}

TEST_F(EmbeddedProceduresTest, SplitRefusalsWriteNothing) {
    addBill(1, {{101, 10, 2, 20}, {102, 4, 2, 8}});
    addBill(2, {{101, 10, 2, 20}}, 0);
    for (int id = 3; id <= 6; ++id) addBill(id, {{101, 10, 2, 20}});
    db_.execAll({QStringLiteral("update icstockbill set fcancellation=1 where finterid=3"),
                 QStringLiteral("update icstockbill set fhxid=9 where finterid=4"),
                 QStringLiteral("update icstockbill set fhookinterid=8 where finterid=5"),
                 QStringLiteral("update icstockbill set frscinterid=1 where finterid=6")});
    const QStringList before = lines();

    const QList<std::tuple<int, QString, QString>> cases = {
        {99, "1,", "该单据不存在,不能进行拆分!"},
        {2, "1,", "该单据未审核,不能进行拆分!"},
        {3, "1,", "该单据已经作废,不能进行拆分!"},
        {4, "1,", "该单据已经核销,不能进行再拆分!"},
        {5, "1,", "该单据已经钩稽,不能进行再拆分!"},
        {6, "1,", "该单据为拆分单据,不能进行再拆分!"},
        {1, "5,", "拆分数量个数(1)与单据分录数(2)不一致,不能进行拆分!"},
        {1, "1,-1,", "第2行拆分数量不能为负数!"},
        {1, "x,0,", "第1行拆分数量\"x\"不是数字,不能进行拆分!"},
        {1, "1,4.000001,", "第2行拆分数量不能大于原有数量!"},
        {1, "0,0.00,", "拆单数量不能全都为零!"},
    };
    for (const auto& [id, list, info] : cases) {
        const Answer a = split(id, list);
        EXPECT_EQ(a.intValue, 0) << id << list.toStdString();
        EXPECT_EQ(a.strInfo, info);
    }
    EXPECT_EQ(lines(), before);
    EXPECT_EQ(count(QStringLiteral("icstockbill")), 6);
    EXPECT_EQ(db_.scalar(QStringLiteral("select fmaxnum from tblmaxNum")).toInt(), 20);
    EXPECT_EQ(db_.scalar(QStringLiteral("select fbillno from tblMaxBillNo")).toInt(), 11);
    // the id is parsed, never pasted
    EXPECT_THROW(split(QStringLiteral("1 or 1=1"), QStringLiteral("1,0,")), db::DbError);
}

TEST_F(EmbeddedProceduresTest, RestoreBringsTheSourceBackExactlyAndFreesTheNumbers) {
    addBill(1, {{101, 10, 3.33, 33.30}, {102, 4, 2, 8}});
    db_.exec(QStringLiteral("insert into tblBillNoAdd values(4,7,'QTRK000003')"));
    const QStringList before = lines();
    ASSERT_EQ(split(1, QStringLiteral("3,0,")).intValue, 1);  // 21
    ASSERT_EQ(split(1, QStringLiteral("3,4,")).intValue, 1);  // 22
    EXPECT_EQ(restore(22).strInfo, QStringLiteral("还原成功!"));
    ASSERT_EQ(split(1, QStringLiteral("1,1,")).intValue, 1);  // 23

    // the source restores every bill split from it
    EXPECT_EQ(restore(1).intValue, 1);
    EXPECT_EQ(lines(), before);
    EXPECT_EQ(count(QStringLiteral("icstockbill")), 1);
    EXPECT_EQ(rows(QStringLiteral("select finterid,fTypeId,fbillnumber from tblBillNoAdd order by "
                                  "finterid")),
              QStringList({QStringLiteral("4|7|QTRK000003"), QStringLiteral("5|7|QTRK000013"),
                           QStringLiteral("6|7|QTRK000012"), QStringLiteral("7|7|QTRK000014")}));
    EXPECT_EQ(restore(1).strInfo, QStringLiteral("该单据不是拆分单据,不能进行还原!"));
}

TEST_F(EmbeddedProceduresTest, RestoreRefusesWhatWasWrittenOffOrReconciledSince) {
    addBill(1, {{101, 10, 2, 20}});
    ASSERT_EQ(split(1, QStringLiteral("4,")).intValue, 1);
    ASSERT_EQ(split(1, QStringLiteral("4,")).intValue, 1);
    const QStringList before = lines();

    db_.exec(QStringLiteral("update icstockbill set fhxid=3 where finterid=22"));
    EXPECT_EQ(restore(1).strInfo, QStringLiteral("编号为:QTRK000013的单据已经核销,不能进行还原!"));
    db_.exec(QStringLiteral("update icstockbill set fhxid=0,fhookinterid=7 where finterid=22"));
    EXPECT_EQ(restore(22).strInfo, QStringLiteral("编号为:QTRK000013的单据已经钩稽,不能进行还原!"));
    // the source's quantities are part of its own write-off
    db_.exec(QStringLiteral("update icstockbill set fhookinterid=0 where finterid=22"));
    db_.exec(QStringLiteral("update icstockbill set fhxid=4 where finterid=1"));
    EXPECT_EQ(restore(21).strInfo, QStringLiteral("编号为:QT01的源单据已经核销,不能进行还原!"));
    db_.exec(QStringLiteral("update icstockbill set fhxid=0,fhookinterid=7 where finterid=1"));
    EXPECT_EQ(restore(21).strInfo, QStringLiteral("编号为:QT01的源单据已经钩稽,不能进行还原!"));
    EXPECT_EQ(restore(99).strInfo, QStringLiteral("该单据不存在,不能进行还原!"));
    EXPECT_EQ(lines(), before);
    EXPECT_EQ(count(QStringLiteral("tblBillNoAdd")), 0);
}

TEST_F(EmbeddedProceduresTest, WriteOffNetsRedAgainstBlueUnderOneNewId) {
    addBill(1, {{101, 5, 2, 10}, {102, 2, 1, 2}});
    addBill(2, {{102, -2, 1, -2}, {101, -5, 2, -10}}, 1, 1);
    addBill(3, {{101, 5, 2, 10}});
    addBill(4, {{101, -3, 2, -6}}, 0, 1);
    addBill(5, {{101, -5, 2, -10}}, 1, 1);
    db_.exec(QStringLiteral("update icstockbill set fcancellation=1 where finterid=5"));

    EXPECT_EQ(hx(QStringLiteral("1,2,1")).strInfo, QStringLiteral("核销成功!"));
    EXPECT_NE(hxid(1), 0);
    EXPECT_EQ(hxid(1), hxid(2));

    const QList<std::pair<QString, QString>> refusals = {
        {"3", "必须选定两张或以上的单据才能进行核销!"},
        {"3,1", "编号为:QT01的单据已经核销,不能再次核销!"},
        {"3,4", "编号为:QT04的单据未审核,不能进行核销!"},
        {"3,5", "编号为:QT05的单据已经作废,不能进行核销!"},
        {"3,99", "内码为99的单据不存在,不能进行核销!"},
    };
    for (const auto& [ids, info] : refusals) EXPECT_EQ(hx(ids).strInfo, info);
    db_.exec(QStringLiteral("update icstockbill set fstatus=1 where finterid=4"));
    const Answer a = hx(QStringLiteral("3,4"));
    EXPECT_EQ(a.intValue, 0);
    EXPECT_EQ(a.strInfo, QStringLiteral("物料01.001(批号B1)的数量不能相互抵销,不能进行核销!"));
    EXPECT_EQ(hxid(3) + hxid(4), 0);
    EXPECT_THROW(hx(QStringLiteral("3,4) or (1=1")), db::DbError);

    db_.exec(QStringLiteral("update icstockbillentry set fqty=-5 where finterid=4"));
    ASSERT_EQ(hx(QStringLiteral("3,4")).intValue, 1);
    EXPECT_EQ(hxid(3), hxid(4));
    EXPECT_NE(hxid(3), hxid(1));

    // un-write-off clears the whole pair and nothing else
    EXPECT_EQ(unhx(2).strInfo, QStringLiteral("反核销成功!"));
    EXPECT_EQ(hxid(1) + hxid(2), 0);
    EXPECT_NE(hxid(3), 0);
    EXPECT_EQ(unhx(2).strInfo, QStringLiteral("编号为:QT02的单据未核销,不能进行反核销!"));
    EXPECT_EQ(unhx(99).strInfo, QStringLiteral("该单据不存在,不能进行反核销!"));
}

}  // namespace
