// Who the component believes is logged in, and which switches it follows:
// the database's login session and rows, never what a user may write into
// their own settings file.
#include <gtest/gtest.h>

#include "db/db_error.h"
#include "entry/login_context.h"
#include "entry/login_session.h"
#include "entry/permission.h"
#include "entry/shared_switches.h"
#include "entry/startup.h"
#include "support/scripted_prompter.h"
#include "support/test_database.h"

using namespace otherin::entry;
using otherin::db::DbError;
using otherin::testing::ScriptedPrompter;
using otherin::testing::TestDatabase;

namespace {

QString login(qlonglong user) {
    return QStringLiteral("SystemLogin/gLoginUserId=%1").arg(user);
}

class IdentityTest : public ::testing::Test {
  protected:
    // Demo users: 1 administrator, 2 张三 (clerk, type 1), 3 李四 (clerk, type 3).
    TestDatabase db_{TestDatabase::Seed::Demo};
    LoginContext ctx_;
    ScriptedPrompter prompter_;
};

TEST_F(IdentityTest, RightsAndNameComeFromTheUserRowNotFromTheSettings) {
    auto settings = db_.settings({login(3), QStringLiteral("SystemLogin/IsAdmin=1"),
                                  QStringLiteral("SystemLogin/UserType=1"),
                                  QStringLiteral("SystemLogin/gLoginUserName=系统管理员")});
    startUp(ctx_, *settings, prompter_);
    EXPECT_EQ(ctx_.gLoginUserId, QStringLiteral("3"));
    EXPECT_EQ(ctx_.gLoginUserName, QStringLiteral("李四"));
    EXPECT_EQ(ctx_.IsAdmin, 0);
    EXPECT_EQ(ctx_.UserType, 3);
    // so the clerk's claim to be an administrator gets no right
    EXPECT_FALSE(hasRight(ctx_, prompter_, QStringLiteral("G03")));

    LoginContext admin;
    startUp(admin, *db_.settings({login(1), QStringLiteral("SystemLogin/IsAdmin=0")}), prompter_);
    EXPECT_EQ(admin.IsAdmin, 1);
}

TEST_F(IdentityTest, StartUpWithoutAValidLoginIsRefused) {
    // Sessions of user 3 ($C, and $R whose user is removed before its row), and
    // an expired one of user 2 made after them ($E: a new login clears those).
    const QString clerk = db_.loginSession(3);
    const QString removed = db_.loginSession(3);
    const QString expired =
        db_.loginSession(2, QDateTime::currentDateTimeUtc().addSecs(-(kSessionHours * 3600 + 60)));
    const char* const cases[][2] = {
        {"gLoginToken=", "没有登录信息，请先登录再打开其它入库单。"},
        {"gLoginToken=00ff00ff", "登录信息无效，请重新登录。"},
        {"gLoginToken=$E", "登录已过期，请重新登录。"},
        {"gLoginUserId=1 gLoginToken=$C", "设置中的用户与登录的用户不符，请重新登录。"},
        {"gLoginUserId=3x gLoginToken=$C", "设置中的用户与登录的用户不符，请重新登录。"},
        {"gLoginToken=$R", "登录的用户 3 已不存在，请重新登录。"},
    };
    for (const auto& [entries, message] : cases) {
        SCOPED_TRACE(entries);
        if (QString::fromLatin1(entries).contains("$R"))
            db_.exec(QStringLiteral("delete from tblUser where fuserid=3"));
        // no user named by an earlier case
        QStringList settings{QStringLiteral("SystemLogin/gLoginUserId=")};
        for (QString e : QString::fromLatin1(entries).split(' '))
            settings << "SystemLogin/" +
                            e.replace("$C", clerk).replace("$R", removed).replace("$E", expired);
        LoginContext ctx;
        QString refused;
        try {
            startUp(ctx, *db_.settings(settings), prompter_);
        } catch (const LoginError& e) {
            refused = e.message();
        }
        EXPECT_EQ(refused, QString::fromUtf8(message));
        EXPECT_FALSE(ctx.gConnection.isOpen());
    }
    EXPECT_TRUE(prompter_.messages().empty());
    // the table keeps no token, only its digest
    EXPECT_EQ(db_.scalar("select count(*) from tblLoginSession where ftokenhash like ?",
                         {"%" + clerk + "%"})
                  .toInt(),
              0);
}

TEST_F(IdentityTest, EveryUserFollowsTheDatabasesSwitchesWhateverTheirSettingsSay) {
    const QStringList names = {QStringLiteral("gIsCheckUpdate"), QStringLiteral("gIsCloseStock"),
                               QStringLiteral("gUpdateSingleBill"),
                               QStringLiteral("gIsAddDelNumber")};
    // every other switch on, while both users' own settings claim the opposite
    for (const QList<int>& stored : {QList<int>{1, 0, 1, 0}, QList<int>{0, 1, 0, 1}}) {
        QStringList entries;
        for (int i = 0; i < names.size(); ++i) {
            db_.exec(QStringLiteral("update tblSystemSwitch set fvalue=? where fname=?"),
                     {stored[i], names[i]});
            entries << QStringLiteral("SystemSetup/%1=%2").arg(names[i]).arg(1 - stored[i]);
        }
        for (qlonglong user : {2, 3}) {
            LoginContext ctx;
            startUp(ctx, *db_.settings(entries + QStringList{login(user)}), prompter_);
            EXPECT_EQ((QList<int>{ctx.gIsCheckUpdate, ctx.gIsCloseStock, ctx.gUpdateSingleBill,
                                  ctx.gIsAddDelNumber}),
                      stored)
                << user;
        }
    }
    EXPECT_TRUE(prompter_.messages().empty());
}

TEST_F(IdentityTest, PostingRuleChangesOnlyWhileNoBillWaitsForItsAudit) {
    otherin::db::Connection& c = db_.connection();
    c.open(db_.connectionString());
    auto value = [&](const char* name) {
        return db_
            .scalar(QStringLiteral("select fvalue from tblSystemSwitch where fname=?"),
                    {QString::fromLatin1(name)})
            .toInt();
    };
    EXPECT_THROW(setSharedSwitch(c, QStringLiteral("gIsCloseStock"), 2), DbError);

    // saved, not audited, not void: its lines are in the ledger under rule 0
    db_.exec(
        QStringLiteral("insert into icstockbill(finterid,fbillno,ftrantype,fstatus,"
                       "fcancellation) values(1,'QT1',7,0,0),(2,'QT2',7,1,0),(3,'QT3',7,0,1)"));
    QString refused;
    try {
        setSharedSwitch(c, QStringLiteral("gIsCheckUpdate"), 1);
    } catch (const DbError& e) {
        refused = e.message();
    }
    EXPECT_EQ(refused, QStringLiteral("还有 1 张未审核的单据，不能更改 gIsCheckUpdate："
                                      "请先审核或删除这些单据"));
    EXPECT_EQ(value("gIsCheckUpdate"), 0);
    EXPECT_EQ(c.transactionDepth(), 0);
    // the same value again changes nothing and is allowed; other switches are free
    EXPECT_NO_THROW(setSharedSwitch(c, QStringLiteral("gIsCheckUpdate"), 0));
    setSharedSwitch(c, QStringLiteral("gIsCloseStock"), 1);
    EXPECT_EQ(value("gIsCloseStock"), 1);

    db_.exec(QStringLiteral("update icstockbill set fstatus=1 where finterid=1"));
    c.open(db_.connectionString());
    setSharedSwitch(c, QStringLiteral("gIsCheckUpdate"), 1);
    EXPECT_EQ(value("gIsCheckUpdate"), 1);
}

class PermissionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        db_.execAll({
            QStringLiteral("insert into tblSystemPrivillenge(fitemid,fnumber) "
                           "values(1,'G01'),(2,'G02'),(3,'G03'),(4,'R10')"),
            // user 5 holds G01 directly and G02 through group 10, not G03 of group 11
            QStringLiteral("insert into tbluserPrivillenge(fuserid,fPrivillengeid) values(5,1)"),
            QStringLiteral(
                "insert into tblgroupprivillenge(fuserid,fprivillengeid) values(10,2),(11,3)"),
            QStringLiteral(
                "insert into tblUserGroupRelation(fuserid,fgroupid) values(5,10),(6,11)"),
        });
        ctx_.DBConnectionString = db_.connectionString();
        ctx_.msgTitle = QStringLiteral("标题");
        ctx_.gLoginUserId = QStringLiteral("5");
    }

    TestDatabase db_;
    LoginContext ctx_;
    ScriptedPrompter prompter_;
};

// Each check closes its connection, even one that was open before.
TEST_F(PermissionTest, DirectAndGroupRightsPassOthersAreRefused) {
    openConnection(ctx_);
    EXPECT_TRUE(hasRight(ctx_, prompter_, QStringLiteral("G01")));
    EXPECT_FALSE(ctx_.gConnection.isOpen());
    EXPECT_TRUE(hasRight(ctx_, prompter_, QStringLiteral("G02")));
    EXPECT_TRUE(prompter_.messages().empty());

    ctx_.gRightPrefix = QStringLiteral("G");
    openConnection(ctx_);
    EXPECT_FALSE(hasRight(ctx_, prompter_, QStringLiteral("G03")));
    EXPECT_FALSE(ctx_.gConnection.isOpen());
    EXPECT_FALSE(hasRight(ctx_, prompter_, QStringLiteral("G99")));
    EXPECT_FALSE(hasRight(ctx_, prompter_, QStringLiteral("x' or '1'='1")));
    // The refusal names what was refused, and the code for a right of no
    // action of this module.
    EXPECT_EQ(prompter_.transcript(),
              QStringLiteral("! 您无此权限！不能删除单据（权限G03），请与系统管理员联系\n"
                             "! 您无此权限！（权限G99），请与系统管理员联系\n"
                             "! 您无此权限！（权限x' or '1'='1），请与系统管理员联系"));
    EXPECT_EQ(prompter_.messages()[0].title, QStringLiteral("标题"));
}

TEST_F(PermissionTest, AdministratorHoldsEveryRightWithoutAQuery) {
    ctx_.IsAdmin = 1;
    // a connection string no database answers: any query would fail
    ctx_.DBConnectionString = QStringLiteral("server=nowhere");
    EXPECT_TRUE(hasRight(ctx_, prompter_, QStringLiteral("Z77")));
    EXPECT_TRUE(prompter_.messages().empty());
}

}  // namespace
