#include "db/database_copy.h"

#include <QSqlRecord>

#include "db/connection.h"
#include "db/db_error.h"
#include "db/schema.h"
#include "db/transaction.h"

namespace otherin::db {

namespace {

// The tables of a database, the version table aside. Tables added by
// upgrade steps are found as well as those of the base script.
QStringList tablesOf(const Connection& c) {
    const QString sql = c.dialect().kind() == DialectKind::Sqlite
                            ? QStringLiteral(
                                  "select name from sqlite_master where type='table' and name not "
                                  "like 'sqlite%' order by name")
                            : QStringLiteral(
                                  "select table_name from information_schema.tables where "
                                  "table_schema=current_schema() and table_type='BASE TABLE' "
                                  "order by table_name");
    Query q = c.prepare(sql);
    q.exec();
    QStringList tables;
    while (q.next()) {
        const QString name = q.value(0).toString();
        if (name.compare(QStringLiteral("schema_version"), Qt::CaseInsensitive) != 0 &&
            !belongsToItsDatabase(name))
            tables << name;
    }
    return tables;
}

// Tables whose rows the schema itself writes into every new database.
bool seededBySchema(const QString& table) {
    return table.compare(QStringLiteral("tblSystemSwitch"), Qt::CaseInsensitive) == 0;
}

qint64 rowCount(const Connection& c, const QString& table) {
    return c.scalar(QStringLiteral("select count(*) from %1").arg(table)).toLongLong();
}

// Rows between two progress reports.
constexpr qint64 kProgressStep = 2000;

void copyTable(Connection& from, Connection& to, const QString& table, qint64& copied, qint64 total,
               const CopyProgress& progress) {
    Query source = from.prepare(QStringLiteral("select * from %1").arg(table));
    source.exec();
    const QSqlRecord columns = source.record();
    QStringList names, marks;
    for (int i = 0; i < columns.count(); ++i) {
        names << columns.fieldName(i);
        marks << QStringLiteral("?");
    }
    const QString insert =
        QStringLiteral("insert into %1(%2) values(%3)")
            .arg(table, names.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
    // One statement for every row: the server prepares it once.
    Query row = to.prepare(insert);
    while (source.next()) {
        for (int i = 0; i < columns.count(); ++i) row.bind(source.value(i));
        row.exec();
        if (++copied % kProgressStep == 0 && progress) progress(copied, total);
    }
}

}  // namespace

bool belongsToItsDatabase(const QString& table) {
    return table.compare(QStringLiteral("tblBillChange"), Qt::CaseInsensitive) == 0 ||
           table.compare(QStringLiteral("tblBillOpen"), Qt::CaseInsensitive) == 0 ||
           table.compare(QStringLiteral("tblServerRoles"), Qt::CaseInsensitive) == 0 ||
           table.compare(QStringLiteral("otherin_history_open"), Qt::CaseInsensitive) == 0;
}

CopyReport copyDatabase(Connection& from, Connection& to, const CopyProgress& progress) {
    if (!from.tableExists(QStringLiteral("schema_version"))) {
        throw DbError(QStringLiteral("源数据库没有本模块的表"));
    }
    schema::ensureSchema(to);
    const int fromVersion = schema::currentVersion(from);
    const int toVersion = schema::currentVersion(to);
    if (fromVersion != toVersion) {
        throw DbError(
            QStringLiteral("源数据库版本 %1 与目标数据库版本 %2 不同,请先用本程序打开源数据库升级")
                .arg(fromVersion)
                .arg(toVersion));
    }
    QStringList tables = tablesOf(from);
    // The history goes last: the target's own triggers may have added to it
    // while the other tables arrived, and the source's replaces all that.
    const QString history = QStringLiteral("otherin_history");
    const bool hasHistory = tables.removeIf([&](const QString& t) {
        return t.compare(history, Qt::CaseInsensitive) == 0;
    }) > 0;
    if (hasHistory) tables << history;
    CopyReport report;
    qint64 total = 0;
    for (const QString& table : tables) total += rowCount(from, table);
    TransactionGuard tx(to);
    for (const QString& table : tables) {
        if (!seededBySchema(table) && rowCount(to, table) > 0) {
            throw DbError(QStringLiteral("目标数据库的表 %1 已有数据,不能复制").arg(table));
        }
    }
    // On a server the copy is the owner's: the rows arrive as they were, not
    // as new writes for the rules and the history to judge and record.
    const bool server = to.dialect().isServer();
    if (server) {
        for (const QString& table : tables)
            to.exec(QStringLiteral("alter table %1 disable trigger user").arg(table));
    }
    // The source's own values replace the ones every new database starts with.
    for (const QString& table : tables) {
        if (seededBySchema(table)) to.exec(QStringLiteral("delete from %1").arg(table));
    }
    for (const QString& table : tables) {
        if (table == history) to.exec(QStringLiteral("delete from %1").arg(history));
        copyTable(from, to, table, report.rows, total, progress);
        ++report.tables;
    }
    if (server) {
        for (const QString& table : tables)
            to.exec(QStringLiteral("alter table %1 enable trigger user").arg(table));
        if (hasHistory)
            to.exec(
                QStringLiteral("select setval(pg_get_serial_sequence('otherin_history', "
                               "'fid'), greatest(coalesce(max(fid), 0), 1), max(fid) is not "
                               "null) from otherin_history"));
    }
    for (const QString& table : tables) {
        const qint64 source = rowCount(from, table);
        const qint64 target = rowCount(to, table);
        if (source != target) {
            throw DbError(QStringLiteral("表 %1 复制后行数不符: 源 %2 行, 目标 %3 行")
                              .arg(table)
                              .arg(source)
                              .arg(target));
        }
    }
    if (progress) progress(report.rows, total);
    tx.commit();
    return report;
}

}  // namespace otherin::db
