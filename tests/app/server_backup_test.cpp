// Dumps of a server database and their restore, on the test server with its
// own dump and restore tools; on SQLite there is no server and the tests skip.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUuid>

#include "app/server_backup.h"
#include "db/connection.h"
#include "db/connection_string.h"
#include "support/table_compare.h"
#include "support/test_database.h"

using namespace Qt::StringLiterals;
using namespace otherin;
using otherin::testing::tableDifferences;
using otherin::testing::TestDatabase;

namespace {

struct Outcome {
    int status = -1;
    QString out;
    QString err;
    std::string shown() const { return u"%1 %2|%3"_s.arg(status).arg(out, err).toStdString(); }
};

Outcome backup(const db::ConnectionTarget& target, const QString& folder, int keep = 7) {
    Outcome run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.status = app::backupServer(target, folder, keep, out, err);
    return run;
}

Outcome restore(const QString& from, const db::ConnectionTarget& target) {
    Outcome run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.status = app::restoreServer(from, target, out, err);
    return run;
}

db::ConnectionTarget onServer(const QString& database) {
    db::ConnectionTarget target =
        db::parseConnectionString(qEnvironmentVariable("OTHERIN_TEST_DB").trimmed());
    target.database = database;
    return target;
}

// A new, empty database on the test server, dropped after the test.
class EmptyDatabase {
  public:
    EmptyDatabase() : name_(u"otherin_r_"_s + QUuid::createUuid().toString(QUuid::Id128).left(16)) {
        admin_.open(onServer(u"postgres"_s).toConnectionString());
        admin_.exec(u"create database %1"_s.arg(name_));
        connection_.open(target().toConnectionString());
    }
    ~EmptyDatabase() {
        connection_.disconnect();
        admin_.exec(u"drop database if exists %1 with (force)"_s.arg(name_));
    }
    db::ConnectionTarget target() const { return onServer(name_); }
    db::Connection& connection() {
        connection_.open(target().toConnectionString());
        return connection_;
    }

  private:
    QString name_;
    db::Connection admin_;
    db::Connection connection_;
};

// Posted bills whose notes hold a quote and a backslash.
void addBills(db::Connection& c, int bills) {
    otherin::testing::addPostedBills(c, bills);
    c.exec(QStringLiteral(R"(update icstockbill set fnote='备注 ''' || finterid || ''' \ 第' || finterid || '张')"));
}

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

// The path of the one dump a backup of `from` into `folder` wrote.
QString dumpOf(const db::ConnectionTarget& from, const QString& folder) {
    EXPECT_EQ(backup(from, folder).status, 0);
    return QDir(folder).filePath(filesIn(folder).value(0));
}

class ServerBackupTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!TestDatabase::onServer()) GTEST_SKIP() << "server dumps need OTHERIN_TEST_DB";
    }
};

TEST_F(ServerBackupTest, ADumpRestoresIntoAnEmptyDatabaseWholeAndTheLedgerIsChecked) {
    struct Case {
        const char* name;
        bool ledgerOff;  // one ledger row no longer agrees with the bills
        int status;
        const char* told;
    };
    for (const Case& c : {Case{"agreeing", false, 0, "即时库存与单据一致"},
                          Case{"ledger off", true, 1, "即时库存有 1 项与单据不一致"}}) {
        SCOPED_TRACE(c.name);
        TestDatabase source(TestDatabase::Seed::Demo);
        addBills(source.connection(), 40);
        if (c.ledgerOff) source.exec(u"update tblTimeStock set fqty=fqty+1 where fitemid=1121"_s);
        const db::ConnectionTarget from = db::parseConnectionString(source.adminConnectionString());
        QTemporaryDir folder;

        const Outcome dumped = backup(from, folder.path());
        ASSERT_EQ(dumped.status, 0) << dumped.shown();
        EXPECT_TRUE(dumped.out.contains(u"已检查可以恢复"_s)) << dumped.shown();
        const QStringList files = filesIn(folder.path());
        ASSERT_EQ(files.size(), 1) << files.join(u' ').toStdString();
        EXPECT_TRUE(QRegularExpression(u"^otherin-%1-\\d{8}-\\d{6}\\.dump$"_s.arg(from.database))
                        .match(files[0])
                        .hasMatch())
            << files[0].toStdString();
        const QString dump = QDir(folder.path()).filePath(files[0]);
        // every user's password hash is in it: its owner's alone
        EXPECT_EQ(QFile::permissions(dump) & ~QFileDevice::Permissions(0x7700),
                  QFileDevice::Permissions());
        EXPECT_TRUE(QFile::permissions(dump).testFlag(QFileDevice::ReadOwner));

        EmptyDatabase copy;
        const Outcome restored = restore(dump, copy.target());
        EXPECT_EQ(restored.status, c.status) << restored.shown();
        EXPECT_TRUE(restored.out.contains(QString::fromUtf8(c.told))) << restored.shown();
        EXPECT_EQ(tableDifferences(source.seed(), copy.connection()), QString());
    }
}

TEST_F(ServerBackupTest, OnlyTheNewestDumpsAreKept) {
    TestDatabase source(TestDatabase::Seed::Demo);
    const db::ConnectionTarget from = db::parseConnectionString(source.adminConnectionString());
    QTemporaryDir folder;
    QStringList taken;  // each dump's name, in the order taken
    for (int i = 0; i < 3; ++i) {
        const QStringList before = filesIn(folder.path());
        const Outcome dumped = backup(from, folder.path(), 2);
        ASSERT_EQ(dumped.status, 0) << dumped.shown();
        for (const QString& name : filesIn(folder.path())) {
            if (!before.contains(name)) taken << name;
        }
    }
    ASSERT_EQ(taken.size(), 3) << taken.join(u' ').toStdString();
    EXPECT_EQ(filesIn(folder.path()), taken.mid(1));
}

TEST_F(ServerBackupTest, ARestoreIntoADatabaseHoldingTablesIsRefusedAndChangesNothing) {
    struct Case {
        const char* name;
        QStringList statements;  // empty: our schema with demo data and bills
    };
    const QList<Case> cases{
        {"our tables", {}},
        {"a table of its own",
         {u"create table notes(id integer primary key, body text)"_s,
          u"insert into notes values(1, 'keep me')"_s}},
    };
    TestDatabase source(TestDatabase::Seed::Demo);
    addBills(source.connection(), 5);
    QTemporaryDir folder;
    const QString dump =
        dumpOf(db::parseConnectionString(source.adminConnectionString()), folder.path());

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // the target, and its twin filled alike that the restore never sees
        EmptyDatabase target;
        EmptyDatabase twin;
        for (EmptyDatabase* d : {&target, &twin}) {
            if (c.statements.isEmpty()) {
                ASSERT_EQ(restore(dump, d->target()).status, 0);
                d->connection().exec(u"delete from icstockbill where finterid=3"_s);
            }
            for (const QString& statement : c.statements) d->connection().exec(statement);
        }
        const Outcome refused = restore(dump, target.target());
        EXPECT_EQ(refused.status, 1) << refused.shown();
        EXPECT_TRUE(refused.err.contains(u"不是空的"_s)) << refused.shown();
        EXPECT_EQ(tableDifferences(twin.connection(), target.connection()), QString());
    }
}

TEST_F(ServerBackupTest, AFailedDumpOrRestoreIsToldAndLeavesNothingBehind) {
    TestDatabase source(TestDatabase::Seed::Demo);
    const db::ConnectionTarget present = db::parseConnectionString(source.adminConnectionString());
    db::ConnectionTarget missing = present;
    missing.database = u"otherin_no_such_database"_s;
    missing.password = u"pw-never-shown"_s;
    EmptyDatabase empty;
    QTemporaryDir writable;
    struct Case {
        const char* name;
        db::ConnectionTarget target;
        QString folder;
        QString told;
        bool detail;  // the tool's own words on a line below
    };
    const QList<Case> cases{
        {"folder cannot be made", present, u"/proc/otherin-backups"_s, u"无法创建备份文件夹"_s,
         false},
        {"folder takes no file", present, u"/proc"_s, u"无法在备份文件夹 /proc 中写入文件"_s,
         false},
        {"no such database", missing, writable.path(), u"备份失败, 没有留下备份文件"_s, true},
        {"a database without tables", empty.target(), writable.path(),
         u"中没有任何表, 不是本程序的数据库, 没有留下备份文件"_s, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QStringList before = filesIn(c.folder);
        const Outcome failed = backup(c.target, c.folder);
        EXPECT_EQ(failed.status, 1) << failed.shown();
        EXPECT_TRUE(failed.err.contains(c.told)) << failed.shown();
        EXPECT_EQ(failed.err.contains(u"\n详细信息："_s), c.detail) << failed.shown();
        EXPECT_FALSE(failed.err.contains(u"pw-never-shown"_s)) << failed.shown();
        EXPECT_EQ(filesIn(c.folder), before);
    }

    // a dump whose last table is cut short is refused whole: the database
    // keeps none of the tables made before the cut
    const QString dump = dumpOf(present, writable.path());
    QFile file(dump);
    ASSERT_TRUE(file.resize(file.size() - 200));
    EmptyDatabase target;
    const Outcome cut = restore(dump, target.target());
    EXPECT_EQ(cut.status, 1) << cut.shown();
    EXPECT_TRUE(cut.err.contains(u"失败, 数据库没有改动\n详细信息："_s)) << cut.shown();
    EXPECT_EQ(target.connection()
                  .scalar(u"select count(*) from information_schema.tables where "
                          u"table_schema=current_schema()"_s)
                  .toInt(),
              0);
}

}  // namespace
