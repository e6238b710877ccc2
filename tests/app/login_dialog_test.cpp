// The host's login dialog: a wrong password is said and another try allowed.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "app/login_dialog.h"
#include "db/db_error.h"

using otherin::app::LoginDialog;
using otherin::entry::UserRecord;

namespace {

class LoginDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dialog_ = std::make_unique<LoginDialog>(
            std::vector<UserRecord>{{1, QStringLiteral("admin"), QStringLiteral("系统管理员")},
                                    {2, QStringLiteral("zhang"), QStringLiteral("张三")}},
            [this](qlonglong id, const QString& password) -> std::optional<UserRecord> {
                tries_.push_back({id, password});
                if (failWith_) throw otherin::db::DbError(*failWith_);
                if (id != 2 || password != QStringLiteral("pw")) return std::nullopt;
                UserRecord user;
                user.id = 2;
                return user;
            });
        dialog_->show();
        users_ = dialog_->findChild<QComboBox*>(QStringLiteral("users"));
        password_ = dialog_->findChild<QLineEdit*>(QStringLiteral("password"));
        problem_ = dialog_->findChild<QLabel*>(QStringLiteral("problem"));
        ok_ = dialog_->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        ASSERT_TRUE(users_ && password_ && problem_ && ok_);
    }
    void tryWith(const QString& password) {
        password_->setText(password);
        QTest::mouseClick(ok_, Qt::LeftButton);
    }

    std::unique_ptr<LoginDialog> dialog_;
    std::vector<std::pair<qlonglong, QString>> tries_;
    std::optional<QString> failWith_;
    QComboBox* users_ = nullptr;
    QLineEdit* password_ = nullptr;
    QLabel* problem_ = nullptr;
    QPushButton* ok_ = nullptr;
};

// A wrong password or a failing database keeps the dialog open for another try.
TEST_F(LoginDialogTest, WrongPasswordKeepsTheDialogOpenForAnotherTry) {
    users_->setCurrentIndex(users_->findData(2));
    tryWith(QStringLiteral("nope"));
    EXPECT_TRUE(dialog_->isVisible());
    EXPECT_EQ(problem_->text(), QStringLiteral("密码不正确，请重新输入"));
    EXPECT_FALSE(dialog_->user().has_value());

    failWith_ = QStringLiteral("database is locked");
    tryWith(QStringLiteral("pw"));
    EXPECT_TRUE(dialog_->isVisible());
    EXPECT_EQ(problem_->text(), QStringLiteral("database is locked"));

    failWith_.reset();
    tryWith(QStringLiteral("pw"));
    EXPECT_FALSE(dialog_->isVisible());
    ASSERT_TRUE(dialog_->user().has_value());
    EXPECT_EQ(dialog_->user()->id, 2);
    EXPECT_EQ(tries_.front(), (std::pair<qlonglong, QString>{2, QStringLiteral("nope")}));
}

}  // namespace
