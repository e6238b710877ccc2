#include "db/error_words.h"

#include <libpq-fe.h>
#include <sqlite3.h>

#include <QSqlDriver>
#include <QSqlError>
#include <QVariant>

#include "db/sql_error.h"

namespace otherin::db {

namespace {

// The server's messages of a refused connection carry no SQLSTATE through the
// client library; these are its own words for the common refusals.
bool mentionsAny(const QString& text, std::initializer_list<const char*> words) {
    for (const char* word : words) {
        if (text.contains(QLatin1String(word), Qt::CaseInsensitive)) return true;
    }
    return false;
}

Failure refusedOpening(const QString& text) {
    if (mentionsAny(text, {"authentication failed", "pg_hba.conf", "no password supplied",
                           "password is required", "is not permitted to log in"}) ||
        (text.contains(QLatin1String("role \"")) && text.contains(QLatin1String("does not exist"))))
        return Failure::LoginRefused;
    if (text.contains(QLatin1String("database \"")) &&
        text.contains(QLatin1String("does not exist")))
        return Failure::NoDatabase;
    if (mentionsAny(text, {"too many clients", "connection slots"}))
        return Failure::ServerResources;
    return Failure::ServerUnreachable;
}

Failure serverFailure(const FailureReport& r) {
    const QString& code = r.code;
    const QString kind = code.left(2);
    if (code.isEmpty()) return r.connectionBroken ? Failure::ConnectionLost : Failure::Other;
    if (kind == QLatin1String("08") || code.startsWith(QLatin1String("57P")))
        return Failure::ConnectionLost;
    if (kind == QLatin1String("28")) return Failure::LoginRefused;
    if (code == QLatin1String("3D000")) return Failure::NoDatabase;
    if (code == QLatin1String(kModuleRuleState)) return Failure::ModuleRule;
    if (code == QLatin1String("42501")) return Failure::PermissionDenied;
    if (code == QLatin1String("23505")) return Failure::Duplicate;
    // A check of our own that refused the row (a trigger's raise).
    if (kind == QLatin1String("23") || code == QLatin1String("P0001")) return Failure::RuleBroken;
    if (code == QLatin1String("40001") || code == QLatin1String("40P01")) return Failure::Conflict;
    if (code == QLatin1String("53100")) return Failure::DiskFull;
    if (kind == QLatin1String("53")) return Failure::ServerResources;
    if (code == QLatin1String("25006")) return Failure::ReadOnly;
    if (code == QLatin1String("55P03")) return Failure::Locked;
    if (code == QLatin1String("57014")) return Failure::Cancelled;
    if (kind == QLatin1String("22")) return Failure::BadValue;
    if (kind == QLatin1String("58") || kind == QLatin1String("XX")) return Failure::ServerFault;
    if (r.connectionBroken) return Failure::ConnectionLost;
    return Failure::Other;
}

Failure fileFailure(const FailureReport& r) {
    bool ok = false;
    const int extended = r.code.toInt(&ok);
    if (!ok) return Failure::Other;
    switch (extended & 0xff) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return Failure::Locked;
        case SQLITE_READONLY:
            return Failure::ReadOnly;
        case SQLITE_FULL:
            return Failure::DiskFull;
        case SQLITE_IOERR:
        case SQLITE_CANTOPEN:
            return Failure::FileUnusable;
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            return Failure::Damaged;
        case SQLITE_CONSTRAINT:
            return extended == SQLITE_CONSTRAINT_UNIQUE || extended == SQLITE_CONSTRAINT_PRIMARYKEY
                       ? Failure::Duplicate
                       : Failure::RuleBroken;
        case SQLITE_INTERRUPT:
            return Failure::Cancelled;
        case SQLITE_AUTH:
        case SQLITE_PERM:
            return Failure::PermissionDenied;
        case SQLITE_NOMEM:
            return Failure::ServerResources;
        case SQLITE_TOOBIG:
        case SQLITE_MISMATCH:
        case SQLITE_RANGE:
            return Failure::BadValue;
        default:
            return Failure::Other;
    }
}

QString serverDescription(PGconn* conn) {
    const QString host = QString::fromUtf8(PQhost(conn));
    const QString port = QString::fromUtf8(PQport(conn));
    const QString database = QString::fromUtf8(PQdb(conn));
    QString server = host.isEmpty() ? QStringLiteral("localhost") : host;
    if (!port.isEmpty()) server += u':' + port;
    return server + u'/' + database;
}

}  // namespace

Failure classify(const FailureReport& report) {
    if (report.kind == DialectKind::Sqlite) return fileFailure(report);
    if (report.opening && report.code.isEmpty()) return refusedOpening(report.serverText);
    return serverFailure(report);
}

QString failureSentence(Failure failure, const FailureReport& r) {
    const bool file = r.kind == DialectKind::Sqlite;
    const QString& where = r.where;
    switch (failure) {
        case Failure::ConnectionLost:
            return QStringLiteral(
                       "与数据库服务器 %1 的连接已中断,操作可能没有完成。"
                       "请重新打开单据或刷新后查看,再重试;若仍连接不上,请联系系统管理员。")
                .arg(where);
        case Failure::ServerUnreachable:
            return QStringLiteral(
                       "无法连接数据库服务器 %1。请检查网络是否畅通、服务器是否已启动,"
                       "稍后重试;若仍连接不上,请联系系统管理员。")
                .arg(where);
        case Failure::LoginRefused:
            return QStringLiteral(
                       "数据库服务器 %1 拒绝了登录。请检查用户名和密码,"
                       "或请系统管理员为您开通账号。")
                .arg(where);
        case Failure::NoDatabase:
            return QStringLiteral(
                       "数据库服务器上找不到数据库 %1。请检查数据库连接设置,"
                       "或联系系统管理员。")
                .arg(where);
        case Failure::PermissionDenied:
            return QStringLiteral(
                "数据库拒绝了这项操作:当前登录没有相应的权限,没有做任何修改。"
                "如需此权限,请联系系统管理员。");
        case Failure::Duplicate:
            return QStringLiteral("要保存的数据与已有的记录重复,没有做任何修改。请检查后重试。");
        case Failure::RuleBroken:
            return QStringLiteral(
                "要保存的数据不符合数据库的规则,没有做任何修改。请检查输入后重试。");
        case Failure::Conflict:
            return QStringLiteral(
                "其他用户正在修改同样的数据,这项操作没有完成,也没有做任何修改。"
                "请稍后重试。");
        case Failure::DiskFull:
            return file ? QStringLiteral(
                              "数据库文件 %1 所在的磁盘已满,没有做任何修改。"
                              "请清理磁盘空间后重试,或联系系统管理员。")
                              .arg(where)
                        : QStringLiteral(
                              "数据库服务器 %1 的磁盘已满,没有做任何修改。"
                              "请联系系统管理员。")
                              .arg(where);
        case Failure::ServerResources:
            return QStringLiteral(
                       "数据库%1资源不足(连接过多或内存不足),这项操作没有完成。"
                       "请稍后重试;若一直如此,请联系系统管理员。")
                .arg(file ? QString() : QStringLiteral("服务器 ") + where + u' ');
        case Failure::ReadOnly:
            return file ? QStringLiteral(
                              "数据库文件 %1 或它所在的文件夹是只读的,不能写入,"
                              "没有做任何修改。请检查该文件和文件夹的写权限。")
                              .arg(where)
                        : QStringLiteral(
                              "数据库服务器 %1 目前只允许读取,不能写入,"
                              "没有做任何修改。请联系系统管理员。")
                              .arg(where);
        case Failure::Locked:
            return file ? QStringLiteral(
                              "数据库文件 %1 正被另一个程序锁定(无法得知是哪一个),"
                              "这项操作没有完成。请稍后重试;若一直如此,"
                              "请关闭正在使用它的其他程序。")
                              .arg(where)
                        : QStringLiteral(
                              "要修改的数据正被其他用户锁定,这项操作没有完成。"
                              "请稍后重试。");
        case Failure::Cancelled:
            return QStringLiteral(
                "这项操作被取消了(等待超时或被管理员中止),没有做任何修改。"
                "请重试。");
        case Failure::Damaged:
            return QStringLiteral(
                       "数据库文件 %1 已损坏,或不是本程序的数据库。"
                       "请用备份恢复,或联系系统管理员。")
                .arg(where);
        case Failure::FileUnusable:
            return QStringLiteral(
                       "无法读写数据库文件 %1,这项操作没有完成。"
                       "请检查磁盘、文件是否存在及其读写权限。")
                .arg(where);
        case Failure::BadValue:
            return QStringLiteral(
                "输入的数据不能保存到数据库(格式或大小不符),没有做任何修改。"
                "请检查输入。");
        case Failure::ServerFault:
            return QStringLiteral(
                       "数据库服务器 %1 内部出错,这项操作没有完成。"
                       "请联系系统管理员。")
                .arg(where);
        case Failure::ModuleRule:
            return r.serverText;
        case Failure::Other:
            break;
    }
    return QStringLiteral(
        "数据库操作失败,这项操作没有完成。请重试;若仍失败,"
        "请把下面的详细信息告知系统管理员。");
}

QString inClerksWords(const FailureReport& report) {
    const Failure failure = classify(report);
    const QString sentence = failureSentence(failure, report);
    if (report.serverText.isEmpty() || failure == Failure::ModuleRule) return sentence;
    return sentence + u'\n' + QString::fromUtf16(kDetailPrefix) + report.serverText;
}

PGconn* serverHandle(const QSqlDriver* driver) {
    if (!driver || driver->dbmsType() != QSqlDriver::PostgreSQL) return nullptr;
    const QVariant handle = driver->handle();
    // The driver names the handle's type by the library's struct.
    const bool isConn =
        qstrcmp(handle.typeName(), "PGconn*") == 0 || qstrcmp(handle.typeName(), "pg_conn*") == 0;
    return isConn ? *static_cast<PGconn* const*>(handle.constData()) : nullptr;
}

ServerLink serverLink(const QSqlDriver* driver) {
    PGconn* conn = serverHandle(driver);
    if (!conn) return {};
    return {PQstatus(conn) == CONNECTION_OK, PQbackendPID(conn)};
}

FailureReport reportOf(const QSqlError& error, const QSqlDriver* driver) {
    FailureReport report;
    report.code = error.nativeErrorCode();
    report.serverText = databaseMessage(error);
    if (!driver) return report;
    const QVariant handle = driver->handle();
    if (driver->dbmsType() == QSqlDriver::PostgreSQL) {
        report.kind = DialectKind::PostgreSql;
        // The driver names the handle's type by the library's struct.
        PGconn* conn = serverHandle(driver);
        report.connectionBroken = !conn || PQstatus(conn) == CONNECTION_BAD;
        if (conn) report.where = serverDescription(conn);
    } else {
        sqlite3* file = qstrcmp(handle.typeName(), "sqlite3*") == 0
                            ? *static_cast<sqlite3* const*>(handle.constData())
                            : nullptr;
        if (file) {
            const char* name = sqlite3_db_filename(file, "main");
            report.where = QString::fromUtf8(name ? name : "");
        }
    }
    return report;
}

}  // namespace otherin::db
