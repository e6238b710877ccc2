// The administrator's commands on the terminal (init, passwd and switch) and the
// passwords they keep: only as salted slow hashes.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <deque>

#include "db/connection.h"
#include "db/db_error.h"
#include "db/password_hash.h"
#include "db/schema.h"
#include "db/server_roles.h"
#include "entry/host_commands.h"
#include "entry/host_login.h"
#include "support/test_database.h"

using namespace otherin::entry;
using otherin::db::verifyPassword;
using otherin::testing::TestDatabase;
namespace schema = otherin::db::schema;

namespace {

// Answers the prompts from a queue; an unexpected prompt fails the test.
class ScriptedTerminal : public Terminal {
  public:
    std::optional<QString> readSecret(const QString& prompt) override {
        prompts << prompt;
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected prompt " << prompt.toStdString();
            return std::nullopt;
        }
        QString answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void print(const QString& line) override { out << line; }
    void error(const QString& line) override { err << line; }

    std::deque<QString> answers;
    QStringList prompts;
    QStringList out;
    QStringList err;
};

class HostCommandsTest : public ::testing::Test {
  protected:
    // Runs `otherin <words> --db <test database>` answering the prompts with
    // `answers` (split at commas); answers the exit status, every prompt,
    // line and error, and the password each demo user now logs in with.
    QString run(const QString& words, const QString& answers = QString()) {
        ScriptedTerminal terminal;
        for (const QString& a : answers.split(',', Qt::SkipEmptyParts))
            terminal.answers.push_back(a == "-" ? QString() : a);
        QStringList args = words.split(' ');
        args.prepend(QStringLiteral("otherin"));
        args << QStringLiteral("--db") << db_.connectionString();
        const int status = runHostCommand(args, terminal);
        EXPECT_TRUE(terminal.answers.empty()) << "answers left over";
        QStringList logins;
        db_.connection().open(db_.connectionString());
        for (qlonglong user : {1, 2, 3}) {
            for (const char* password : {"", "abc", "xyz", "root"}) {
                if (checkLogin(db_.connection(), user, QString::fromLatin1(password)))
                    logins << QStringLiteral("%1:%2").arg(user).arg(password);
            }
        }
        return QStringLiteral("%1 [%2] [%3] [%4] %5")
            .arg(status)
            .arg(terminal.prompts.join('|'), terminal.out.join('|'), terminal.err.join('|'),
                 logins.join(' '));
    }
    QString switchValue(const char* name) {
        return db_
            .scalar(QStringLiteral("select fvalue from tblSystemSwitch where fname=?"),
                    {QString::fromLatin1(name)})
            .toString();
    }

    // Demo users 1 (administrator), 2 and 3 (clerks), all without passwords;
    // the commands run as a member of the administrators' group.
    TestDatabase db_{TestDatabase::Seed::Demo, TestDatabase::Roles::Administrator};
};

TEST_F(HostCommandsTest, PasswdAsksTwiceAndThenWantsTheCurrentPassword) {
    const char* const steps[][3] = {
        {"passwd --user 2", "abc,abd",
         "1 [新密码: |再输入一次新密码: ] [] [两次输入的密码不一致，密码未更改] 1: 2: 3:"},
        {"passwd --user 2", "abc,abc",
         "0 [新密码: |再输入一次新密码: ] [用户 2 张三 的密码已更改] [] 1: 2:abc 3:"},
        // now the current one is asked first, and a wrong one changes nothing
        {"passwd --user 2 --password xyz", "abd",
         "1 [当前密码: ] [] [当前密码不正确，密码未更改] 1: 2:abc 3:"},
        // for scripts: both on the command line, nothing asked
        {"passwd --user 2 --old-password abc --password xyz", "",
         "0 [] [用户 2 张三 的密码已更改] [] 1: 2:xyz 3:"},
        {"passwd --user 3 --password ", "", "1 [] [] [新密码不能为空，密码未更改] 1: 2:xyz 3:"},
    };
    for (const auto& [words, answers, result] : steps)
        EXPECT_EQ(run(words, answers), QString::fromUtf8(result)) << words;
}

// Only an administrator who gives the right password changes a switch.
TEST_F(HostCommandsTest, SwitchChangesForAnAdministratorOnly) {
    const char* const steps[][3] = {
        {"passwd --user 1 --password root", "",
         "0 [] [用户 1 系统管理员 的密码已更改] [] 1:root 2: 3:"},
        {"switch gIsCheckUpdate 1 --user 2", "-",
         "1 [用户 2 的密码: ] [] [只有系统管理员可以更改开关] 1:root 2: 3:"},
        {"switch gIsCheckUpdate 1 --user 1", "wrong",
         "1 [用户 1 的密码: ] [] [用户编号或密码不正确] 1:root 2: 3:"},
    };
    for (const auto& [words, answers, result] : steps)
        EXPECT_EQ(run(words, answers), QString::fromUtf8(result)) << words;
    EXPECT_EQ(switchValue("gIsCheckUpdate"), QStringLiteral("0"));
    EXPECT_TRUE(run("switch gIsCheckUpdate 1 --user 1", "root").startsWith("0 "));
    EXPECT_EQ(switchValue("gIsCheckUpdate"), QStringLiteral("1"));
}

// The user's stored password column: "fpassword" (text) or "fpasswordhash".
QString stored(TestDatabase& db, const char* column, qlonglong user) {
    return db.scalar(QStringLiteral("select %1 from tblUser where fuserid=?").arg(column), {user})
        .toString();
}

TEST(PasswordLoginTest, OnlyTheRightPasswordLogsIn) {
    TestDatabase db{TestDatabase::Seed::Empty, TestDatabase::Roles::Administrator};
    db.exec(
        QStringLiteral("insert into tblUser(fuserid,fnumber,fname) values(1,'a','甲'),"
                       "(2,'b','乙'),(3,'c','丙')"));
    auto& c = db.connection();
    setPassword(c, 2, QStringLiteral("秘密 pw"));
    // user 3 still has a password from before hashes were kept
    db.exec(QStringLiteral("update tblUser set fpassword='old' where fuserid=3"));

    const struct {
        qlonglong user;
        const char* password;
        bool accepted;
    } cases[] = {
        {1, "", true},         {1, "x", false},   {2, "秘密 pw", true},
        {2, "秘密 PW", false}, {3, "Old", false}, {9, "", false},
    };
    for (const auto& k : cases) {
        c.open(db.connectionString());
        const auto user = checkLogin(c, k.user, QString::fromUtf8(k.password));
        EXPECT_EQ(user ? user->id : 0, k.accepted ? k.user : 0) << k.user << " " << k.password;
    }
    // a refused text password stays as it was
    EXPECT_EQ(stored(db, "fpassword", 3), QStringLiteral("old"));
    EXPECT_TRUE(stored(db, "fpasswordhash", 3).isEmpty());

    // the right one logs in once more and is hashed on the way
    c.open(db.connectionString());
    ASSERT_TRUE(checkLogin(c, 3, QStringLiteral("old")).has_value());
    EXPECT_TRUE(stored(db, "fpassword", 3).isEmpty());
    EXPECT_TRUE(verifyPassword(stored(db, "fpasswordhash", 3), QStringLiteral("old")));

    // the same password hashes differently
    c.open(db.connectionString());
    setPassword(c, 1, QStringLiteral("秘密 pw"));
    EXPECT_NE(stored(db, "fpasswordhash", 1), stored(db, "fpasswordhash", 2));
}

TEST(PasswordLoginTest, UpgradeHashesThePasswordsStoredAsText) {
    QTemporaryDir dir;
    otherin::db::Connection c;
    c.open(QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("old.sqlite")));
    // a database as version 1 left it
    schema::runScript(c, schema::schemaScript());
    c.exec(
        QStringLiteral("insert into tblUser(fuserid,fnumber,fname,fpassword) values"
                       "(1,'a','甲','first'),(2,'b','乙',''),(3,'c','丙',null)"));
    schema::ensureSchema(c);
    EXPECT_EQ(schema::currentVersion(c), schema::kVersion);

    EXPECT_EQ(c.scalar(QStringLiteral("select count(*) from tblUser where fpassword<>''")).toInt(),
              0);
    EXPECT_TRUE(verifyPassword(
        c.scalar(QStringLiteral("select fpasswordhash from tblUser where fuserid=1")).toString(),
        QStringLiteral("first")));
    for (qlonglong user : {1, 2, 3}) {
        EXPECT_EQ(checkLogin(c, user, QString()).has_value(), user != 1) << user;
    }
    EXPECT_TRUE(checkLogin(c, 1, QStringLiteral("first")).has_value());
}

}  // namespace

// On a server an administrator adds, lists and disables clerks' logins; the
// password is typed twice at the prompt and never taken from the command line.
TEST_F(HostCommandsTest, UserCommandsManageClerksLoginsOnAServer) {
    if (!TestDatabase::onServer()) GTEST_SKIP() << "clerks' logins are a server's";
    const QString prefix = QStringLiteral("h%1").arg(QCoreApplication::applicationPid());
    const QString login = prefix + QStringLiteral("_li");
    const QString add = QStringLiteral("user add --login %1 --name 李雷").arg(login);
    EXPECT_TRUE(run(add, QStringLiteral("pw1,pw2"))
                    .startsWith(QStringLiteral(
                        "1 [新密码: |再输入一次新密码: ] [] [两次输入的密码不一致，密码未更改]")));
    EXPECT_TRUE(run(add + QStringLiteral(" --password pw1"))
                    .startsWith(QStringLiteral("1 [] [] [服务器的密码不能写在命令行上")));
    EXPECT_TRUE(run(add, QStringLiteral("pw1,pw1"))
                    .startsWith(QStringLiteral(
                                    "0 [新密码: |再输入一次新密码: ] [已建立录单员 %1（用户 4）]")
                                    .arg(login)));
    EXPECT_TRUE(
        run(QStringLiteral("user list")).contains(QStringLiteral("4  %1  李雷]").arg(login)));
    EXPECT_TRUE(run(QStringLiteral("user disable --login %1").arg(login))
                    .startsWith(QStringLiteral("0 [] [%1 已停用，其连接已断开]").arg(login)));
    EXPECT_TRUE(run(QStringLiteral("user list"))
                    .contains(QStringLiteral("4  %1  李雷  已停用]").arg(login)));
    // Logins are the server's: they go with the test.
    db_.exec(QStringLiteral("drop role ") + login);
}

namespace {

// A database every clerk reached through one shared login, as earlier
// versions set it up: that login owns the tables.
QString sharedLoginDatabase(TestDatabase& db, const QString& shared) {
    db.exec(QStringLiteral("create role %1 login password 'old-pw'").arg(shared));
    db.exec(QStringLiteral(
                "do $$ declare r record; begin for r in select c.relname, c.relkind from pg_class "
                "c where c.relnamespace = current_schema()::regnamespace and c.relkind in "
                "('r','v','S') and not exists (select 1 from pg_depend d where d.objid = c.oid and "
                "d.deptype = 'i') loop execute format('alter %s %I owner to %I', case r.relkind "
                "when 'v' then 'view' when 'S' then 'sequence' else 'table' end, r.relname, "
                "'%1'); end loop; end $$")
                .arg(shared));
    otherin::db::ConnectionTarget target =
        otherin::db::parseConnectionString(db.seedConnectionString());
    target.user = shared;
    target.password = QStringLiteral("old-pw");
    return target.toConnectionString();
}

}  // namespace

// One command moves such a database over: the owner role takes the tables,
// each user gets a login of their own that works once the administrator sets
// its password (a user whose number names a group role gets user<id>), and
// the shared login can no longer log in. The shared login cannot run it on
// itself.
TEST(MigrateTest, ASharedLoginDatabaseGetsALoginPerUserAndTheSharedOneIsDisabled) {
    if (!TestDatabase::onServer()) GTEST_SKIP() << "logins are a server's";
    TestDatabase db{TestDatabase::Seed::Demo, TestDatabase::Roles::None};
    const QString prefix = QStringLiteral("m%1").arg(QCoreApplication::applicationPid());
    const QString shared = prefix + QStringLiteral("_shared");
    const QString asShared = sharedLoginDatabase(db, shared);
    // 张三 had a password of the module's; the server checks his login's from now on.
    db.exec(QStringLiteral("update tblUser set fpasswordhash='x', fpassword='y' where fuserid=2"));
    const auto run = [&](const QString& url, const QStringList& words, const QString& answer) {
        ScriptedTerminal terminal;
        if (!answer.isEmpty()) terminal.answers = {answer, answer};
        const int status = runHostCommand(QStringList{QStringLiteral("otherin")} + words +
                                              QStringList{QStringLiteral("--db"), url},
                                          terminal);
        return QStringLiteral("%1 %2%3").arg(status).arg(terminal.out.join('|'),
                                                         terminal.err.join('|'));
    };
    const QStringList migrate{QStringLiteral("migrate"), QStringLiteral("--role-prefix"), prefix};
    EXPECT_TRUE(run(asShared, migrate, {})
                    .startsWith(QStringLiteral("1 共用的登录 %1 迁移后将被停用").arg(shared)));

    EXPECT_EQ(
        run(db.seedConnectionString(), migrate, {}),
        QStringLiteral("0 用户 1 系统管理员 → 登录名 %1_user1（管理员）|用户 2 张三 → 登录名 "
                       "%1_zhang|用户 3 李四 → 登录名 %1_li|共用的登录 %2 已停用，其连接已断开。|"
                       "请为每个登录设置密码: otherin user passwd --db … --login 登录名")
            .arg(prefix, shared));
    EXPECT_EQ(
        db.scalar(QStringLiteral("select tableowner from pg_tables where tablename='icstockbill'")),
        prefix + QStringLiteral("_owner"));
    EXPECT_FALSE(
        db.scalar(QStringLiteral("select rolcanlogin from pg_roles where rolname=?"), {shared})
            .toBool());
    EXPECT_THROW(otherin::db::Connection().open(asShared), otherin::db::DbError);
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from tblUser where fpasswordhash<>'' or "
                                       "fpassword<>''"))
                  .toInt(),
              0);

    // Zhang logs in once the administrator has set the password, and is user 2.
    const QString zhang = prefix + QStringLiteral("_zhang");
    EXPECT_TRUE(
        run(db.seedConnectionString(),
            {QStringLiteral("user"), QStringLiteral("passwd"), QStringLiteral("--login"), zhang},
            QStringLiteral("zhang-pw"))
            .startsWith(QStringLiteral("0 ")));
    otherin::db::ConnectionTarget target =
        otherin::db::parseConnectionString(db.seedConnectionString());
    target.user = zhang;
    target.password = QStringLiteral("zhang-pw");
    {
        otherin::db::Connection c;
        c.open(target.toConnectionString());
        const auto user = serverLoginUser(c);
        ASSERT_TRUE(user);
        EXPECT_EQ(user->id, 2);
        EXPECT_EQ(user->isAdmin, 0);
    }

    otherin::testing::dropServerRoles(db.seed(), prefix, {shared});
}
