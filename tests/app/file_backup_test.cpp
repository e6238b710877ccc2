// Copies of the embedded database and putting one back: what is kept, what
// is refused while programs have the file open, and what a failed copy
// leaves behind (nothing).
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/resource.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <csignal>

#include "app/backup_files.h"
#include "app/daily_backup.h"
#include "app/sqlite_backup.h"
#include "db/connection.h"
#include "db/db_error.h"
#include "db/file_lock.h"
#include "db/schema.h"
#include "entry/settings_store.h"
#include "support/demo_login.h"
#include "support/table_compare.h"
#include "support/test_database.h"

using namespace otherin;
using otherin::testing::column;
using otherin::testing::TestDatabase;

namespace {

class FileBackupTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (TestDatabase::onServer()) GTEST_SKIP() << "copies of the embedded file";
        path_ = dir_.filePath(QStringLiteral("otherin.sqlite"));
        db::Connection c;
        c.open(QStringLiteral("sqlite:") + path_);
        db::schema::ensureSchema(c);
        db::schema::installDemoData(c, otherin::testing::kDemoToday);
        otherin::testing::addPostedBills(c, 20);
    }
    QString bills(const QString& file) {
        db::Connection c;
        c.open(QStringLiteral("sqlite:") + file);
        return column(c, QStringLiteral("select fbillno from icstockbill order by finterid"))
            .join(u',');
    }
    QString folder() const { return dir_.filePath(QStringLiteral("backups")); }

    QTemporaryDir dir_;
    QString path_;
};

TEST_F(FileBackupTest, CopiesArePrivateCheckedAndOnlyTheNewestAreKept) {
    QStringList made;
    for (int k = 0; k < 3; ++k) {
        const app::FileBackup b = app::backupDatabaseFile(path_, folder(), 2);
        ASSERT_TRUE(b.made) << b.problem.toStdString();
        EXPECT_EQ(QFileInfo(b.path).permissions() & 0x0777,
                  QFileDevice::ReadUser | QFileDevice::WriteUser);
        EXPECT_EQ(app::checkDatabaseFile(b.path), QString());
        db::Connection original, copy;
        original.open(QStringLiteral("sqlite:") + path_);
        copy.open(QStringLiteral("sqlite:") + b.path);
        EXPECT_EQ(otherin::testing::tableDifferences(original, copy), QString());
        made << QFileInfo(b.path).fileName();
    }
    // The two newest copies are left.
    QStringList newest = made.mid(1);
    newest.sort();
    EXPECT_EQ(QDir(folder()).entryList({QStringLiteral("*.sqlite")}, QDir::Files, QDir::Name),
              newest);
    EXPECT_FALSE(app::backupDue(folder(), QDate::currentDate()));
    EXPECT_TRUE(app::backupDue(folder(), QDate::currentDate().addDays(1)));
}

// A copy that cannot be written or does not pass its check is told, and no
// file of it is left.
TEST_F(FileBackupTest, AFailedCopyIsToldAndLeavesNothing) {
    const app::FileBackup unwritable =
        app::backupDatabaseFile(path_, QStringLiteral("/proc/otherin-backups"), 3);
    EXPECT_FALSE(unwritable.made);
    EXPECT_TRUE(unwritable.problem.contains(QStringLiteral("/proc/otherin-backups")))
        << unwritable.problem.toStdString();

    // The ledger no longer agrees with the bills: the copy is not kept.
    {
        db::Connection c;
        c.open(QStringLiteral("sqlite:") + path_);
        c.exec(QStringLiteral("update tblTimeStock set fqty=fqty+1"));
    }
    const app::FileBackup unchecked = app::backupDatabaseFile(path_, folder(), 3);
    EXPECT_FALSE(unchecked.made);
    EXPECT_TRUE(unchecked.problem.contains(QStringLiteral("未通过检查")))
        << unchecked.problem.toStdString();
    EXPECT_EQ(QDir(folder()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

// A full disk, made for real: the program runs with a limit on the size of
// the files it may write, below the database's.
TEST_F(FileBackupTest, AFullDiskIsToldByTheCommandAndLeavesNothing) {
    QProcess otherin;
    otherin.setChildProcessModifier([] {
        const rlimit small{64 * 1024, 64 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &small);
        std::signal(SIGXFSZ, SIG_IGN);  // a write beyond it fails instead
    });
    otherin.start(QStringLiteral(OTHERIN_PROGRAM),
                  {QStringLiteral("backup"), QStringLiteral("--db"), path_, QStringLiteral("--to"),
                   folder()});
    ASSERT_TRUE(otherin.waitForFinished(60000));
    ASSERT_GT(QFileInfo(path_).size(), 64 * 1024);
    const QString told = QString::fromUtf8(otherin.readAllStandardError());
    EXPECT_EQ(otherin.exitCode(), 1) << told.toStdString();
    EXPECT_TRUE(told.contains(QStringLiteral("备份已删除"))) << told.toStdString();
    EXPECT_EQ(QDir(folder()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

// A restore waits for every program to let go of the file, keeps what it
// replaced (with its log) aside, and leaves exactly the copy's data.
TEST_F(FileBackupTest, RestoreNeedsTheFileFreeAndSetsTheReplacedFileAsideWithItsLog) {
    const app::FileBackup b = app::backupDatabaseFile(path_, folder(), 3);
    ASSERT_TRUE(b.made) << b.problem.toStdString();
    const QString saved = bills(path_);

    {
        db::Connection open;  // a clerk's program
        open.open(QStringLiteral("sqlite:") + path_);
        const app::FileRestore refused = app::restoreDatabaseFile(b.path, path_);
        EXPECT_FALSE(refused.restored);
        EXPECT_TRUE(refused.problem.contains(QStringLiteral("正被其他程序使用")))
            << refused.problem.toStdString();
        open.exec(
            QStringLiteral("insert into icstockbill(finterid,fbillno,ftrantype) "
                           "values(98,'OPEN',7)"));
    }
    // A later bill, still in the file's log when its program stopped.
    {
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(path_.toUtf8().constData(), &raw), SQLITE_OK);
        sqlite3_db_config(raw, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        ASSERT_EQ(sqlite3_exec(raw,
                               "pragma wal_autocheckpoint=0; insert into icstockbill(finterid,"
                               "fbillno,ftrantype) values(99,'LATER',7)",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(raw);
    }
    ASSERT_TRUE(QFileInfo::exists(path_ + QStringLiteral("-wal")));

    const app::FileRestore done = app::restoreDatabaseFile(b.path, path_);
    ASSERT_TRUE(done.restored) << done.problem.toStdString();
    {
        db::Connection restored, copy;
        restored.open(QStringLiteral("sqlite:") + path_);
        copy.open(QStringLiteral("sqlite:") + b.path);
        EXPECT_EQ(otherin::testing::tableDifferences(restored, copy), QString());
    }
    EXPECT_EQ(app::checkDatabaseFile(path_), QString());
    // The replaced file and its log lie side by side under one name, whole.
    const QStringList aside = QDir(dir_.path()).entryList({QStringLiteral("*.replaced-*")});
    ASSERT_EQ(aside.size(), 3) << aside.join(u' ').toStdString();
    EXPECT_TRUE(aside[1].endsWith(QStringLiteral("-shm")) &&
                aside[2].endsWith(QStringLiteral("-wal")));
    EXPECT_EQ(bills(dir_.filePath(aside[0])), saved + QStringLiteral(",OPEN,LATER"));
    EXPECT_TRUE(done.told.join(u'\n').contains(aside[0])) << done.told.join(u'\n').toStdString();
}

TEST_F(FileBackupTest, NoProgramOpensTheFileWhileARestoreHoldsIt) {
    db::FileUseLock restoring;
    ASSERT_TRUE(restoring.take(path_, db::FileUseLock::Mode::Alone));
    db::Connection clerk;
    try {
        clerk.open(QStringLiteral("sqlite:") + path_);
        ADD_FAILURE() << "opened during a restore";
    } catch (const db::DbError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("正在从备份恢复")))
            << e.message().toStdString();
    }
    restoring.release();
    clerk.open(QStringLiteral("sqlite:") + path_);
    EXPECT_TRUE(clerk.isOpen());
}

// The day's first start copies the database in the background, once a day,
// where the settings say; switched off, it copies nothing.
TEST_F(FileBackupTest, TheDailyCopyIsTakenOnceADayWhereTheSettingsSay) {
    entry::SettingsStore settings(dir_.filePath(QStringLiteral("settings.ini")));
    settings.setValue(QStringLiteral("Backup"), QStringLiteral("Automatic"), QStringLiteral("0"));
    settings.setValue(QStringLiteral("Backup"), QStringLiteral("Folder"), folder());
    app::DailyBackup daily;
    EXPECT_FALSE(daily.start(path_, app::readBackupSettings(settings)));

    settings.setValue(QStringLiteral("Backup"), QStringLiteral("Automatic"), QStringLiteral("1"));
    QSignalSpy told(&daily, &app::DailyBackup::finished);
    ASSERT_TRUE(daily.start(path_, app::readBackupSettings(settings)));
    ASSERT_TRUE(told.wait(60000));
    const auto result = told.takeFirst().at(0).value<app::FileBackup>();
    EXPECT_TRUE(result.made) << result.problem.toStdString();
    EXPECT_EQ(QFileInfo(result.path).dir().absolutePath(), QDir(folder()).absolutePath());
    app::DailyBackup laterToday;  // another start of the program on the same day
    EXPECT_FALSE(laterToday.start(path_, app::readBackupSettings(settings)));
}

}  // namespace
