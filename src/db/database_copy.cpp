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
        if (name.compare(QStringLiteral("schema_version"), Qt::CaseInsensitive) != 0)
            tables << name;
    }
    return tables;
}

qint64 copyTable(Connection& from, Connection& to, const QString& table) {
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
    qint64 rows = 0;
    while (source.next()) {
        QVariantList values;
        for (int i = 0; i < columns.count(); ++i) values << source.value(i);
        to.exec(insert, values);
        ++rows;
    }
    return rows;
}

}  // namespace

CopyReport copyDatabase(Connection& from, Connection& to) {
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
    const QStringList tables = tablesOf(from);
    CopyReport report;
    TransactionGuard tx(to);
    for (const QString& table : tables) {
        if (to.scalar(QStringLiteral("select count(*) from %1").arg(table)).toLongLong() > 0) {
            throw DbError(QStringLiteral("目标数据库的表 %1 已有数据,不能复制").arg(table));
        }
    }
    for (const QString& table : tables) {
        report.rows += copyTable(from, to, table);
        ++report.tables;
    }
    tx.commit();
    return report;
}

}  // namespace otherin::db
