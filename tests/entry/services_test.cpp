#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "db/schema.h"
#include "entry/conversions.h"
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
