#include "db/connection_string.h"

#include <QDir>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUrl>

#include "db/db_error.h"

namespace otherin::db {

namespace {

// The string may hold a password: messages show it without one.
QString withoutPassword(const QString& text) {
    QString shown = text;
    const int schemeEnd = text.indexOf(QStringLiteral("://"));
    if (schemeEnd >= 0) {
        const int authorityEnd =
            text.indexOf(QRegularExpression(QStringLiteral("[/?]")), schemeEnd + 3);
        const QString authority =
            text.mid(schemeEnd + 3, authorityEnd < 0 ? -1 : authorityEnd - schemeEnd - 3);
        const int at = authority.lastIndexOf(QLatin1Char('@'));
        const int colon = authority.indexOf(QLatin1Char(':'));
        if (at >= 0 && colon >= 0 && colon < at) {
            shown.replace(schemeEnd + 3 + colon, at - colon, QStringLiteral(":***"));
        }
    }
    // "password=" in URL options, "Password=" or "PWD=" in the key lists of
    // other programs' connection strings.
    static const QRegularExpression passwordOption(
        QStringLiteral("((?:^|[?&;])\\s*(?:password|pwd)\\s*=)[^&;]*"),
        QRegularExpression::CaseInsensitiveOption);
    shown.replace(passwordOption, QStringLiteral("\\1***"));
    return shown;
}

DbError notUnderstood(const QString& connectionString, const QString& reason = QString()) {
    return DbError(QStringLiteral("无法识别的数据库连接字符串: %1%2\n可用的形式: 空 (内置数据库), "
                                  "sqlite:数据库文件路径 或 "
                                  "postgresql://用户[:密码]@主机[:端口]/数据库[?选项]")
                       .arg(withoutPassword(connectionString.trimmed()),
                            reason.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(reason)));
}

QString decoded(const QString& part) {
    return QUrl::fromPercentEncoding(part.toUtf8());
}

int portNumber(const QString& text, const QString& whole) {
    bool ok = false;
    const int port = text.toInt(&ok);
    if (!ok || port <= 0 || port > 65535) throw notUnderstood(whole, QStringLiteral("端口无效"));
    return port;
}

// postgresql://[user[:password]@][host][:port]/dbname[?key=value&...]: the
// host may be left out (the client library's local socket) and named in the
// options instead, as a socket folder.
ConnectionTarget parseServerUrl(const QString& text) {
    ConnectionTarget target;
    target.kind = DialectKind::PostgreSql;
    const int schemeEnd = text.indexOf(QStringLiteral("://"));
    QString rest = text.mid(schemeEnd + 3);
    QString query;
    if (const int mark = rest.indexOf(QLatin1Char('?')); mark >= 0) {
        query = rest.mid(mark + 1);
        rest.truncate(mark);
    }
    const int slash = rest.indexOf(QLatin1Char('/'));
    if (slash < 0) throw notUnderstood(text, QStringLiteral("缺少数据库名"));
    QString authority = rest.left(slash);
    target.database = decoded(rest.mid(slash + 1));
    if (const int at = authority.lastIndexOf(QLatin1Char('@')); at >= 0) {
        const QString userInfo = authority.left(at);
        authority = authority.mid(at + 1);
        const int colon = userInfo.indexOf(QLatin1Char(':'));
        target.user = decoded(userInfo.left(colon));
        if (colon >= 0) target.password = decoded(userInfo.mid(colon + 1));
    }
    QString portText;
    if (authority.startsWith(QLatin1Char('['))) {  // [::1]:5432
        const int close = authority.indexOf(QLatin1Char(']'));
        if (close < 0) throw notUnderstood(text, QStringLiteral("主机地址无效"));
        target.host = authority.mid(1, close - 1);
        if (authority.mid(close + 1).startsWith(QLatin1Char(':')))
            portText = authority.mid(close + 2);
    } else {
        const int colon = authority.indexOf(QLatin1Char(':'));
        target.host = decoded(authority.left(colon));
        if (colon >= 0) portText = authority.mid(colon + 1);
    }
    if (!portText.isEmpty()) target.port = portNumber(portText, text);
    for (const QString& item : query.split(QLatin1Char('&'), Qt::SkipEmptyParts)) {
        const int eq = item.indexOf(QLatin1Char('='));
        const QString key = decoded(item.left(eq));
        const QString value = eq < 0 ? QString() : decoded(item.mid(eq + 1));
        if (key == QLatin1String("host")) {
            target.host = value;
        } else if (key == QLatin1String("port")) {
            target.port = portNumber(value, text);
        } else if (key == QLatin1String("user")) {
            target.user = value;
        } else if (key == QLatin1String("password")) {
            target.password = value;
        } else if (key == QLatin1String("dbname")) {
            target.database = value;
        } else {
            target.options.append({key, value});
        }
    }
    if (target.database.isEmpty() || target.database.contains(QLatin1Char('/'))) {
        throw notUnderstood(text, QStringLiteral("缺少数据库名"));
    }
    return target;
}

}  // namespace

QString ConnectionTarget::describe() const {
    if (kind == DialectKind::Sqlite) return path;
    QString server = host.isEmpty() ? QStringLiteral("localhost") : host;
    if (port > 0) server += QStringLiteral(":%1").arg(port);
    const QString who = user.isEmpty() ? QString() : user + QLatin1Char('@');
    return QStringLiteral("%1%2/%3").arg(who, server, database);
}

QString ConnectionTarget::toConnectionString() const {
    if (kind == DialectKind::Sqlite) return QStringLiteral("sqlite:") + path;
    const auto encoded = [](const QString& part) {
        return QString::fromUtf8(QUrl::toPercentEncoding(part));
    };
    QString text = QStringLiteral("postgresql://");
    if (!user.isEmpty() || !password.isEmpty()) {
        text += encoded(user);
        if (!password.isEmpty()) text += QLatin1Char(':') + encoded(password);
        text += QLatin1Char('@');
    }
    QStringList query;
    if (host.startsWith(QLatin1Char('/'))) {
        query << QStringLiteral("host=") + encoded(host);
    } else if (host.contains(QLatin1Char(':'))) {
        text += QLatin1Char('[') + host + QLatin1Char(']');
    } else {
        text += encoded(host);
    }
    if (port > 0) query << QStringLiteral("port=%1").arg(port);
    text += QLatin1Char('/') + encoded(database);
    for (const auto& [key, value] : options) query << encoded(key) + u'=' + encoded(value);
    if (!query.isEmpty()) text += QLatin1Char('?') + query.join(QLatin1Char('&'));
    return text;
}

QString libraryQuoted(const QString& value) {
    QString quoted = QStringLiteral("'");
    for (const QChar c : value) {
        if (c == u'\\' || c == u'\'') quoted += u'\\';
        quoted += c;
    }
    return quoted + u'\'';
}

namespace {

bool isOptionName(const QString& key) {
    if (key.isEmpty()) return false;
    for (const QChar c : key) {
        if (!(c.isLetterOrNumber() && c.unicode() < 0x80) && c != u'_') return false;
    }
    return true;
}

}  // namespace

QString serverConnectOptions(const ConnectionTarget& target, int connectTimeoutSeconds) {
    const QString standardStrings = QStringLiteral("-c standard_conforming_strings=on");
    QStringList parts{QStringLiteral("connect_timeout=%1").arg(connectTimeoutSeconds)};
    QString serverOptions;
    for (const auto& [key, value] : target.options) {
        // The driver turns every ';' of its option text into a space, the
        // separator, so a value holding one would not reach the library as
        // it stands.
        if (!isOptionName(key) || value.contains(u';') || value.contains(QChar(0))) {
            throw DbError(QStringLiteral("数据库连接选项 %1 无效: 选项名只能含字母、数字和下划线,"
                                         "值不能含分号")
                              .arg(key));
        }
        if (key == QLatin1String("connect_timeout")) {
            parts[0] = key + u'=' + libraryQuoted(value);
        } else if (key == QLatin1String("options")) {
            // The library keeps only the last "options": the site's own ones
            // go before ours.
            serverOptions += value + u' ';
        } else {
            parts << key + u'=' + libraryQuoted(value);
        }
    }
    parts << QStringLiteral("options=") + libraryQuoted(serverOptions + standardStrings);
    return parts.join(u';');
}

ConnectionTarget parseConnectionString(const QString& connectionString) {
    const QString text = connectionString.trimmed();
    if (text.isEmpty()) {
        ConnectionTarget target;
        target.path = embeddedDatabasePath();
        return target;
    }
    const QString prefix = QStringLiteral("sqlite:");
    if (text.startsWith(prefix, Qt::CaseInsensitive) && text.size() > prefix.size()) {
        ConnectionTarget target;
        target.path = text.mid(prefix.size());
        return target;
    }
    if (text.startsWith(QStringLiteral("postgresql://"), Qt::CaseInsensitive) ||
        text.startsWith(QStringLiteral("postgres://"), Qt::CaseInsensitive)) {
        return parseServerUrl(text);
    }
    throw notUnderstood(connectionString);
}

QString embeddedDatabasePath() {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return QDir(base).filePath(QStringLiteral("MendaxoStock2007/otherin.sqlite"));
}

QString connectionStringFromArgument(const QString& value) {
    if (value.contains(QStringLiteral("://")) || value.startsWith(QStringLiteral("sqlite:"))) {
        return value;
    }
    return QStringLiteral("sqlite:") + value;
}

}  // namespace otherin::db
