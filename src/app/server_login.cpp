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
    target.password.clear();
    bool fromKeyring = false;
    if (password.isEmpty() && whyNot.isEmpty()) {
        if (auto kept = keeper.read(keyringKey(target))) {
            password = *kept;
            fromKeyring = true;
        }
    }
    bool typed = false;
    bool remember = fromKeyring;
    for (;;) {
        const db::LoginProbe probe = db::probeServerLogin(target, password);
        using Outcome = db::LoginProbe::Outcome;
        if (probe.outcome == Outcome::Connected || probe.outcome == Outcome::Failed) {
            db::rememberServerPassword(target, password);
            if (probe.outcome == Outcome::Connected && typed && whyNot.isEmpty()) {
                if (remember && !password.isEmpty())
                    keeper.store(keyringKey(target), password);
                else
                    keeper.forget(keyringKey(target));
            }
            return target;
        }
        QString problem;
        if (probe.outcome == Outcome::WrongPassword) {
            problem = QStringLiteral("密码不正确，请重新输入");
            if (fromKeyring) keeper.forget(keyringKey(target));
            fromKeyring = false;
        } else if (typed) {
            problem = QStringLiteral("服务器要求密码，请输入密码");
        }
        const auto answer = ask({target.user, problem, whyNot, remember});
        if (!answer) return std::nullopt;
        target.user = answer->user.trimmed();
        password = answer->password;
        remember = answer->remember;
        typed = true;
    }
}

}  // namespace otherin::app
