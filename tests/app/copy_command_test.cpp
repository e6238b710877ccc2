// `otherin copy`: an embedded database into the test database (a server's
// when the tests run on one), checked table by table and against the ledger.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "app/copy_command.h"
#include "db/connection.h"
#include "db/schema.h"
#include "db/transaction.h"
#include "stock/stock_ledger.h"
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

// Demo data and `bills` bills of two lines each, posted to the ledger as
// saves post them; every seventh bill is void and out of the ledger.
void fillSource(db::Connection& c, int bills) {
    db::schema::ensureSchema(c);
    db::schema::installDemoData(c);
    db::TransactionGuard tx(c);
    QList<qint32> counted;
    for (int id = 1; id <= bills; ++id) {
        const bool voided = id % 7 == 0;
        c.exec(QStringLiteral("insert into icstockbill(finterid,fbillno,fdate,ftrantype,"
                              "fcancellation,fstockid1) values(?,?,?,7,?,502)"),
               {id, QStringLiteral("QT%1").arg(id, 6, 10, QLatin1Char('0')),
                QStringLiteral("2026-12-05"), voided ? 1 : 0});
        for (int line = 1; line <= 2; ++line) {
            c.exec(QStringLiteral("insert into icstockbillentry(finterid,fentryid,fitemid,"
                                  "funitid,fqty,fPrice,famount) values(?,?,?,701,?,0.1,?)"),
                   {id, line, 1120 + line, id % 5 + 0.5, (id % 5 + 0.5) * 0.1});
        }
        if (!voided) counted << id;
    }
    stock::postToTimeStock(c, counted, stock::PostDirection::Add);
    c.exec(QStringLiteral("update tblmaxNum set fmaxnum=? where lower(ftablename)='icstockbill'"),
           {bills});
    tx.commit();
}

QStringList tables(db::Connection& c) {
    return otherin::testing::column(
        c, QStringLiteral("select name from sqlite_master where type='table' "
                          "and name not like 'sqlite%' order by name"));
}

TEST(CopyCommandTest, DemoAndThousandsOfBillsArriveWholeAndAFilledTargetIsRefused) {
    for (const int bills : {0, 3000}) {
        SCOPED_TRACE(bills);
        QTemporaryDir dir;
        const QString source = QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("s.sqlite"));
        db::Connection from;
        from.open(source);
        fillSource(from, bills);
        TestDatabase target;
        db::Connection& to = target.connection();

        const QString first = copy(source, target.connectionString());
        ASSERT_TRUE(first.startsWith("0 ") && first.contains(QStringLiteral("即时库存与单据一致")))
            << first.toStdString();
        // every table's rows, and the ledger's sums
        QStringList same{QStringLiteral("select coalesce(sum(fqty),0) from tblTimeStock"),
                         QStringLiteral("select coalesce(sum(famount),0) from tblTimeStock")};
        for (const QString& table : tables(from))
            same << QStringLiteral("select count(*) from ") + table;
        const auto expectSame = [&] {
            for (const QString& sql : same) {
                EXPECT_DOUBLE_EQ(to.scalar(sql).toDouble(), from.scalar(sql).toDouble())
                    << sql.toStdString();
            }
        };
        expectSame();

        // a second copy would merge: refused with the table named, nothing added
        const QString again = copy(source, target.connectionString());
        EXPECT_TRUE(again.startsWith("1 ") && again.contains(QStringLiteral("已有数据,不能复制")))
            << again.toStdString();
        expectSame();
    }
}

}  // namespace
