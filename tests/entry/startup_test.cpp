// Start-up, and who the component believes is logged in and which switches it
// follows: the database's login session and rows, never what a user may write
// into their own settings file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <functional>

#include "db/connection_string.h"
#include "db/db_error.h"
#include "db/schema.h"
#include "db/server_logins.h"
#include "db/server_roles.h"
#include "entry/cls_other_in.h"
#include "entry/database_file.h"
#include "entry/host_login.h"
#include "entry/login_context.h"
#include "entry/login_session.h"
#include "entry/permission.h"
#include "entry/settings_store.h"
#include "entry/shared_switches.h"
#include "entry/startup.h"
#include "entry/windows.h"
#include "support/scripted_prompter.h"
#include "support/test_database.h"

using namespace Qt::StringLiterals;
using namespace otherin::entry;
using otherin::db::DbError;
namespace db = otherin::db;
using otherin::testing::ScriptedPrompter;
using otherin::testing::TestDatabase;

namespace {

// The one user of these databases: a clerk of type 1.
const QString kClerk = QStringLiteral(
    "insert into tblUser(fuserid,fnumber,fname,fIsAdmin,fUserType) values(4,'wang','王五',0,1)");
const QString kClerkLogin = u"SystemLogin/gLoginUserId=4"_s;

// The message of the `Error` that `run` throws; empty when it throws none.
template <class Error>
QString refusal(const std::function<void()>& run) {
    try {
        run();
    } catch (const Error& e) {
        return e.message();
    }
    return QString();
}

class StartUpTest : public ::testing::Test {
  protected:
    // Starts up as the clerk with these settings besides the login.
    void start(const QStringList& settings = {}) {
        startUp(ctx, *db.settings(QStringList{kClerkLogin} + settings), prompter);
    }
    TestDatabase db;
    LoginContext ctx;
    ScriptedPrompter prompter;
};

TEST_F(StartUpTest, DatabaseNamesTheBillAndOverridesYearAndPeriod) {
    db.execAll({
        kClerk,
        u"insert into tblMaxBillNo(ftypeid,fbillno,fPreLetter,flength,"
        u"fNewBillName) values(7,0,'QT',6,'杂项入库单')"_s,
        u"insert into tblSystemInfo(fTypeid,fvalue) values(4,'2008')"_s,
        u"insert into tblSystemInfo(fTypeid,fvalue) values(5,'3')"_s,
        u"insert into tblSystemInfo(fTypeid,fvalue) values(68,'40')"_s,
        u"insert into tblPeriod(fTypeid,fYear,fPeriod,fStartDate,fEndDate) values"
        u"(2,2008,3,'2008-03-01','2008-04-01'),(2,2007,12,'2007-12-01','2008-01-01')"_s,
    });
    start({u"SystemSetup/gCurrentYear=2007"_s, u"SystemSetup/gCurrentPeriod=12"_s,
           u"SystemSetup/gIsShowTip=0"_s});
    EXPECT_EQ(u"%1 %2/%3 from %4 tip %5"_s.arg(ctx.gBillName)
                  .arg(ctx.gCurrentYear)
                  .arg(ctx.gCurrentPeriod)
                  .arg(ctx.gPeriodStartDate)
                  .arg(ctx.gIsShowTip),
              u"杂项入库单 2008/3 from 2008-03-01 tip 0"_s);
    EXPECT_FALSE(ctx.gConnection.isOpen());
    EXPECT_EQ(prompter.transcript(), QString());
}

TEST_F(StartUpTest, SettingsHoldingCommasAreReadAsWritten) {
    // As the suite's main program writes them: plain text, no quotes.
    const char* const cases[][2] = {
        {"msgTitle=仓库, 库存,账", "仓库, 库存,账"},
        {"msgTitle=\"仓库, 库存\"", "仓库, 库存"},
    };
    db.exec(kClerk);
    const QString path = db.dir() + u"/raw.ini"_s;
    for (const auto& [line, title] : cases) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        // The same key in other sections must not be taken for it.
        file.write(QStringLiteral("[DBOperation]\nDBConnectionString=%1\n[SystemLogin]\n"
                                  "gLoginToken=%2\n[Other]\nmsgTitle=a, b\n[SystemSetup]\n%3\n"
                                  "[Later]\nmsgTitle=c, d\n")
                       .arg(db.connectionString(), db.loginSession(4), QString::fromUtf8(line))
                       .toUtf8());
        file.close();
        startUp(ctx, SettingsStore(path), prompter);
        EXPECT_EQ(ctx.msgTitle, QString::fromUtf8(title)) << line;
    }
}

TEST_F(StartUpTest, AMissingDatabaseFileIsRefusedNotMade) {
    const QString missing = db.dir() + u"/gone.sqlite"_s;
    const QStringList settings{"DBOperation/DBConnectionString=sqlite:" + missing};
    EXPECT_EQ(refusal<DbError>([&] { startUp(ctx, *db.settings(settings), prompter); }),
              u"数据库文件 %1 不存在"_s.arg(missing));
    EXPECT_FALSE(QFileInfo::exists(missing));
}

// Records each window shown as "name mode entry-kind".
class RecordingWindows : public WindowFactory {
  public:
    struct Window : ModalWindow {
        Window(QStringList& s, const char* n, LoginContext& c) : shown(s), name(n), ctx(c) {}
        void showModal() override {
            shown << u"%1 %2 %3"_s.arg(name).arg(ctx.gEditMode).arg(ctx.gEntryKind);
        }
        QStringList& shown;
        const char* name;
        LoginContext& ctx;
    };
    std::unique_ptr<ModalWindow> createBillEditor(LoginContext& ctx) override {
        return std::make_unique<Window>(shown, "editor", ctx);
    }
    std::unique_ptr<ModalWindow> createQueryDialog(LoginContext& ctx) override {
        return std::make_unique<Window>(shown, "query", ctx);
    }
    QStringList shown;
};

// A wrong code opens nothing; each entry point shows its window in its own
// mode, and findInfo after findInfo3 (price editing) is no longer price editing.
TEST_F(StartUpTest, EntryPointsShowTheirWindowInTheirMode) {
    db.exec(kClerk);
    RecordingWindows windows;
    clsOtherIn component(*db.settings({kClerkLogin}), prompter, windows);
    QString newCode = QString::fromLatin1(clsOtherIn::kNewInfoCode);
    QString findCode = QString::fromLatin1(clsOtherIn::kFindInfoCode);
    QString lower = newCode.toLower();
    QString anything = u"select 1"_s;
    EXPECT_FALSE(component.newInfo(findCode));
    EXPECT_FALSE(component.newInfo(lower));
    EXPECT_FALSE(component.findInfo(newCode));

    component.context().gEditMode = 1;
    component.newInfo(newCode);
    EXPECT_EQ(component.findInfo3(anything), QString());
    component.findInfo(findCode);
    EXPECT_EQ(windows.shown, (QStringList{"editor 0 0", "query 4 3", "query 4 0"}));

    // Without a valid login the component is not made at all.
    EXPECT_THROW(clsOtherIn(*db.settings({u"SystemLogin/gLoginToken=forged"_s}), prompter, windows),
                 SettingsError);
}

QString login(qlonglong user) {
    return u"SystemLogin/gLoginUserId=%1"_s.arg(user);
}

class IdentityTest : public ::testing::Test {
  protected:
    // Demo users: 1 administrator, 2 张三 (clerk, type 1), 3 李四 (clerk, type 3).
    TestDatabase db_{TestDatabase::Seed::Demo};
    LoginContext ctx_;
    ScriptedPrompter prompter_;
};

TEST_F(IdentityTest, RightsAndNameComeFromTheUserRowNotFromTheSettings) {
    auto settings = db_.settings({login(3), u"SystemLogin/IsAdmin=1"_s, u"SystemLogin/UserType=1"_s,
                                  u"SystemLogin/gLoginUserName=系统管理员"_s});
    startUp(ctx_, *settings, prompter_);
    EXPECT_EQ(u"%1 %2 admin %3 type %4"_s.arg(ctx_.gLoginUserId, ctx_.gLoginUserName)
                  .arg(ctx_.IsAdmin)
                  .arg(ctx_.UserType),
              u"3 李四 admin 0 type 3"_s);
    // so the clerk's claim to be an administrator gets no right
    EXPECT_FALSE(hasRight(ctx_, prompter_, u"G03"_s));

    LoginContext admin;
    startUp(admin, *db_.settings({login(1), u"SystemLogin/IsAdmin=0"_s}), prompter_);
    EXPECT_EQ(admin.IsAdmin, 1);
}

TEST_F(IdentityTest, StartUpWithoutAValidLoginIsRefused) {
    // A session dated a day ahead ($F: never expiring), sessions of user 3 ($C,
    // and $R whose user is removed before its row), and an expired one of user
    // 2 made after them ($E: a new login clears those).
    const QString future = db_.loginSession(2, QDateTime::currentDateTimeUtc().addDays(1));
    const QString clerk = db_.loginSession(3);
    const QString removed = db_.loginSession(3);
    const QString expired =
        db_.loginSession(2, QDateTime::currentDateTimeUtc().addSecs(-(kSessionHours * 3600 + 60)));
    const char* const cases[][2] = {
        {"gLoginToken=", "没有登录信息，请先登录再打开其它入库单。"},
        {"gLoginToken=00ff00ff", "登录信息无效，请重新登录。"},
        {"gLoginToken=$E", "登录已过期，请重新登录。"},
        {"gLoginToken=$F", "登录信息无效，请重新登录。"},
        {"gLoginUserId=1 gLoginToken=$C", "设置中的用户与登录的用户不符，请重新登录。"},
        {"gLoginUserId=3x gLoginToken=$C", "设置中的用户与登录的用户不符，请重新登录。"},
        {"gLoginToken=$R", "登录的用户 3 已不存在，请重新登录。"},
    };
    for (const auto& [entries, message] : cases) {
        SCOPED_TRACE(entries);
        if (QString::fromLatin1(entries).contains("$R"))
            db_.exec(u"delete from tblUser where fuserid=3"_s);
        // no user named by an earlier case
        QStringList settings{u"SystemLogin/gLoginUserId="_s};
        for (QString e : QString::fromLatin1(entries).split(' '))
            settings << "SystemLogin/" + e.replace("$C", clerk)
                                             .replace("$R", removed)
                                             .replace("$E", expired)
                                             .replace("$F", future);
        LoginContext ctx;
        EXPECT_EQ(refusal<LoginError>([&] { startUp(ctx, *db_.settings(settings), prompter_); }),
                  QString::fromUtf8(message));
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
    const QStringList names = {"gIsCheckUpdate", "gIsCloseStock", "gUpdateSingleBill",
                               "gIsAddDelNumber"};
    // every other switch on, while both users' own settings claim the opposite
    for (const QList<int>& stored : {QList<int>{1, 0, 1, 0}, QList<int>{0, 1, 0, 1}}) {
        QStringList entries;
        for (int i = 0; i < names.size(); ++i) {
            db_.exec(u"update tblSystemSwitch set fvalue=? where fname=?"_s, {stored[i], names[i]});
            entries << u"SystemSetup/%1=%2"_s.arg(names[i]).arg(1 - stored[i]);
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
    // Switches are the administrators' to change.
    otherin::db::Connection c;
    c.open(db_.adminConnectionString());
    // gIsCheckUpdate and gIsCloseStock as stored
    const auto stored = [&] {
        return db_
            .scalar(
                "select group_concat(fvalue, ' ') from (select fvalue from tblSystemSwitch "
                "where fname in ('gIsCheckUpdate','gIsCloseStock') order by fname) s")
            .toString();
    };
    EXPECT_THROW(setSharedSwitch(c, u"gIsCloseStock"_s, 2), DbError);

    // saved, not audited, not void: its lines are in the ledger under rule 0
    db_.exec(
        u"insert into icstockbill(finterid,fbillno,ftrantype,fstatus,"
        u"fcancellation) values(1,'QT1',7,0,0),(2,'QT2',7,1,0),(3,'QT3',7,0,1)"_s);
    EXPECT_EQ(refusal<DbError>([&] { setSharedSwitch(c, u"gIsCheckUpdate"_s, 1); }),
              u"还有 1 张未审核的单据，不能更改 gIsCheckUpdate："
              u"请先审核或删除这些单据"_s);
    EXPECT_EQ(c.transactionDepth(), 0);
    // the same value again changes nothing and is allowed; other switches are free
    EXPECT_NO_THROW(setSharedSwitch(c, u"gIsCheckUpdate"_s, 0));
    setSharedSwitch(c, u"gIsCloseStock"_s, 1);
    EXPECT_EQ(stored(), u"0 1"_s);

    db_.exec(u"update icstockbill set fstatus=1 where finterid=1"_s);
    c.open(db_.adminConnectionString());
    setSharedSwitch(c, u"gIsCheckUpdate"_s, 1);
    EXPECT_EQ(stored(), u"1 1"_s);
}

class PermissionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        db_.execAll({
            u"insert into tblSystemPrivillenge(fitemid,fnumber) "
            u"values(1,'G01'),(2,'G02'),(3,'G03'),(4,'R10')"_s,
            // user 5 holds G01 directly and G02 through group 10, not G03 of group 11
            u"insert into tbluserPrivillenge(fuserid,fPrivillengeid) values(5,1)"_s,
            QStringLiteral(
                "insert into tblgroupprivillenge(fuserid,fprivillengeid) values(10,2),(11,3)"),
            QStringLiteral(
                "insert into tblUserGroupRelation(fuserid,fgroupid) values(5,10),(6,11)"),
        });
        ctx_.DBConnectionString = db_.connectionString();
        ctx_.msgTitle = u"标题"_s;
        ctx_.gLoginUserId = u"5"_s;
    }

    TestDatabase db_;
    LoginContext ctx_;
    ScriptedPrompter prompter_;
};

// Each check closes its connection, even one that was open before; a refusal
// names what was refused, and the code for a right of no action of this module.
TEST_F(PermissionTest, DirectAndGroupRightsPassOthersAreRefused) {
    const char* const cases[][2] = {
        {"G01", ""},
        {"G02", ""},
        {"G03", "! 您无此权限！不能删除单据（权限G03），请与系统管理员联系"},
        {"G99", "! 您无此权限！（权限G99），请与系统管理员联系"},
        {"x' or '1'='1", "! 您无此权限！（权限x' or '1'='1），请与系统管理员联系"},
    };
    ctx_.gRightPrefix = u"G"_s;
    for (const auto& [right, told] : cases) {
        SCOPED_TRACE(right);
        prompter_.clear();
        openConnection(ctx_);
        EXPECT_EQ(hasRight(ctx_, prompter_, QString::fromUtf8(right)), *told == 0);
        EXPECT_FALSE(ctx_.gConnection.isOpen());
        EXPECT_EQ(prompter_.transcript(), QString::fromUtf8(told));
    }
    EXPECT_EQ(prompter_.messages().at(0).title, u"标题"_s);

    // An administrator holds every right without a query: a connection string
    // no database answers makes any query fail.
    ctx_.IsAdmin = 1;
    ctx_.DBConnectionString = u"server=nowhere"_s;
    prompter_.clear();
    EXPECT_TRUE(hasRight(ctx_, prompter_, u"Z77"_s));
    EXPECT_TRUE(prompter_.messages().empty());
}

}  // namespace

// The settings hold the login token: written, the file is the user's alone,
// whether it is new or was left readable by others.
TEST(SettingsStoreTest, WritingKeepsTheFilePrivate) {
    QTemporaryDir dir;
    const QString fresh = dir.filePath(u"sub/new.ini"_s);
    const QString old = dir.filePath(u"old.ini"_s);
    QFile file(old);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[SystemLogin]\ngLoginUserId=2\n");
    file.close();
    QFile::setPermissions(old, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                   QFileDevice::ReadGroup | QFileDevice::ReadOther);
    for (const QString& path : {fresh, old}) {
        SettingsStore settings(path);
        settings.setValue(u"SystemLogin"_s, u"gLoginToken"_s, u"secret"_s);
        settings.sync();
        EXPECT_EQ(QFile::permissions(path) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
                  QFileDevice::ReadOwner | QFileDevice::WriteOwner)
            << path.toStdString();
        EXPECT_EQ(SettingsStore(path).value(u"SystemLogin"_s, u"gLoginToken"_s, {}), u"secret"_s);
    }
}

// A clerk's header is remembered at every save: the same text again leaves
// the file as it is (a rewrite replaces the file, and with it its inode).
TEST(SettingsStoreTest, TheSameValueAgainDoesNotRewriteTheFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"clerk.ini"_s);
    const auto inode = [&] {
        struct stat st {};
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : ino_t{0};
    };
    SettingsStore settings(path);
    settings.setValue(u"Options"_s, u"LastFStockID1"_s, u"502\t01\t原料仓"_s);
    settings.sync();
    const ino_t first = inode();
    ASSERT_NE(first, ino_t{0});
    settings.setValue(u"Options"_s, u"LastFStockID1"_s, u"502\t01\t原料仓"_s);
    settings.sync();
    EXPECT_EQ(inode(), first);
    settings.setValue(u"Options"_s, u"LastFStockID1"_s, u"503\t02\t成品仓"_s);
    settings.sync();
    EXPECT_NE(inode(), first);
    EXPECT_EQ(SettingsStore(path).value(u"Options"_s, u"LastFStockID1"_s, {}),
              u"503\t02\t成品仓"_s);
}

// On a server with roles, a clerk connected as their own login role is that
// clerk whatever the settings claim; an administrator's role makes an
// administrator; a clerk cannot upgrade an older database and is told so.
TEST_F(IdentityTest, AServerLoginIsTheClerkWhateverTheSettingsSay) {
    if (!TestDatabase::onServer()) GTEST_SKIP() << "server logins are a server's";
    const QString prefix = u"i%1"_s.arg(QCoreApplication::applicationPid());
    db::Connection c;
    c.open(db_.seedConnectionString());
    const QString clerk = prefix + u"_zhao"_s, admin = prefix + u"_qian"_s;
    const qlonglong clerkId = db::addClerk(c, clerk, u"赵六"_s, u"pw"_s, false);
    const qlonglong adminId = db::addClerk(c, admin, u"钱七"_s, u"pw"_s, true);
    const auto as = [&](const QString& role) {
        db::ConnectionTarget target = db::parseConnectionString(db_.seedConnectionString());
        target.user = role;
        target.password = u"pw"_s;
        return db_.settings({u"DBOperation/DBConnectionString="_s + target.toConnectionString(),
                             login(1), u"SystemLogin/IsAdmin=1"_s});
    };
    // Settings without the password: the clerk is asked, again after a wrong one.
    {
        db::ConnectionTarget target = db::parseConnectionString(db_.seedConnectionString());
        target.user = clerk;
        LoginContext asked;
        prompter_.expectInput(u"wrong"_s);
        prompter_.expectInput(u"pw"_s);
        startUp(asked,
                *db_.settings({u"DBOperation/DBConnectionString="_s + target.toConnectionString()}),
                prompter_);
        EXPECT_EQ(asked.gLoginUserName, u"赵六"_s);
        ASSERT_EQ(prompter_.inputPrompts().size(), 2);
        EXPECT_TRUE(
            prompter_.inputPrompts()[1].startsWith(u"密码不正确，请重新输入。\n数据库服务器 "_s))
            << prompter_.inputPrompts()[1].toStdString();
        closeConnection(asked);
    }
    LoginContext asClerk;
    startUp(asClerk, *as(clerk), prompter_);
    EXPECT_EQ(
        u"%1 %2 admin %3"_s.arg(asClerk.gLoginUserId, asClerk.gLoginUserName).arg(asClerk.IsAdmin),
        u"%1 赵六 admin 0"_s.arg(clerkId));
    EXPECT_FALSE(hasRight(asClerk, prompter_, u"G03"_s));
    LoginContext asAdmin;
    startUp(asAdmin, *as(admin), prompter_);
    EXPECT_EQ(u"%1 %2"_s.arg(asAdmin.gLoginUserId).arg(asAdmin.IsAdmin), u"%1 1"_s.arg(adminId));
    closeConnection(asClerk);
    closeConnection(asAdmin);
    // A login in the clerks' group that no user names is nobody here.
    const QString stranger = prefix + u"_stranger"_s;
    c.exec(u"create role %1 login password 'pw' in role otherin_t_clerk"_s.arg(stranger));
    {
        db::ConnectionTarget target = db::parseConnectionString(db_.seedConnectionString());
        target.user = stranger;
        target.password = u"pw"_s;
        db::Connection asStranger;
        asStranger.open(target.toConnectionString());
        EXPECT_TRUE(refusal<db::DbError>([&] {
                        serverLoginUser(asStranger);
                    }).startsWith(u"服务器登录 %1 没有对应的用户"_s.arg(stranger)));
    }

    c.exec(u"delete from schema_version where version=?"_s, {db::schema::kVersion});
    db::ConnectionTarget target = db::parseConnectionString(db_.seedConnectionString());
    target.user = clerk;
    target.password = u"pw"_s;
    db::Connection host;
    EXPECT_TRUE(refusal<db::DbError>([&] {
                    openHostDatabase(host, target.toConnectionString(), QString());
                }).contains(u"请管理员运行 otherin init"_s));
    EXPECT_EQ(db_.scalar(u"select max(version) from schema_version"_s).toInt(),
              db::schema::kVersion - 1);
    c.exec(u"insert into schema_version (version) values (?)"_s, {db::schema::kVersion});
    for (const QString& role : {clerk, admin, stranger}) c.exec(u"drop role "_s + role);
}
