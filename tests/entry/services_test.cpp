#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "db/schema.h"
#include "entry/conversions.h"
#include "entry/host_login.h"
#include "entry/ini_file.h"
#include "entry/login_context.h"
#include "entry/settings_store.h"
#include "support/test_database.h"

using namespace otherin::entry;
using otherin::testing::TestDatabase;

TEST(ConversionsTest, TrimAndTreatEmptyAsZero) {
    EXPECT_EQ(toLong(QStringLiteral("   ")), 0);
    EXPECT_EQ(toLong(QStringLiteral(" 42 ")), 42);
    EXPECT_EQ(toLong(QStringLiteral("2147483647")), 2147483647);
    EXPECT_DOUBLE_EQ(toDouble(QStringLiteral("  2.5 ")), 2.5);
    EXPECT_DOUBLE_EQ(toDouble(QString()), 0.0);
    EXPECT_DOUBLE_EQ(toDouble(QStringLiteral("-0.125")), -0.125);
    EXPECT_EQ(toText(QStringLiteral("  ab ")), QStringLiteral("ab"));
}

TEST(IniFileTest, AbsentKeyWritesItsDefault) {
    QTemporaryDir dir;
    LoginContext ctx;
    ctx.gAppPath = dir.path();
    ctx.gIniFile = setupIniPath(ctx);
    EXPECT_EQ(readIni(ctx, QStringLiteral("LockCols"), QStringLiteral("frmMainBillResult7"),
                      QStringLiteral("1")),
              QStringLiteral("1"));
    QFile file(ctx.gIniFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("frmMainBillResult7=1"));

    writeIni(ctx, QStringLiteral("LockCols"), QStringLiteral("frmMainBillResult7"),
             QStringLiteral("3"));
    EXPECT_EQ(readIni(ctx, QStringLiteral("LockCols"), QStringLiteral("frmMainBillResult7"),
                      QStringLiteral("1")),
              QStringLiteral("3"));
}

TEST(HostLoginTest, ChecksPasswordAndWritesTheLoginSettings) {
    TestDatabase db;
    db.exec(
        QStringLiteral("insert into tblUser(fuserid,fnumber,fname,fIsAdmin,fUserType,fpassword) "
                       "values(2,'zhang','张三',0,3,'pw')"));
    EXPECT_FALSE(checkLogin(db.connection(), 2, QStringLiteral("wrong")).has_value());
    EXPECT_FALSE(checkLogin(db.connection(), 9, QString()).has_value());
    auto user = checkLogin(db.connection(), 2, QStringLiteral("pw"));
    ASSERT_TRUE(user.has_value());

    QTemporaryDir dir;
    SettingsStore store(dir.filePath(QStringLiteral("s.ini")));
    writeLoginSettings(store, *user, db.connectionString(), dir.path());
    EXPECT_EQ(store.value(QStringLiteral("SystemLogin"), QStringLiteral("gLoginUserName"), {}),
              QStringLiteral("张三"));
    EXPECT_EQ(store.value(QStringLiteral("SystemLogin"), QStringLiteral("UserType"), {}),
              QStringLiteral("3"));
    EXPECT_EQ(store.value(QStringLiteral("DBOperation"), QStringLiteral("DBConnectionString"), {}),
              db.connectionString());
}
