#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "db/connection.h"
#include "db/database_copy.h"
#include "db/db_error.h"
#include "db/schema.h"
#include "support/test_database.h"

using namespace otherin::db;
using otherin::testing::TestDatabase;

namespace {

// An embedded demo database with one bill, copied into the test database
// (a server database when the tests run on one).
TEST(DatabaseCopyTest, EveryTableArrivesUnchangedAndACopyNeverMerges) {
    QTemporaryDir dir;
    Connection source;
    source.open(QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("source.sqlite")));
    schema::ensureSchema(source);
    schema::installDemoData(source);
    source.exec(QStringLiteral("insert into icstockbill(finterid,fbillno,fdate,ftrantype,"
                               "fexplanation) values(?,?,?,7,?)"),
                {41, QStringLiteral("QT0041"), QStringLiteral("2026-12-05"),
                 QStringLiteral("O'Brien 备注")});
    source.exec(QStringLiteral("insert into icstockbillentry(finterid,fentryid,fitemid,funitid,"
                               "fqty,fPrice,famount) values(41,1,1101,701,?,?,?)"),
                {2.5, 0.1, 0.25});

    TestDatabase target;
    Connection& to = target.connection();
    const CopyReport report = copyDatabase(source, to);
    EXPECT_GE(report.tables, 30);
    for (const char* table :
         {"icitem", "tblItem", "tblBillInfoEntry", "tblUser", "tblBillPrint", "icstockbillentry"}) {
        const QString count = QStringLiteral("select count(*) from %1").arg(QLatin1String(table));
        EXPECT_EQ(to.scalar(count).toInt(), source.scalar(count).toInt()) << table;
        EXPECT_GT(to.scalar(count).toInt(), 0) << table;
    }
    EXPECT_EQ(to.scalar(QStringLiteral("select fexplanation from icstockbill where fdate=?"),
                        {QStringLiteral("2026-12-05")})
                  .toString(),
              QStringLiteral("O'Brien 备注"));
    EXPECT_EQ(to.scalar(QStringLiteral("select famount from icstockbillentry where finterid=41"))
                  .toDouble(),
              0.25);
    EXPECT_EQ(to.scalar(QStringLiteral("select fcontent from tblBillPrint where ftypeid=7"))
                  .toByteArray(),
              source.scalar(QStringLiteral("select fcontent from tblBillPrint where ftypeid=7"))
                  .toByteArray());

    // a second copy would merge into the rows now there: refused, nothing added
    EXPECT_THROW(copyDatabase(source, to), DbError);
    EXPECT_EQ(to.scalar(QStringLiteral("select count(*) from icstockbill")).toInt(), 1);
}

}  // namespace
