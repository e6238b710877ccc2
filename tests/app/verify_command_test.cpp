// `otherin verify` as the administrator runs it, through the program itself:
// it checks the ledger under the database's own posting switch.
#include <gtest/gtest.h>

#include <QProcess>

#include "support/test_database.h"

using otherin::testing::TestDatabase;

namespace {

// Runs `otherin <args>`: the exit status and what it printed.
QString otherin(const QStringList& args) {
    QProcess program;
    program.start(QStringLiteral(OTHERIN_PROGRAM), args);
    if (!program.waitForFinished(60000)) return QStringLiteral("did not finish");
    return QStringLiteral("%1 %2%3")
        .arg(program.exitCode())
        .arg(QString::fromUtf8(program.readAllStandardOutput()),
             QString::fromUtf8(program.readAllStandardError()))
        .trimmed();
}

QString verify(const QString& database, bool repair) {
    QStringList args{QStringLiteral("verify"), QStringLiteral("--db"), database};
    if (repair) args << QStringLiteral("--repair");
    return otherin(args);
}

QString history(const QString& database, const QStringList& more) {
    return otherin(QStringList{QStringLiteral("history"), QStringLiteral("--db"), database} + more);
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

// An administrator lists the administrative changes, whoever made them and
// however (here plain SQL), with the rows before and after; and a bill's
// operations with what they changed.
TEST(HistoryCommandTest, ListsAdministrativeChangesAndABillsOperations) {
    TestDatabase db;
    db.exec(QStringLiteral("update tblSystemSwitch set fvalue=1 where fname='gIsAddDelNumber'"));
    const QString admin = db.adminConnectionString();
    const QString told = history(admin, {QStringLiteral("--limit"), QStringLiteral("1")});
    const QStringList lines = told.split(u'\n');
    ASSERT_EQ(lines.size(), 3) << told.toStdString();
    EXPECT_TRUE(lines[0].startsWith(u"0 ") && lines[0].contains(u"  tblsystemswitch  修改"))
        << told.toStdString();
    EXPECT_TRUE(lines[1].contains(u"之前 {") && lines[1].contains(u"gIsAddDelNumber"));
    EXPECT_TRUE(lines[2].contains(u"之后 {") && lines[2].contains(u"gIsAddDelNumber"));

    db.exec(QStringLiteral("insert into otherin_history (ftxid, fkind, finterid, fbillno, fop, "
                           "fbefore, fafter) values (0, 'bill', 5, 'QT5', '修改', ?, ?)"),
            {QStringLiteral("单据|QT5|2026-12-05|1||\n1|101|1||5|2|10|0"),
             QStringLiteral("单据|QT5|2026-12-05|2||\n1|101|1||6|2|12|0")});
    const QStringList bill =
        history(admin, {QStringLiteral("--bill"), QStringLiteral("5")}).split(u'\n');
    ASSERT_EQ(bill.size(), 4);
    EXPECT_TRUE(bill[0].startsWith(u"0 ") && bill[0].contains(u"  修改  "));
    EXPECT_EQ(bill.mid(1),
              QStringList({QStringLiteral("    仓库 1 → 2"), QStringLiteral("    第1行 数量 5 → 6"),
                           QStringLiteral("    第1行 金额 10 → 12")}));
    EXPECT_EQ(history(admin, {QStringLiteral("--bill"), QStringLiteral("6")}),
              QStringLiteral("0 单据 6 没有修改记录"));
    EXPECT_TRUE(history(admin, {QStringLiteral("--limit"), QStringLiteral("0")}).startsWith(u"2 "));
}
