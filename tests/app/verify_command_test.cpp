// `otherin verify` as the administrator runs it, through the program itself:
// it checks the ledger under the database's own posting switch.
#include <gtest/gtest.h>

#include <QProcess>

#include "support/test_database.h"

using otherin::testing::TestDatabase;

namespace {

// Runs `otherin verify --db <db> [--repair]`: the exit status and what it printed.
QString verify(const QString& database, bool repair) {
    QStringList args{QStringLiteral("verify"), QStringLiteral("--db"), database};
    if (repair) args << QStringLiteral("--repair");
    QProcess otherin;
    otherin.start(QStringLiteral(OTHERIN_PROGRAM), args);
    if (!otherin.waitForFinished(60000)) return QStringLiteral("did not finish");
    return QStringLiteral("%1 %2%3")
        .arg(otherin.exitCode())
        .arg(QString::fromUtf8(otherin.readAllStandardOutput()),
             QString::fromUtf8(otherin.readAllStandardError()))
        .trimmed();
}

}  // namespace

// With posting at audit, an unaudited bill is rightly not in the ledger: no
// difference, and --repair changes nothing. Once audited without being
// posted it is a difference, which --repair mends.
TEST(VerifyCommandTest, FollowsThePostingSwitchTheDatabaseHolds) {
    TestDatabase db;
    db.execAll(
        {QStringLiteral("update tblSystemSwitch set fvalue='1' where fname='gIsCheckUpdate'"),
         QStringLiteral("insert into icstockbill (finterid, fbillno, ftrantype, fstockid1, "
                        "fstatus, fcancellation, frob) values (1, 'QT1', 7, 1, 0, 0, 0)"),
         QStringLiteral("insert into icstockbillentry (finterid, fentryid, fitemid, "
                        "funitid, fbatchno, fstockplace, fqty, famount) values "
                        "(1, 1, 100, 5, '', 0, 5, 10)")});
    const QString database = db.adminConnectionString();
    const QString ledger = QStringLiteral("select count(*) from tblTimeStock");
    EXPECT_EQ(verify(database, false), QStringLiteral("0 即时库存与单据一致"));
    EXPECT_EQ(verify(database, true), QStringLiteral("0 即时库存与单据一致"));
    EXPECT_EQ(db.scalar(ledger).toInt(), 0);

    db.exec(QStringLiteral("update icstockbill set fstatus=1 where finterid=1"));
    EXPECT_TRUE(verify(database, false).startsWith(QStringLiteral("1 ")));
    EXPECT_TRUE(verify(database, true).startsWith(QStringLiteral("0 ")));
    EXPECT_EQ(db.scalar(QStringLiteral("select fqty from tblTimeStock")).toDouble(), 5.0);
    EXPECT_EQ(verify(database, false), QStringLiteral("0 即时库存与单据一致"));
}
