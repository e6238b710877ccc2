#include "app/login_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

#include "db/db_error.h"

namespace otherin::app {

LoginDialog::LoginDialog(const std::vector<entry::UserRecord>& users, Check check, QWidget* parent)
    : QDialog(parent),
      check_(std::move(check)),
      users_(new QComboBox(this)),
      password_(new QLineEdit(this)),
      problem_(new QLabel(this)) {
    setWindowTitle(QStringLiteral("登录"));
    for (const auto& u : users) {
        users_->addItem(QStringLiteral("%1 %2").arg(u.number, u.name), u.id);
    }
    users_->setObjectName(QStringLiteral("users"));
    password_->setObjectName(QStringLiteral("password"));
    password_->setEchoMode(QLineEdit::Password);
    problem_->setObjectName(QStringLiteral("problem"));
    problem_->setStyleSheet(QStringLiteral("color: #c00000"));
    problem_->hide();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &LoginDialog::tryLogin);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("用户:"), users_);
    form->addRow(QStringLiteral("密码:"), password_);
    form->addRow(problem_);
    form->addRow(buttons);
}

void LoginDialog::tryLogin() {
    try {
        user_ = check_(users_->currentData().toLongLong(), password_->text());
    } catch (const db::DbError& e) {
        user_.reset();
        problem_->setText(e.message());
        problem_->show();
        return;
    }
    if (user_) {
        accept();
        return;
    }
    problem_->setText(QStringLiteral("密码不正确，请重新输入"));
    problem_->show();
    password_->clear();
    password_->setFocus();
}

}  // namespace otherin::app
