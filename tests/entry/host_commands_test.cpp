// The administrator's commands on the terminal (init, passwd and switch) and the
// passwords they keep: only as salted slow hashes.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>
#include <deque>

#include "db/connection.h"
#include "db/password_hash.h"
#include "db/schema.h"
#include "entry/host_commands.h"
#include "entry/host_login.h"
#include "entry/settings_store.h"
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
    // Runs `otherin <words> --db <test database>`; the words are split at spaces.
    int run(const QString& words, std::deque<QString> answers = {}) {
        return run(words.split(QLatin1Char(' ')), std::move(answers));
    }
    int run(QStringList args, std::deque<QString> answers = {}) {
        terminal_ = ScriptedTerminal();
        terminal_.answers = std::move(answers);
        args.prepend(QStringLiteral("otherin"));
        args << QStringLiteral("--db") << db_.connectionString();
        const int status = runHostCommand(args, terminal_);
        EXPECT_TRUE(terminal_.answers.empty()) << "answers left over";
        return status;
    }
    bool logsIn(qlonglong user, const QString& password) {
        db_.connection().open(db_.connectionString());
        return checkLogin(db_.connection(), user, password).has_value();
    }
    QString switchValue(const char* name) {
        return db_
            .scalar(QStringLiteral("select fvalue from tblSystemSwitch where fname=?"),
                    {QString::fromLatin1(name)})
            .toString();
    }

    // Demo users 1 (administrator), 2 and 3 (clerks), all without passwords.
    TestDatabase db_{TestDatabase::Seed::Demo};
    ScriptedTerminal terminal_;
};

TEST_F(HostCommandsTest, PasswdAsksTwiceAndThenWantsTheCurrentPassword) {
    EXPECT_EQ(run("passwd --user 2", {"abc", "abd"}), 1);
    EXPECT_EQ(terminal_.prompts, (QStringList{"新密码: ", "再输入一次新密码: "}));
    EXPECT_EQ(terminal_.err, QStringList{"两次输入的密码不一致，密码未更改"});
    EXPECT_TRUE(logsIn(2, QString()));

    EXPECT_EQ(run("passwd --user 2", {"abc", "abc"}), 0);
    EXPECT_EQ(terminal_.out, QStringList{"用户 2 张三 的密码已更改"});
    EXPECT_FALSE(logsIn(2, QString()));
    EXPECT_TRUE(logsIn(2, QStringLiteral("abc")));

    // now the current one is asked first, and a wrong one changes nothing
    EXPECT_EQ(run("passwd --user 2 --password xyz", {"abd"}), 1);
    EXPECT_EQ(terminal_.prompts, QStringList{"当前密码: "});
    EXPECT_EQ(terminal_.err, QStringList{"当前密码不正确，密码未更改"});
    EXPECT_TRUE(logsIn(2, QStringLiteral("abc")));

    // for scripts: both on the command line, nothing asked
    EXPECT_EQ(run("passwd --user 2 --old-password abc --password xyz"), 0);

    for (const QStringList& refused :
         {QStringList{"passwd"}, QStringList{"passwd", "--user", "9", "--password", "p"},
          QStringList{"passwd", "--user", "3", "--password", ""}}) {
        EXPECT_EQ(run(refused), 1) << refused.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(terminal_.err.size(), 1);
    }
    EXPECT_TRUE(logsIn(3, QString()));
}

TEST_F(HostCommandsTest, SwitchListsForAnyoneAndChangesForAnAdministratorOnly) {
    EXPECT_EQ(run("switch"), 0);
    ASSERT_EQ(terminal_.out.size(), 4);
    EXPECT_TRUE(terminal_.out[0].startsWith(QStringLiteral("gIsCheckUpdate=0  ")));

    ASSERT_EQ(run("passwd --user 1 --password root"), 0);
    EXPECT_EQ(run("switch gIsCheckUpdate 1 --user 2", {QString()}), 1);
    EXPECT_EQ(terminal_.err, QStringList{"只有系统管理员可以更改开关"});
    EXPECT_EQ(run("switch gIsCheckUpdate 1 --user 1", {"wrong"}), 1);
    EXPECT_EQ(terminal_.prompts, QStringList{"用户 1 的密码: "});
    EXPECT_EQ(terminal_.err, QStringList{"用户编号或密码不正确"});
    EXPECT_EQ(switchValue("gIsCheckUpdate"), QStringLiteral("0"));

    EXPECT_EQ(run("switch gIsCheckUpdate 1 --user 1", {"root"}), 0);
    EXPECT_EQ(switchValue("gIsCheckUpdate"), QStringLiteral("1"));
    EXPECT_EQ(run("switch gIsCheck"), 1);
    EXPECT_EQ(run("switch gIsCloseStock on --user 1 --password root"), 1);
    EXPECT_EQ(switchValue("gIsCloseStock"), QStringLiteral("0"));
}

TEST_F(HostCommandsTest, InitMakesTheFileOtherCommandsRefuseAMissingOne) {
    const QString made = db_.dir() + QStringLiteral("/made.sqlite");
    ScriptedTerminal terminal;
    EXPECT_EQ(runHostCommand({"otherin", "init", "--db", made, "--demo"}, terminal), 0);
    EXPECT_EQ(terminal.out, QStringList{QStringLiteral("已新建数据库 %1，含演示数据").arg(made)});

    const QString missing = db_.dir() + QStringLiteral("/missing.sqlite");
    for (const char* command : {"passwd", "switch"}) {
        ScriptedTerminal t;
        EXPECT_EQ(runHostCommand({"otherin", QString::fromLatin1(command), "--db", missing,
                                  "--user", "1", "--password", "p"},
                                 t),
                  1);
        ASSERT_EQ(t.err.size(), 1);
        EXPECT_TRUE(t.err[0].startsWith(QStringLiteral("数据库文件 %1 不存在").arg(missing)));
    }
    EXPECT_FALSE(QFileInfo::exists(missing));
}

QString storedHash(TestDatabase& db, qlonglong user) {
    return db.scalar(QStringLiteral("select fpasswordhash from tblUser where fuserid=?"), {user})
        .toString();
}
QString storedText(TestDatabase& db, qlonglong user) {
    return db.scalar(QStringLiteral("select fpassword from tblUser where fuserid=?"), {user})
        .toString();
}

TEST(PasswordLoginTest, OnlyTheRightPasswordLogsIn) {
    TestDatabase db;
    db.exec(
        QStringLiteral("insert into tblUser(fuserid,fnumber,fname) values(1,'a','甲'),"
                       "(2,'b','乙'),(3,'c','丙')"));
    auto& c = db.connection();
    setPassword(c, 2, QStringLiteral("秘密 pw"));
    // user 3 still has a password from before hashes were kept
    db.exec(QStringLiteral("update tblUser set fpassword='old' where fuserid=3"));

    struct Case {
        qlonglong user;
        const char* password;
        bool accepted;
    };
    const Case cases[] = {
        {1, "", true},         {1, "x", false},   {2, "秘密 pw", true},
        {2, "秘密 PW", false}, {3, "Old", false}, {9, "", false},
    };
    for (const Case& k : cases) {
        c.open(db.connectionString());
        const auto user = checkLogin(c, k.user, QString::fromUtf8(k.password));
        EXPECT_EQ(user.has_value(), k.accepted) << k.user << " " << k.password;
        if (user) {
            EXPECT_EQ(user->id, k.user);
        }
    }
    // a refused text password stays as it was
    EXPECT_EQ(storedText(db, 3), QStringLiteral("old"));
    EXPECT_TRUE(storedHash(db, 3).isEmpty());

    // the right one logs in once more and is hashed on the way
    c.open(db.connectionString());
    ASSERT_TRUE(checkLogin(c, 3, QStringLiteral("old")).has_value());
    EXPECT_TRUE(storedText(db, 3).isEmpty());
    EXPECT_TRUE(verifyPassword(storedHash(db, 3), QStringLiteral("old")));

    // the same password hashes differently
    c.open(db.connectionString());
    setPassword(c, 1, QStringLiteral("秘密 pw"));
    EXPECT_NE(storedHash(db, 1), storedHash(db, 2));
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

TEST(PasswordLoginTest, LoginSettingsCarryTheToken) {
    TestDatabase db(TestDatabase::Seed::Demo);
    auto user = checkLogin(db.connection(), 3, QString());
    ASSERT_TRUE(user.has_value());
    QTemporaryDir dir;
    SettingsStore store(dir.filePath(QStringLiteral("s.ini")));
    writeLoginSettings(store, *user, QStringLiteral("abc123"), db.connectionString(), dir.path());
    const auto login = [&](const char* key) {
        return store.value(QStringLiteral("SystemLogin"), QString::fromLatin1(key), {});
    };
    EXPECT_EQ(login("gLoginToken"), QStringLiteral("abc123"));
    EXPECT_EQ(login("gLoginUserId"), QStringLiteral("3"));
    EXPECT_EQ(store.value(QStringLiteral("DBOperation"), QStringLiteral("DBConnectionString"), {}),
              db.connectionString());
}

}  // namespace
