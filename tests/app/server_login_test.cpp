// A clerk logs in to the server as their own login: asked for the password
// when the server wants one, told a wrong one and asked again; the password
// is kept only in the program's memory, and in the keyring when asked.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <map>

#include "app/keychain_keeper.h"
#include "app/server_login.h"
#include "app/server_login_dialog.h"
#include "db/connection.h"
#include "db/db_error.h"
#include "db/server_logins.h"
#include "support/test_database.h"

using namespace otherin;
using otherin::testing::TestDatabase;

namespace {

// The keyring, as a map; whyNot says it is absent.
class MapKeeper : public app::PasswordKeeper {
  public:
    QString whyUnavailable() override { return whyNot; }
    std::optional<QString> read(const QString& key) override {
        const auto it = kept.find(key);
        if (it == kept.end()) return std::nullopt;
        return it->second;
    }
    bool store(const QString& key, const QString& password) override {
        kept[key] = password;
        return true;
    }
    void forget(const QString& key) override { kept.erase(key); }

    std::map<QString, QString> kept;
    QString whyNot;
};

class ServerLoginTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!TestDatabase::onServer()) GTEST_SKIP() << "a server's logins";
        db_ = std::make_unique<TestDatabase>(TestDatabase::Seed::Demo);
        login_ = QStringLiteral("s%1_zhang").arg(QCoreApplication::applicationPid());
        target_ = db::parseConnectionString(
            db_->addClerkLogin(login_, QStringLiteral("张小三"), QStringLiteral("right-pw")));
        target_.password.clear();
    }
    // Logs in answering the asks with `answers` in turn ("password" or
    // "password+" to remember it); notes each ask as "user|problem|remembered".
    std::optional<db::ConnectionTarget> logIn(std::vector<QString> answers) {
        asked_.clear();
        return app::logInToServer(
            target_, keeper_,
            [&](const app::ServerLoginQuestion& q) -> std::optional<app::ServerLoginAnswer> {
                asked_ << QStringLiteral("%1|%2|%3").arg(q.user, q.problem).arg(q.remembered);
                if (answers.empty()) return std::nullopt;
                QString typed = answers.front();
                answers.erase(answers.begin());
                const bool remember = typed.endsWith(u'+');
                if (remember) typed.chop(1);
                return app::ServerLoginAnswer{q.user, typed, remember};
            });
    }
    QString sessionUser(const db::ConnectionTarget& target) {
        db::Connection c;
        c.open(target.toConnectionString());
        return c.scalar(QStringLiteral("select session_user")).toString();
    }

    std::unique_ptr<TestDatabase> db_;
    QString login_;
    db::ConnectionTarget target_;
    MapKeeper keeper_;
    QStringList asked_;
};

TEST_F(ServerLoginTest, AWrongPasswordIsToldAndTheRightOneConnectsWithNothingWrittenDown) {
    const auto in = logIn({QStringLiteral("wrong-pw"), QStringLiteral("right-pw+")});
    ASSERT_TRUE(in);
    EXPECT_EQ(asked_, QStringList({login_ + QStringLiteral("||0"),
                                   login_ + QStringLiteral("|密码不正确，请重新输入|0")}));
    EXPECT_TRUE(in->password.isEmpty());
    EXPECT_FALSE(in->toConnectionString().contains(QStringLiteral("right-pw")));
    // Later connections of this program find the password in its memory.
    EXPECT_EQ(sessionUser(*in), login_);
    EXPECT_EQ(keeper_.kept[app::keyringKey(*in)], QStringLiteral("right-pw"));

    // The next start takes the keyring's password and asks nothing.
    ASSERT_TRUE(logIn({}));
    EXPECT_TRUE(asked_.isEmpty());

    // A kept password the administrator has since changed is forgotten and asked for.
    db::setClerkPassword(db_->seed(), login_, QStringLiteral("new-pw"));
    ASSERT_TRUE(logIn({QStringLiteral("new-pw")}));
    EXPECT_EQ(asked_, QStringList{login_ + QStringLiteral("|密码不正确，请重新输入|1")});
    EXPECT_TRUE(keeper_.kept.empty());

    // Cancelling the dialog logs nobody in.
    EXPECT_FALSE(logIn({}));
    EXPECT_EQ(asked_.size(), 1);
}

// A disabled login is not asked again and again: opening it tells why.
TEST_F(ServerLoginTest, ADisabledClerkIsToldByTheServerNotAskedForAPassword) {
    db::disableClerk(db_->seed(), login_);
    const auto in = logIn({QStringLiteral("right-pw")});
    ASSERT_TRUE(in);
    EXPECT_EQ(asked_.size(), 1);
    db::Connection c;
    try {
        c.open(in->toConnectionString());
        ADD_FAILURE() << "a disabled login connected";
    } catch (const db::DbError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("拒绝了登录")))
            << e.message().toStdString();
    }
}

// Without a keyring (no session bus here) "记住密码" is offered disabled, with the reason.
TEST(KeyringTest, WithoutAKeyringNothingIsKeptAndTheDialogSaysWhy) {
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    app::KeychainKeeper keeper;
    const QString whyNot = keeper.whyUnavailable();
    EXPECT_TRUE(whyNot.startsWith(QStringLiteral("没有可用的密钥环"))) << whyNot.toStdString();
    EXPECT_FALSE(keeper.store(QStringLiteral("k"), QStringLiteral("pw")));
    EXPECT_FALSE(keeper.read(QStringLiteral("k")));

    app::ServerLoginDialog dialog(QStringLiteral("/tmp:5432/stock"),
                                  {QStringLiteral("zhang"), QString(), whyNot, true});
    auto* remember = dialog.findChild<QCheckBox*>(QStringLiteral("remember"));
    auto* why = dialog.findChild<QLabel*>(QStringLiteral("keyringWhyNot"));
    ASSERT_TRUE(remember && why);
    EXPECT_FALSE(remember->isEnabled());
    EXPECT_FALSE(remember->isChecked());
    EXPECT_EQ(why->text(), whyNot);
    dialog.findChild<QLineEdit*>(QStringLiteral("password"))->setText(QStringLiteral("pw"));
    EXPECT_EQ(dialog.answer().user, QStringLiteral("zhang"));
    EXPECT_FALSE(dialog.answer().remember);
}

}  // namespace
