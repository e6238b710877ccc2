#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "db/db_error.h"
#include "db/schema.h"
#include "db/upgrade_bill_print.h"
#include "support/qstring_print.h"
#include "support/test_database.h"

using otherin::testing::column;
using otherin::testing::TestDatabase;
namespace schema = otherin::db::schema;

// A number is one bill's within its type; types share numbers freely, and
// bills without a number (other modules' drafts) may be many.
TEST(SchemaTest, BillNumberIsUniqueWithinItsTypeOnly) {
    TestDatabase db{TestDatabase::Seed::Empty, TestDatabase::Roles::None};
    const std::pair<int, const char*> tried[] = {
        {7, "QT1"},  {7, "QT1"}, {1, "QT1"}, {1, "QT1"}, {7, "qt1"},
        {7, "QT1 "}, {7, ""},    {7, ""},    {1, ""},    {8, "QT1"},
    };
    int id = 0;
    for (const auto& [type, number] : tried) {
        try {
            db.exec(QStringLiteral("insert into icstockbill(finterid,ftrantype,fbillno) "
                                   "values(?,?,?)"),
                    {++id, type, QString::fromUtf8(number)});
        } catch (const otherin::db::DbError&) {
        }
    }
    // A change onto a number the type holds is refused the same way.
    EXPECT_THROW(db.exec(QStringLiteral("update icstockbill set fbillno='QT1' where finterid=5")),
                 otherin::db::DbError);
    EXPECT_EQ(db.column(QStringLiteral("select finterid||':'||ftrantype||':'||"
                                       "fbillno from icstockbill order by finterid"))
                  .join(','),
              QStringLiteral("1:7:QT1,3:1:QT1,5:7:qt1,6:7:QT1 ,7:7:,8:7:,9:1:,10:8:QT1"));
}

// Doubled numbers in a first-version database stop the upgrade, named with their bills, and
// change nothing; once told apart, the next start adds the index, a second leaves it alone.
TEST(SchemaTest, UpgradeWithDoubledNumbersRefusesUntilTheyAreResolved) {
    QTemporaryDir dir;
    otherin::db::Connection c;
    c.open(QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("old.sqlite")));
    schema::runScript(c, schema::schemaScript());
    ASSERT_EQ(schema::currentVersion(c), 1);
    c.exec(QStringLiteral(
        "insert into icstockbill(finterid,ftrantype,fbillno) values"
        "(3,7,'QTRK000007'),(4,7,'QTRK000008'),(9,7,'QTRK000007'),(12,7,'QTRK000007'),"
        "(5,1,'CG-1'),(6,1,'CG-1'),(7,7,'CG-1'),(8,7,''),(10,7,''),(11,1,'QTRK000008')"));
    const auto bills = [&] {
        return column(c, QStringLiteral("select finterid||':'||ftrantype||':'||fbillno from "
                                        "icstockbill order by finterid"));
    };
    const QStringList before = bills();

    for (int attempt = 1; attempt <= 2; ++attempt) {
        try {
            schema::ensureSchema(c);
            ADD_FAILURE() << "upgraded over doubled numbers";
        } catch (const otherin::db::DbError& e) {
            EXPECT_EQ(
                e.message(),
                QStringLiteral("数据库中有2个单据编号被同类型的多张单据重复使用,无法建立单据编号"
                               "的唯一约束:\n单据类型1 编号\"CG-1\": 内码 5、6\n单据类型7 "
                               "编号\"QTRK000007\": 内码 3、9、12\n请将重复的单据改为不同"
                               "的编号后再启动本程序;在此之前数据库保持原样,未做任何修改。"));
        }
        EXPECT_EQ(schema::currentVersion(c), 1);
        EXPECT_EQ(bills(), before);
    }
    c.exec(
        QStringLiteral("update icstockbill set fbillno=fbillno||'-'||finterid where "
                       "finterid in (6,9,12)"));
    EXPECT_FALSE(schema::ensureSchema(c));
    EXPECT_EQ(schema::currentVersion(c), schema::kVersion);
    // Table names ignore case.
    EXPECT_FALSE(schema::ensureSchema(c));
    EXPECT_EQ(bills().size(), before.size());
    EXPECT_TRUE(c.tableExists(QStringLiteral("TBLTIMESTOCK")) &&
                c.tableExists(QStringLiteral("VGOTHERIN")));
    EXPECT_FALSE(c.tableExists(QStringLiteral("no_such_table")));
    EXPECT_THROW(
        c.exec(QStringLiteral(
            "insert into icstockbill(finterid,ftrantype,fbillno) values(20,7,'QTRK000007')")),
        otherin::db::DbError);
}

// The demo's first print template becomes the signed slip; one its owner
// changed, however little, stays as it is.
TEST(SchemaTest, TheFirstDemoPrintTemplateIsReplacedAndAChangedOneKept) {
    TestDatabase db{TestDatabase::Seed::Empty, TestDatabase::Roles::None};
    const QString first = schema::firstBillPrintTemplate();
    const QString changed = QString(first).replace(QStringLiteral("审核"), QStringLiteral("复核"));
    for (const QString& stored : {first, changed}) {
        db.exec(QStringLiteral("delete from tblBillPrint"));
        db.exec(QStringLiteral("insert into tblBillPrint (ftypeid,fFileName,fViewName,fOrderSQL,"
                               "fcontent) values (7,'QTRK.html','vGOtherIn','forderid',?)"),
                {stored.toUtf8()});
        schema::upgradeBillPrint(db.connection());
        const QString now = QString::fromUtf8(
            db.scalar(QStringLiteral("select fcontent from tblBillPrint")).toByteArray());
        EXPECT_EQ(now, stored == first ? schema::billPrintTemplate() : changed);
    }
    EXPECT_TRUE(schema::billPrintTemplate().contains(QStringLiteral("{{totals.amountInWords}}")));
}
