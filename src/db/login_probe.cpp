#include "db/login_probe.h"

#include <libpq-fe.h>

#include <QHash>
#include <QMutex>
#include <vector>

namespace otherin::db {

namespace {

QString passwordKey(const ConnectionTarget& target) {
    return QStringLiteral("%1\n%2\n%3\n%4")
        .arg(target.host)
        .arg(target.port)
        .arg(target.database, target.user);
}

QMutex passwordsMutex;
QHash<QString, QString>& passwords() {
    static QHash<QString, QString> kept;
    return kept;
}

// Logs in to the server of `target` once, with `password` when it is not
// empty, and leaves at once.
LoginProbe probeServerLogin(const ConnectionTarget& target, const QString& password) {
    constexpr int connectTimeoutSeconds = 10;
    std::vector<std::pair<QByteArray, QByteArray>> params;
    const auto add = [&params](const char* key, const QString& value) {
        if (!value.isEmpty()) params.emplace_back(key, value.toUtf8());
    };
    add("host", target.host);
    if (target.port > 0) add("port", QString::number(target.port));
    add("dbname", target.database);
    add("user", target.user);
    add("password", password.isEmpty() ? target.password : password);
    add("connect_timeout", QString::number(connectTimeoutSeconds));
    QString serverOptions;
    for (const auto& [key, value] : target.options) {
        if (key == QLatin1String("options"))
            serverOptions += value + u' ';
        else
            params.emplace_back(key.toUtf8(), value.toUtf8());
    }
    add("options", serverOptions.trimmed());
    std::vector<const char*> keys;
    std::vector<const char*> values;
    for (const auto& [key, value] : params) {
        keys.push_back(key.constData());
        values.push_back(value.constData());
    }
    keys.push_back(nullptr);
    values.push_back(nullptr);
    PGconn* conn = PQconnectdbParams(keys.data(), values.data(), 0);
    LoginProbe probe;
    if (!conn) {
        probe.detail = QStringLiteral("out of memory");
        return probe;
    }
    if (PQstatus(conn) == CONNECTION_OK) {
        probe.outcome = LoginProbe::Outcome::Connected;
    } else {
        probe.detail = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
        if (PQconnectionNeedsPassword(conn))
            probe.outcome = LoginProbe::Outcome::NeedsPassword;
        else if (PQconnectionUsedPassword(conn) &&
                 probe.detail.contains(QStringLiteral("password authentication failed")))
            probe.outcome = LoginProbe::Outcome::WrongPassword;
    }
    PQfinish(conn);
    return probe;
}

}  // namespace

std::optional<ServerLogin> logInToServer(ConnectionTarget target, QString password,
                                         const AskPassword& ask) {
    if (password.isEmpty()) password = target.password;
    target.password.clear();
    for (;;) {
        const LoginProbe probe = probeServerLogin(target, password);
        using Outcome = LoginProbe::Outcome;
        if (probe.outcome == Outcome::Connected || probe.outcome == Outcome::Failed) {
            const bool connected = probe.outcome == Outcome::Connected;
            if (connected || !password.isEmpty()) {
                const QMutexLocker lock(&passwordsMutex);
                passwords().insert(passwordKey(target), password);
            }
            return ServerLogin{target, password, connected};
        }
        const auto next = ask(probe, target.user);
        if (!next) return std::nullopt;
        target.user = next->user;
        password = next->password;
    }
}

std::optional<QString> rememberedServerPassword(const ConnectionTarget& target) {
    const QMutexLocker lock(&passwordsMutex);
    const auto it = passwords().constFind(passwordKey(target));
    if (it == passwords().constEnd()) return std::nullopt;
    return *it;
}

ConnectionTarget withoutPassword(ConnectionTarget target) {
    target.password.clear();
    return target;
}

}  // namespace otherin::db
