#include <gtest/gtest.h>

#include <QFile>

#include "entry/login_context.h"
#include "entry/settings_store.h"
#include "entry/startup.h"
#include "support/scripted_prompter.h"
#include "support/test_database.h"

using namespace otherin::entry;
using otherin::testing::ScriptedPrompter;
using otherin::testing::TestDatabase;

namespace {
// The one user of these databases: a clerk of type 1.
const QString kClerk = QStringLiteral(
    "insert into tblUser(fuserid,fnumber,fname,fIsAdmin,fUserType) values(4,'wang','王五',0,1)");
const QString kClerkLogin = QStringLiteral("SystemLogin/gLoginUserId=4");
}  // namespace

TEST(StartUpTest, DefaultsWithoutSettingsAndWithoutRows) {
    TestDatabase db;
    db.exec(kClerk);
    auto settings = db.settings({kClerkLogin});
    LoginContext ctx;
    ScriptedPrompter prompter;
    startUp(ctx, *settings, prompter);

    EXPECT_EQ(ctx.msgTitle, QStringLiteral("Mendaxo进销存"));
    EXPECT_EQ(ctx.gLoginUserId, QStringLiteral("4"));
    EXPECT_EQ(ctx.gLoginUserName, QStringLiteral("王五"));
    EXPECT_EQ(ctx.gCurrentYear, 0);
    EXPECT_EQ(ctx.gCurrentPeriod, 0);
    EXPECT_EQ(ctx.gBillLength, 6);
    EXPECT_EQ(ctx.gSeekItem, QStringLiteral("fNumber"));
    EXPECT_TRUE(ctx.gIsShowTip);
    EXPECT_EQ(ctx.UserType, 1);
    EXPECT_EQ(ctx.gIsCloseStock + ctx.gIsUpdateBillNo + ctx.IsAdmin + ctx.gIsAddDelNumber +
                  ctx.gIsCheckUpdate + ctx.gUpdateSingleBill,
              0);
    EXPECT_EQ(ctx.gBillName, QStringLiteral("其它入库单"));
    EXPECT_EQ(ctx.gBillTypeId, 7);
    EXPECT_EQ(ctx.gViewName, QStringLiteral("vGOtherIn"));
    EXPECT_EQ(ctx.gRightPrefix, QStringLiteral("G"));
    EXPECT_EQ(ctx.gItemClassList, QStringLiteral(",G01,G02,G03,"));
    EXPECT_TRUE(ctx.gPeriodStartDate.isEmpty());
    EXPECT_FALSE(ctx.gConnection.isOpen());
    EXPECT_TRUE(prompter.messages().empty());
}

TEST(StartUpTest, DatabaseNamesTheBillAndOverridesYearAndPeriod) {
    TestDatabase db;
    db.execAll({
        kClerk,
        QStringLiteral("insert into tblMaxBillNo(ftypeid,fbillno,fPreLetter,flength,fNewBillName) "
                       "values(7,0,'QT',6,'杂项入库单')"),
        QStringLiteral("insert into tblSystemInfo(fTypeid,fvalue) values(4,'2008')"),
        QStringLiteral("insert into tblSystemInfo(fTypeid,fvalue) values(5,'3')"),
        QStringLiteral("insert into tblSystemInfo(fTypeid,fvalue) values(68,'40')"),
        QStringLiteral("insert into tblPeriod(fTypeid,fYear,fPeriod,fStartDate,fEndDate) "
                       "values(2,2008,3,'2008-03-01','2008-04-01')"),
        QStringLiteral("insert into tblPeriod(fTypeid,fYear,fPeriod,fStartDate,fEndDate) "
                       "values(2,2007,12,'2007-12-01','2008-01-01')"),
    });
    auto settings = db.settings({QStringLiteral("SystemSetup/gCurrentYear=2007"),
                                 QStringLiteral("SystemSetup/gCurrentPeriod=12"),
                                 QStringLiteral("SystemSetup/gIsShowTip=0"), kClerkLogin});
    LoginContext ctx;
    ScriptedPrompter prompter;
    startUp(ctx, *settings, prompter);
    EXPECT_EQ(ctx.gBillName, QStringLiteral("杂项入库单"));
    EXPECT_EQ(ctx.gCurrentYear, 2008);
    EXPECT_EQ(ctx.gCurrentPeriod, 3);
    EXPECT_EQ(ctx.gPeriodStartDate, QStringLiteral("2008-03-01"));
    EXPECT_FALSE(ctx.gIsShowTip);
}

TEST(StartUpTest, NumberingRowWithoutANameKeepsTheModulesOwn) {
    for (const char* name : {"''", "'  '", "null"}) {
        TestDatabase db;
        db.execAll({kClerk, QStringLiteral("insert into tblMaxBillNo(ftypeid,fbillno,fPreLetter,"
                                           "flength,fNewBillName) values(7,0,'QT',6,%1)")
                                .arg(QString::fromLatin1(name))});
        LoginContext ctx;
        ScriptedPrompter prompter;
        startUp(ctx, *db.settings({kClerkLogin}), prompter);
        EXPECT_EQ(ctx.gBillName, QStringLiteral("其它入库单")) << name;
        EXPECT_TRUE(prompter.messages().empty()) << name;
    }
}

TEST(StartUpTest, SettingsHoldingCommasAreReadAsWritten) {
    // As the suite's main program writes them: plain text, no quotes.
    struct Case {
        const char* line;
        const char* title;
    };
    const Case cases[] = {
        {"msgTitle=Mendaxo, 进销存", "Mendaxo, 进销存"},
        {"msgTitle=仓库,库存,账", "仓库,库存,账"},
        {"msgTitle=\"Mendaxo, 进销存\"", "Mendaxo, 进销存"},
        {"msgTitle = 库存 ", "库存"},
    };
    for (const Case& c : cases) {
        TestDatabase db;
        db.exec(kClerk);
        const QString path = db.dir() + QStringLiteral("/raw.ini");
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("[DBOperation]\nDBConnectionString=%1\n[SystemLogin]\n"
                                  "gLoginToken=%2\n")
                       .arg(db.connectionString(), db.loginSession(4))
                       .toUtf8());
        // The same key in other sections must not be taken for it.
        file.write("[Other]\nmsgTitle=a, b\n[SystemSetup]\n");
        file.write(c.line);
        file.write("\n[Later]\nmsgTitle=c, d\n");
        file.close();
        LoginContext ctx;
        ScriptedPrompter prompter;
        startUp(ctx, SettingsStore(path), prompter);
        EXPECT_EQ(ctx.msgTitle, QString::fromUtf8(c.title)) << c.line;
    }
}

TEST(StartUpTest, DatabaseErrorAfterOpeningIsReportedAndKeepsWhatWasRead) {
    TestDatabase db;
    db.execAll({
        kClerk,
        QStringLiteral("insert into tblMaxBillNo(ftypeid,fbillno,fPreLetter,flength,fNewBillName) "
                       "values(7,0,'QT',6,'杂项入库单')"),
        QStringLiteral("drop table tblSystemInfo"),
    });
    auto settings = db.settings({QStringLiteral("SystemSetup/gCurrentYear=2007"),
                                 QStringLiteral("SystemSetup/msgTitle=库存"), kClerkLogin});
    LoginContext ctx;
    ScriptedPrompter prompter;
    startUp(ctx, *settings, prompter);
    ASSERT_EQ(prompter.messages().size(), 1u);
    EXPECT_EQ(prompter.messages()[0].icon, Icon::Critical);
    EXPECT_EQ(prompter.messages()[0].title, QStringLiteral("库存"));
    EXPECT_TRUE(
        prompter.messages()[0].text.contains(QStringLiteral("tblSystemInfo"), Qt::CaseInsensitive));
    EXPECT_EQ(ctx.gBillName, QStringLiteral("杂项入库单"));
    EXPECT_EQ(ctx.gCurrentYear, 2007);
    EXPECT_FALSE(ctx.gConnection.isOpen());
}

TEST(StartUpTest, SettingThatDoesNotConvertFailsTheCreation) {
    TestDatabase db;
    LoginContext ctx;
    ScriptedPrompter prompter;
    EXPECT_THROW(
        startUp(ctx, *db.settings({QStringLiteral("SystemSetup/gBillLength=六")}), prompter),
        SettingsError);
    EXPECT_THROW(
        startUp(ctx, *db.settings({QStringLiteral("SystemSetup/gIsShowTip=maybe")}), prompter),
        SettingsError);
    EXPECT_THROW(
        startUp(ctx, *db.settings({QStringLiteral("SystemSetup/gCurrentYear=70000")}), prompter),
        SettingsError);
}
