#include <gtest/gtest.h>

#include <QDateTime>
#include <QTemporaryDir>

#include "db/connection.h"
#include "db/connection_string.h"
#include "db/database_copy.h"
#include "db/db_error.h"
#include "db/schema.h"
#include "support/demo_login.h"
#include "support/table_compare.h"
#include "support/test_database.h"

using namespace otherin::db;
using otherin::testing::TestDatabase;

namespace {

// A demo database in a file of `dir`, with `bills` posted bills.
void openDemoSource(Connection& source, const QTemporaryDir& dir, int bills = 0) {
    source.open(QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("source.sqlite")));
    schema::ensureSchema(source);
    schema::installDemoData(source, otherin::testing::kDemoToday);
    if (bills > 0) otherin::testing::addPostedBills(source, bills);
}

// An embedded demo database with one bill copied into the test database: the values arrive
// unchanged (counts and refusals are the copy command's tests).
TEST(DatabaseCopyTest, TextsDecimalsAndLayoutsArriveUnchanged) {
    QTemporaryDir dir;
    Connection source;
    openDemoSource(source, dir);
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

// Values the server's copy format has to escape or spell out exactly.
const QString kTabAndLines = QStringLiteral("a\tb\nc\r\nd\t");
const QString kBackslashes = QStringLiteral("C:\\单据\\new \\. \\\\ end\\");
const QString kNullMark = QStringLiteral("\\N");
const QString kChinese = QStringLiteral("其它入库单 “备注” O'Brien");

// A demo database in a file with three bills of hard values: texts with
// separators, backslashes, the null mark as text, '' beside NULL, Chinese;
// decimals to the sixth place, negative ones; days and moments.
void fillHardValues(Connection& source) {
    schema::ensureSchema(source);
    schema::installDemoData(source, otherin::testing::kDemoToday);
    const QString bill = QStringLiteral(
        "insert into icstockbill(finterid,fbillno,fdate,ftrantype,fexplanation,fnote,"
        "fmodifytime) values(?,?,?,7,?,?,?)");
    source.exec(bill, {41, QStringLiteral("QT0041"), QStringLiteral("2026-12-05"), kTabAndLines,
                       kNullMark, QStringLiteral("2026-12-05T23:59:58Z")});
    source.exec(bill,
                {42, QStringLiteral("QT0042"), QVariant(QMetaType(QMetaType::QString)), QString(""),
                 QVariant(QMetaType(QMetaType::QString)), QVariant(QMetaType(QMetaType::QString))});
    source.exec(bill, {43, QStringLiteral("QT0043"), QStringLiteral("2024-02-29"), kBackslashes,
                       kChinese, QStringLiteral("2024-02-29T00:00:01Z")});
    const QString line = QStringLiteral(
        "insert into icstockbillentry(finterid,fentryid,fitemid,funitid,fqty,fPrice,famount,"
        "fbatchno,fnote) values(?,?,1101,701,?,?,?,?,?)");
    source.exec(line, {41, 1, 1234.567891, -0.000001, 98765432.123457, kNullMark,
                       QStringLiteral("\\t不是制表符")});
    source.exec(line,
                {41, 2, -2.5, 0.1, -0.25, QString(""), QVariant(QMetaType(QMetaType::QString))});
}

QVariant valueOf(Connection& c, const QString& column, const QString& table, const QString& key) {
    return c.scalar(QStringLiteral("select %1 from %2 where %3").arg(column, table, key));
}

// The hard values as the copy in `c` holds them.
void expectHardValues(Connection& c) {
    const QString bill = QStringLiteral("icstockbill");
    EXPECT_EQ(valueOf(c, "fexplanation", bill, "finterid=41").toString(), kTabAndLines);
    EXPECT_EQ(valueOf(c, "fnote", bill, "finterid=41").toString(), kNullMark);
    EXPECT_FALSE(valueOf(c, "fnote", bill, "finterid=41").isNull());
    EXPECT_EQ(valueOf(c, "fexplanation", bill, "finterid=43").toString(), kBackslashes);
    EXPECT_EQ(valueOf(c, "fnote", bill, "finterid=43").toString(), kChinese);
    // '' stays a text, NULL stays none
    const QVariant empty = valueOf(c, "fexplanation", bill, "finterid=42");
    EXPECT_FALSE(empty.isNull());
    EXPECT_EQ(empty.toString(), QString());
    EXPECT_TRUE(valueOf(c, "fnote", bill, "finterid=42").isNull());
    EXPECT_TRUE(valueOf(c, "fdate", bill, "finterid=42").isNull());
    EXPECT_TRUE(valueOf(c, "fmodifytime", bill, "finterid=42").isNull());
    EXPECT_EQ(valueOf(c, "fdate", bill, "finterid=41").toDate(), QDate(2026, 12, 5));
    EXPECT_EQ(valueOf(c, "fdate", bill, "finterid=43").toDate(), QDate(2024, 2, 29));
    EXPECT_EQ(valueOf(c, "fmodifytime", bill, "finterid=41").toDateTime().toUTC(),
              QDateTime(QDate(2026, 12, 5), QTime(23, 59, 58), Qt::UTC));
    EXPECT_EQ(valueOf(c, "fmodifytime", bill, "finterid=43").toDateTime().toUTC(),
              QDateTime(QDate(2024, 2, 29), QTime(0, 0, 1), Qt::UTC));

    const QString lines = QStringLiteral("icstockbillentry");
    const QString first = QStringLiteral("finterid=41 and fentryid=1");
    const QString second = QStringLiteral("finterid=41 and fentryid=2");
    EXPECT_EQ(valueOf(c, "fqty", lines, first).toDouble(), 1234.567891);
    EXPECT_EQ(valueOf(c, "fPrice", lines, first).toDouble(), -0.000001);
    EXPECT_EQ(valueOf(c, "famount", lines, first).toDouble(), 98765432.123457);
    EXPECT_EQ(valueOf(c, "fqty", lines, second).toDouble(), -2.5);
    EXPECT_EQ(valueOf(c, "fPrice", lines, second).toDouble(), 0.1);
    EXPECT_EQ(valueOf(c, "famount", lines, second).toDouble(), -0.25);
    EXPECT_EQ(valueOf(c, "fbatchno", lines, first).toString(), kNullMark);
    EXPECT_EQ(valueOf(c, "fnote", lines, first).toString(), QStringLiteral("\\t不是制表符"));
    EXPECT_FALSE(valueOf(c, "fbatchno", lines, second).isNull());
    EXPECT_TRUE(valueOf(c, "fnote", lines, second).isNull());
}

// From the file into the test database (a server's on a server run), from
// there into a second one of the same kind and back into a file: every hard
// value arrives as it was, every table row for row.
TEST(DatabaseCopyTest, HardValuesArriveExactlyEachWay) {
    QTemporaryDir dir;
    Connection source;
    source.open(QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("source.sqlite")));
    fillHardValues(source);

    TestDatabase target{TestDatabase::Seed::Empty, TestDatabase::Roles::None};
    Connection& to = target.connection();
    copyDatabase(source, to);
    {
        SCOPED_TRACE("file to the test database");
        expectHardValues(to);
        EXPECT_EQ(otherin::testing::tableDifferences(source, to), QString());
    }

    TestDatabase second{TestDatabase::Seed::Empty, TestDatabase::Roles::None};
    copyDatabase(to, second.connection());
    {
        SCOPED_TRACE("test database to one of its kind");
        expectHardValues(second.connection());
        EXPECT_EQ(otherin::testing::tableDifferences(to, second.connection()), QString());
    }

    Connection back;
    back.open(QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("back.sqlite")));
    copyDatabase(to, back);
    {
        SCOPED_TRACE("test database back into a file");
        expectHardValues(back);
        EXPECT_EQ(otherin::testing::tableDifferences(source, back), QString());
    }
}

// A row the target refuses in the middle of a table: the copy says so and
// why, naming the table, and keeps nothing; the connection serves the next
// copy, which goes through once the refusal is gone.
TEST(DatabaseCopyTest, ARowRefusedMidTableKeepsNothingAndIsTold) {
    QTemporaryDir dir;
    Connection source;
    openDemoSource(source, dir, 3000);
    source.exec(QStringLiteral("update icstockbill set fexplanation='说明 ' || finterid"));
    source.exec(
        QStringLiteral("update icstockbill set fexplanation='说明 1500' where finterid=1501"));

    TestDatabase target{TestDatabase::Seed::Empty, TestDatabase::Roles::None};
    Connection& to = target.connection();
    target.exec(QStringLiteral("create unique index ux_copy_refused on icstockbill(fexplanation)"));
    QString told;
    try {
        copyDatabase(source, to);
    } catch (const DbError& e) {
        told = e.message();
    }
    EXPECT_TRUE(told.contains(QStringLiteral("复制表 icstockbill 时出错")) &&
                told.contains(QStringLiteral("重复")))
        << told.toStdString();
    for (const char* table : {"icstockbill", "icstockbillentry", "tblTimeStock", "tblUser",
                              "t_ICItem", "otherin_history"}) {
        if (!to.tableExists(QString::fromLatin1(table))) continue;
        EXPECT_EQ(to.scalar(QStringLiteral("select count(*) from %1").arg(table)).toInt(), 0)
            << table;
    }
    if (TestDatabase::onServer()) {
        // the module's triggers are on again, as the rollback left them
        EXPECT_EQ(to.scalar(QStringLiteral("select count(*) from pg_trigger where not tgisinternal "
                                           "and tgenabled='D'"))
                      .toInt(),
                  0);
    }

    target.exec(QStringLiteral("drop index ux_copy_refused"));
    copyDatabase(source, to);
    EXPECT_EQ(otherin::testing::tableDifferences(source, to), QString());
}

// Progress is told as the rows go, at least every 2,000 rows, ever rising,
// and lastly with every row of the source copied.
TEST(DatabaseCopyTest, ProgressIsToldAsTheRowsGo) {
    QTemporaryDir dir;
    Connection source;
    openDemoSource(source, dir, 3000);

    TestDatabase target{TestDatabase::Seed::Empty, TestDatabase::Roles::None};
    QList<std::pair<qint64, qint64>> told;
    const CopyReport report =
        copyDatabase(source, target.connection(), [&told](qint64 copied, qint64 total) {
            told.append({copied, total});
        });
    ASSERT_GE(report.rows, 9000);
    ASSERT_FALSE(told.isEmpty());
    EXPECT_EQ(told.back(), std::make_pair(report.rows, report.rows));
    EXPECT_GE(told.size(), report.rows / 2000);
    qint64 before = 0;
    for (const auto& [copied, total] : told) {
        EXPECT_EQ(total, report.rows);
        EXPECT_GE(copied, before);
        EXPECT_LE(copied - before, 2000 + 500) << "rows between two reports";
        before = copied;
    }
}

// On a server set up with the module's roles, a login in the owner role that
// is no superuser copies: the tables' triggers and their row rules are the
// owner's to pass. It copies as the owner for the copy's transaction alone
// and is itself again afterwards.
TEST(DatabaseCopyTest, ALoginInTheOwnerRoleCopiesAsTheOwner) {
    if (!TestDatabase::onServer()) GTEST_SKIP() << "roles are a server's";
    QTemporaryDir dir;
    Connection source;
    openDemoSource(source, dir, 300);

    TestDatabase target{TestDatabase::Seed::Empty, TestDatabase::Roles::Clerk};
    const QString login = QStringLiteral("otherin_t_copier");
    const QString owner = QString::fromUtf16(otherin::testing::kTestRolePrefix) + "_owner";
    target.exec(QStringLiteral("drop role if exists %1").arg(login));
    target.exec(QStringLiteral("create role %1 login password 'copy-Pass-71' in role %2")
                    .arg(login, owner));
    struct DropRole {
        TestDatabase& db;
        QString role;
        ~DropRole() { db.exec(QStringLiteral("drop role if exists %1").arg(role)); }
    } dropRole{target, login};
    ConnectionTarget as = parseConnectionString(target.seedConnectionString());
    as.user = login;
    as.password = QStringLiteral("copy-Pass-71");
    {
        Connection copier;
        copier.open(as.toConnectionString());
        copyDatabase(source, copier);
        EXPECT_EQ(copier.scalar(QStringLiteral("select current_user")).toString(), login);
        EXPECT_EQ(otherin::testing::tableDifferences(source, copier), QString());
    }
}

}  // namespace
