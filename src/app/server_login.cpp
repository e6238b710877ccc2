#include "app/server_login.h"

#include "app/password_keeper.h"
#include "db/login_probe.h"

namespace otherin::app {

QString keyringKey(const db::ConnectionTarget& target) {
    return db::withoutPassword(target).describe();
}

std::optional<db::ConnectionTarget> logInToServer(db::ConnectionTarget target,
                                                  PasswordKeeper& keeper,
                                                  const AskServerLogin& ask) {
    const QString whyNot = keeper.whyUnavailable();
    QString password = target.password;
    bool fromKeyring = false;
    if (password.isEmpty() && whyNot.isEmpty()) {
        if (auto kept = keeper.read(keyringKey(target))) {
            password = *kept;
            fromKeyring = true;
        }
    }
    bool typed = false;
    bool remember = fromKeyring;
    const auto loggedIn = db::logInToServer(
        target, password,
        [&](const db::LoginProbe& refused, const QString& user) -> std::optional<db::PasswordTry> {
            QString problem;
            if (refused.outcome == db::LoginProbe::Outcome::WrongPassword) {
                problem = QStringLiteral("密码不正确，请重新输入");
                if (fromKeyring) {
                    db::ConnectionTarget kept = target;
                    kept.user = user;
                    keeper.forget(keyringKey(kept));
                    fromKeyring = false;
                }
            } else if (typed) {
                problem = QStringLiteral("服务器要求密码，请输入密码");
            }
            const auto answer = ask({user, problem, whyNot, remember});
            if (!answer) return std::nullopt;
            remember = answer->remember;
            typed = true;
            return db::PasswordTry{answer->user.trimmed(), answer->password};
        });
    if (!loggedIn) return std::nullopt;
    if (loggedIn->connected && typed && whyNot.isEmpty()) {
        if (remember && !loggedIn->password.isEmpty())
            keeper.store(keyringKey(loggedIn->target), loggedIn->password);
        else
            keeper.forget(keyringKey(loggedIn->target));
    }
    return loggedIn->target;
}

}  // namespace otherin::app
