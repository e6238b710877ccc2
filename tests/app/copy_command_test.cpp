// `otherin copy`: an embedded database into the test database (a server's
// when the tests run on one), checked table by table and against the ledger.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "app/copy_command.h"
#include "db/connection.h"
#include "db/schema.h"
#include "support/demo_login.h"
#include "support/table_compare.h"
#include "support/test_database.h"

using namespace otherin;
using otherin::testing::TestDatabase;

namespace {

// The exit status, then what the copy wrote to its output and its errors.
QString copy(const QString& from, const QString& to) {
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    const int status = app::runCopy(from, to, outStream, errStream);
    return QStringLiteral("%1 %2|%3").arg(status).arg(out, err);
}

// Demo data and `bills` posted bills, the id counter past them.
void fillSource(db::Connection& c, int bills) {
    db::schema::ensureSchema(c);
    db::schema::installDemoData(c, otherin::testing::kDemoToday);
    otherin::testing::addPostedBills(c, bills);
    c.exec(QStringLiteral("update tblmaxNum set fmaxnum=? where lower(ftablename)='icstockbill'"),
           {bills});
}

TEST(CopyCommandTest, DemoAndThousandsOfBillsArriveWholeAndAFilledTargetIsRefused) {
    for (const int bills : {0, 3000}) {
        SCOPED_TRACE(bills);
        QTemporaryDir dir;
        const QString source = QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("s.sqlite"));
        db::Connection from;
        from.open(source);
        fillSource(from, bills);
        TestDatabase target{TestDatabase::Seed::Empty, TestDatabase::Roles::None};
        db::Connection& to = target.connection();

        const QString first = copy(source, target.connectionString());
        ASSERT_TRUE(first.startsWith("0 ") && first.contains(QStringLiteral("即时库存与单据一致")))
            << first.toStdString();
        // every table, row by row, the ledger's included
        EXPECT_EQ(otherin::testing::tableDifferences(from, to), QString());

        // a second copy would merge: refused with the table named, nothing added
        const QString again = copy(source, target.connectionString());
        EXPECT_TRUE(again.startsWith("1 ") && again.contains(QStringLiteral("已有数据,不能复制")))
            << again.toStdString();
        EXPECT_EQ(otherin::testing::tableDifferences(from, to), QString());
    }
}

// The comparison the copy and backup tests lean on finds each kind of
// difference, and names the table, the row's key and the column.
TEST(CopyCommandTest, TheTableComparisonTellsEveryKindOfDifference) {
    struct Case {
        const char* name;
        QString change;  // run on the copy after it was made
        QString told;
    };
    const QList<Case> cases{
        {"a value",
         QStringLiteral("update icstockbillentry set fqty=2.25 where finterid=3 and "
                        "fentryid=2"),
         QStringLiteral("icstockbillentry: row (finterid=3, fentryid=2): fqty is 3.5 in the first, "
                        "2.25 in the second")},
        {"a text to null", QStringLiteral("update icstockbill set fnote=null where finterid=2"),
         QStringLiteral("icstockbill: row (finterid=2): fnote is '' in the first, NULL in the "
                        "second")},
        {"a row gone",
         QStringLiteral("delete from icstockbillentry where finterid=4 and fentryid=1"),
         QStringLiteral("icstockbillentry: row (finterid=4, fentryid=1) only in the first")},
        {"a row more",
         QStringLiteral("insert into icstockbill(finterid,fbillno,ftrantype) values(99,'QT99',7)"),
         QStringLiteral("icstockbill: row (finterid=99) only in the second")},
        {"a table more", QStringLiteral("create table notes(body text)"),
         QStringLiteral("table notes only in the second")},
    };
    QTemporaryDir dir;
    const QString source = QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("s.sqlite"));
    db::Connection from;
    from.open(source);
    fillSource(from, 6);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestDatabase target{TestDatabase::Seed::Empty, TestDatabase::Roles::None};
        ASSERT_TRUE(copy(source, target.connectionString()).startsWith("0 "));
        target.exec(c.change);
        // The server's history records the change itself; the copied rows
        // (from a file) carry no transaction id.
        target.exec(QStringLiteral("delete from otherin_history where ftxid<>0"));
        EXPECT_EQ(otherin::testing::tableDifferences(from, target.connection()), c.told);
        // the column left out no longer counts
        if (c.change.startsWith(QLatin1String("update"))) {
            const QString column = c.change.section(u' ', 3, 3).section(u'=', 0, 0);
            EXPECT_EQ(otherin::testing::tableDifferences(from, target.connection(), {column}),
                      QString());
        }
    }
}

}  // namespace
