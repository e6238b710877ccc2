#include "app/server_login_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

#include "entry/ui/qt_language.h"

namespace otherin::app {

ServerLoginDialog::ServerLoginDialog(const QString& server, const ServerLoginQuestion& question,
                                     QWidget* parent)
    : QDialog(parent),
      user_(new QLineEdit(question.user, this)),
      password_(new QLineEdit(this)),
      remember_(new QCheckBox(QStringLiteral("记住密码"), this)) {
    setWindowTitle(QStringLiteral("登录"));
    user_->setObjectName(QStringLiteral("user"));
    password_->setObjectName(QStringLiteral("password"));
    password_->setEchoMode(QLineEdit::Password);
    remember_->setObjectName(QStringLiteral("remember"));
    remember_->setChecked(question.remembered && question.keyringWhyNot.isEmpty());
    remember_->setEnabled(question.keyringWhyNot.isEmpty());
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("服务器:"), new QLabel(server, this));
    form->addRow(QStringLiteral("登录名:"), user_);
    form->addRow(QStringLiteral("密码:"), password_);
    form->addRow(remember_);
    if (!question.keyringWhyNot.isEmpty()) {
        auto* why = new QLabel(question.keyringWhyNot, this);
        why->setObjectName(QStringLiteral("keyringWhyNot"));
        why->setWordWrap(true);
        why->setStyleSheet(QStringLiteral("color: #606060"));
        form->addRow(why);
    }
    if (!question.problem.isEmpty()) {
        auto* problem = new QLabel(question.problem, this);
        problem->setObjectName(QStringLiteral("problem"));
        problem->setStyleSheet(QStringLiteral("color: #c00000"));
        form->addRow(problem);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    entry::nameButtons(*buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
    if (question.user.isEmpty())
        user_->setFocus();
    else
        password_->setFocus();
}

ServerLoginAnswer ServerLoginDialog::answer() const {
    return {user_->text(), password_->text(), remember_->isChecked()};
}

std::optional<ServerLoginAnswer> askServerLogin(const QString& server,
                                                const ServerLoginQuestion& question) {
    ServerLoginDialog dialog(server, question);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.answer();
}

}  // namespace otherin::app
