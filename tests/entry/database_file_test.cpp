// A database comes into being only where and when it is meant to, and only its
// owner may read it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "db/connection.h"
#include "db/db_error.h"
#include "db/schema.h"
#include "entry/database_file.h"

using namespace otherin::entry;
using otherin::db::Connection;
using otherin::db::DbError;

namespace {

// Sets a permissive umask for the test, so a private mode is the program's doing.
class OpenUmask {
  public:
    OpenUmask() : saved_(::umask(022)) {}
    ~OpenUmask() { ::umask(saved_); }

  private:
    mode_t saved_;
};

int userCount(Connection& c) {
    return c.scalar(QStringLiteral("select count(*) from tblUser")).toInt();
}

class DatabaseFileTest : public ::testing::Test {
  protected:
    QString path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }
    QTemporaryDir dir_;
    OpenUmask umask_;
};

TEST_F(DatabaseFileTest, OnlyTheDefaultPlaceIsCreatedOnFirstRun) {
    const QString standard = path("share/MendaxoStock2007/otherin.sqlite");
    {
        Connection c;
        openHostDatabase(c, QStringLiteral("sqlite:") + standard, standard);
        EXPECT_EQ(userCount(c), 3);  // the demo data
    }

    const QString typo = path("share/MendaxoStock2007/otherin.sqlit");
    Connection c;
    try {
        openHostDatabase(c, QStringLiteral("sqlite:") + typo, standard);
        ADD_FAILURE() << "a mistyped path became a database";
    } catch (const DbError& e) {
        EXPECT_EQ(e.message(),
                  QStringLiteral("数据库文件 %1 不存在。\n新建数据库请用: otherin init --db %1 "
                                 "[--demo]")
                      .arg(typo));
    }
    EXPECT_FALSE(QFileInfo::exists(typo));

    // an existing file that is not ours is not turned into one either
    const QString stranger = path("notes.sqlite");
    ASSERT_TRUE(QFile(stranger).open(QIODevice::WriteOnly));
    EXPECT_THROW(openHostDatabase(c, QStringLiteral("sqlite:") + stranger, standard), DbError);
    EXPECT_EQ(QFileInfo(stranger).size(), 0);
}

TEST_F(DatabaseFileTest, NewDatabaseAndItsLogFilesAreTheOwnersOnly) {
    const QString standard = path("first/otherin.sqlite");
    const QString made = path("made.sqlite");
    Connection first;
    openHostDatabase(first, QStringLiteral("sqlite:") + standard, standard);
    ASSERT_EQ(initDatabase(made, false), QStringLiteral("已新建数据库 %1").arg(made));
    Connection second;
    second.open(QStringLiteral("sqlite:") + made);
    second.exec(QStringLiteral("insert into tblUser(fuserid,fnumber) values(1,'a')"));
    for (const QString& db : {standard, made}) {
        for (const char* suffix : {"", "-wal", "-shm"}) {
            const QString file = db + QString::fromLatin1(suffix);
            struct stat info {};
            ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &info), 0) << file.toStdString();
            EXPECT_EQ(info.st_mode & 0777, 0600u) << file.toStdString();
        }
    }
    EXPECT_THROW(createPrivateFile(made), DbError);
}

TEST_F(DatabaseFileTest, InitCreatesWithOrWithoutDemoAndLeavesAnExistingDatabaseItsData) {
    const QString bare = path("bare.sqlite");
    const QString demo = path("sub/demo.sqlite");
    EXPECT_EQ(initDatabase(bare, false), QStringLiteral("已新建数据库 %1").arg(bare));
    EXPECT_EQ(initDatabase(demo, true), QStringLiteral("已新建数据库 %1，含演示数据").arg(demo));
    EXPECT_EQ(initDatabase(bare, true),
              QStringLiteral("数据库 %1 已存在，已更新到版本 %2；已有的数据库不装入演示数据")
                  .arg(bare)
                  .arg(otherin::db::schema::kVersion));
    Connection withoutDemo;
    withoutDemo.open(QStringLiteral("sqlite:") + bare);
    EXPECT_EQ(userCount(withoutDemo), 0);
    Connection withDemo;
    withDemo.open(QStringLiteral("sqlite:") + demo);
    EXPECT_EQ(userCount(withDemo), 3);
}

}  // namespace
