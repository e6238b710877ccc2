#include "app/login_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>

namespace otherin::app {

LoginDialog::LoginDialog(const std::vector<entry::UserRecord>& users, QWidget* parent)
    : QDialog(parent), users_(new QComboBox(this)), password_(new QLineEdit(this)) {
    setWindowTitle(QStringLiteral("登录"));
    for (const auto& u : users) {
        users_->addItem(QStringLiteral("%1 %2").arg(u.number, u.name), u.id);
    }
    password_->setEchoMode(QLineEdit::Password);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("用户:"), users_);
    form->addRow(QStringLiteral("密码:"), password_);
    form->addRow(buttons);
}

qlonglong LoginDialog::userId() const {
    return users_->currentData().toLongLong();
}

QString LoginDialog::password() const {
    return password_->text();
}

}  // namespace otherin::app
