#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "db/connection.h"
#include "db/database_copy.h"
#include "db/schema.h"
#include "support/demo_login.h"
#include "support/test_database.h"

using namespace otherin::db;
using otherin::testing::TestDatabase;

namespace {

// An embedded demo database with one bill copied into the test database: the values arrive
// unchanged (counts and refusals are the copy command's tests).
TEST(DatabaseCopyTest, TextsDecimalsAndLayoutsArriveUnchanged) {
    QTemporaryDir dir;
    Connection source;
    source.open(QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("source.sqlite")));
    schema::ensureSchema(source);
    schema::installDemoData(source, otherin::testing::kDemoToday);
    source.exec(QStringLiteral("insert into icstockbill(finterid,fbillno,fdate,ftrantype,"
                               "fexplanation) values(?,?,?,7,?)"),
                {41, QStringLiteral("QT0041"), QStringLiteral("2026-12-05"),
                 QStringLiteral("O'Brien 备注")});
    source.exec(QStringLiteral("insert into icstockbillentry(finterid,fentryid,fitemid,funitid,"
                               "fqty,fPrice,famount) values(41,1,1101,701,?,?,?)"),
                {2.5, 0.1, 0.25});

    TestDatabase target{TestDatabase::Seed::Empty, TestDatabase::Roles::None};
    Connection& to = target.connection();
    copyDatabase(source, to);
    EXPECT_EQ(to.scalar(QStringLiteral("select fexplanation from icstockbill")).toString(),
              QStringLiteral("O'Brien 备注"));
    EXPECT_EQ(to.scalar(QStringLiteral("select famount from icstockbillentry")).toDouble(), 0.25);
    EXPECT_EQ(to.scalar(QStringLiteral("select fcontent from tblBillPrint where ftypeid=7"))
                  .toByteArray(),
              source.scalar(QStringLiteral("select fcontent from tblBillPrint where ftypeid=7"))
                  .toByteArray());
}

}  // namespace
