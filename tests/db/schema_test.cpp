#include <gtest/gtest.h>

#include <QSqlRecord>

#include "db/schema.h"
#include "support/test_database.h"

using otherin::testing::TestDatabase;
namespace schema = otherin::db::schema;

TEST(SchemaTest, SplitterKeepsStatementsAndDropsComments) {
    const auto parts = schema::splitScript(QStringLiteral(
        "-- a comment;\ncreate table a(x int);\n\ninsert into a values(1),\n (2);\nselect 1"));
    ASSERT_EQ(parts.size(), 3);
    EXPECT_EQ(parts[0], QStringLiteral("create table a(x int)"));
    EXPECT_EQ(parts[1], QStringLiteral("insert into a values(1),\n (2)"));
    EXPECT_EQ(parts[2], QStringLiteral("select 1"));
}

TEST(SchemaTest, SecondEnsureLeavesAnExistingDatabaseAlone) {
    TestDatabase db;
    db.exec(QStringLiteral("insert into tblStock(fitemid,fnumber,fname) values(1,'01','仓')"));
    EXPECT_FALSE(schema::ensureSchema(db.connection()));
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from tblStock")).toInt(), 1);
    EXPECT_EQ(db.scalar(QStringLiteral("select max(version) from schema_version")).toInt(),
              schema::kVersion);
}

TEST(SchemaTest, TablesAndViewsAreFoundWithoutRegardToCase) {
    TestDatabase db;
    otherin::db::Connection& c = db.connection();
    EXPECT_TRUE(c.tableExists(QStringLiteral("tblTimeStock")));
    EXPECT_TRUE(c.tableExists(QStringLiteral("TBLTIMESTOCK")));
    EXPECT_TRUE(c.tableExists(QStringLiteral("VGOTHERIN")));
    EXPECT_FALSE(c.tableExists(QStringLiteral("no_such_table")));
}

TEST(SchemaTest, DemoDatabaseDeliversTheBillViewColumns) {
    TestDatabase db(TestDatabase::Seed::Demo);
    EXPECT_GE(db.scalar(QStringLiteral("select count(*) from icitem")).toInt(), 50);
    EXPECT_EQ(db.scalar(QStringLiteral("select fNewBillName from tblMaxBillNo where ftypeid=7"))
                  .toString(),
              QStringLiteral("其它入库单"));
    EXPECT_EQ(
        db.scalar(QStringLiteral("select FFieldName from tblBillInfo where ftypeid=7 and findex=3"))
            .toString()
            .toLower(),
        QStringLiteral("fstockid1"));

    // one bill with one line, so the view has a row to show
    db.exec(QStringLiteral(
        "insert into icstockbill(finterid,fbillno,fdate,ftrantype,fOperator,fstockid1) "
        "select 1,'QTRK000001','2026-12-06',7,2,min(fitemid) from tblStock"));
    db.exec(QStringLiteral(
        "insert into "
        "icstockbillentry(finterid,fentryid,forderid,fitemid,funitid,fqty,fPrice,famount) "
        "select 1,1,1,fitemid,fUnitid,5,2,10 from icitem order by fitemid limit 1"));
    auto q = db.connection().prepare(QStringLiteral("select * from vGOtherIn where finterid=1"));
    q.exec();
    ASSERT_TRUE(q.next());
    const QSqlRecord r = q.record();
    for (const char* column :
         {"fbillno",      "fdate",         "fstatus",      "frob",     "fOperator",
          "fchecker",     "fOperatorName", "fCheckerName", "fentryid", "forderid",
          "fitemid",      "fitemIdNumber", "fItemIdname",  "fModel",   "fUnitParentId",
          "fItemStockId", "funitid",       "fqty",         "fPrice",   "famount",
          "fbatchno",     "fstockplace"}) {
        EXPECT_GE(r.indexOf(QString::fromLatin1(column)), 0) << column;
    }
    EXPECT_EQ(q.value(QStringLiteral("fOperatorName")).toString(), QStringLiteral("张三"));
    EXPECT_FALSE(q.value(QStringLiteral("fitemIdNumber")).toString().isEmpty());

    // every look-up field of the layouts has its key, name and code columns
    auto lookups = db.connection().prepare(
        QStringLiteral("select FFieldName from tblBillInfo where ftypeid=7 and "
                       "coalesce(fFieldType,'0') not in ('','0') "
                       "and coalesce(fItemclassid,'0') not in ('','0') union "
                       "select FFieldName from tblBillInfoEntry where ftypeid=7 and "
                       "coalesce(fcolid,'0') not in ('','0')"));
    lookups.exec();
    int count = 0;
    while (lookups.next()) {
        const QString f = lookups.value(0).toString();
        ++count;
        EXPECT_GE(r.indexOf(f), 0) << f.toStdString();
        EXPECT_GE(r.indexOf(QStringLiteral("Name") + f), 0) << f.toStdString();
        EXPECT_GE(r.indexOf(QStringLiteral("Number") + f), 0) << f.toStdString();
    }
    EXPECT_GE(count, 3);
    EXPECT_FALSE(q.value(QStringLiteral("NamefStockId1")).toString().isEmpty());
}
