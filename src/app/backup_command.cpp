#include "app/backup_command.h"

#include <QLocale>
#include <optional>

#include "app/server_backup.h"
#include "app/sqlite_backup.h"
#include "db/connection_string.h"
#include "db/db_error.h"

namespace otherin::app {

namespace {

QString size(qint64 bytes) {
    return QLocale(QLocale::Chinese).formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

int finish(int status, QTextStream& out, QTextStream& err) {
    out.flush();
    err.flush();
    return status;
}

// The command's database, or none when the string is not understood (told).
std::optional<db::ConnectionTarget> targetOf(const QString& connectionString, QTextStream& err) {
    try {
        return db::parseConnectionString(connectionString);
    } catch (const db::DbError& e) {
        err << e.message() << '\n';
        return std::nullopt;
    }
}

}  // namespace

int runBackup(const QString& connectionString, const QString& folder, int keep, QTextStream& out,
              QTextStream& err) {
    const auto parsed = targetOf(connectionString, err);
    if (!parsed) return finish(1, out, err);
    const db::ConnectionTarget& target = *parsed;
    if (target.kind == db::DialectKind::PostgreSql) {
        return finish(backupServer(target, folder, keep, out, err), out, err);
    }
    err << QStringLiteral("正在备份 %1 …\n").arg(target.path);
    err.flush();
    const FileBackup made = backupDatabaseFile(target.path, folder, keep);
    if (!made.made) {
        err << made.problem << '\n';
        return finish(1, out, err);
    }
    out << QStringLiteral("已备份到 %1 (%2),检查通过\n").arg(made.path, size(made.bytes));
    for (const QString& old : made.removed) {
        out << QStringLiteral("只保留最近 %1 份,已删除 %2\n").arg(keep).arg(old);
    }
    return finish(0, out, err);
}

int runRestore(const QString& from, const QString& connectionString, QTextStream& out,
               QTextStream& err) {
    const auto parsed = targetOf(connectionString, err);
    if (!parsed) return finish(1, out, err);
    const db::ConnectionTarget& target = *parsed;
    if (target.kind == db::DialectKind::PostgreSql) {
        return finish(restoreServer(from, target, out, err), out, err);
    }
    const FileRestore done = restoreDatabaseFile(from, target.path);
    for (const QString& step : done.told) out << step << '\n';
    if (!done.restored) {
        err << done.problem << '\n';
        return finish(1, out, err);
    }
    return finish(0, out, err);
}

}  // namespace otherin::app
