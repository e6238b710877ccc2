// The administrator's commands on the terminal: init, passwd and switch.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <deque>

#include "db/connection.h"
#include "entry/host_commands.h"
#include "entry/host_login.h"
#include "support/test_database.h"

using namespace otherin::entry;
using otherin::testing::TestDatabase;

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

}  // namespace
