#include "db/database_copy.h"

#include <QSqlRecord>

#include <algorithm>

#include "db/bulk_copy.h"
#include "db/connection.h"
#include "db/db_error.h"
#include "db/schema.h"
#include "db/server_roles.h"
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
// Rows of one insert into a database file, and the values SQLite binds to
// one statement at most.
constexpr int kFileBatchRows = 500;
constexpr int kFileMaxValues = 32766;

// Counts the rows copied and tells the progress each time a step is passed.
class RowCounter {
  public:
    RowCounter(qint64& copied, qint64 total, const CopyProgress& progress)
        : copied_(copied), total_(total), progress_(progress) {}
    void add(qint64 rows) {
        const qint64 before = copied_;
        copied_ += rows;
        if (progress_ && before / kProgressStep != copied_ / kProgressStep)
            progress_(copied_, total_);
    }

  private:
    qint64& copied_;
    qint64 total_;
    const CopyProgress& progress_;
};

// The columns of a table, in the order `select *` gives them.
QStringList columnsOf(const Connection& c, const QString& table) {
    Query q = c.prepare(QStringLiteral("select * from %1 where 1=0").arg(table));
    q.exec();
    const QSqlRecord record = q.record();
    while (q.next()) {
    }
    QStringList names;
    for (int i = 0; i < record.count(); ++i) names << record.fieldName(i);
    return names;
}

// Into a server: one copy statement per table, the rows in chunks. From a
// server, its own copy hands the rows over in the same text format.
void copyIntoServer(Connection& from, Connection& to, const QString& table, RowCounter& counter) {
    const QStringList columns = columnsOf(from, table);
    if (from.dialect().isServer()) {
        ServerTableWriter into(to, table, columns);
        ServerTableReader rows(from, table, columns);
        const char* data = nullptr;
        int size = 0;
        while (rows.next(data, size)) {
            into.addLine(data, size);
            counter.add(1);
        }
        into.finish();
        return;
    }
    Query source = from.prepare(
        QStringLiteral("select %1 from %2").arg(columns.join(QLatin1Char(',')), table));
    source.exec();
    ServerTableWriter into(to, table, columns);
    const int width = int(columns.size());
    while (source.next()) {
        for (int i = 0; i < width; ++i) into.add(source.value(i));
        into.endRow();
        counter.add(1);
    }
    into.finish();
}

// Into a database file: inserts of many rows each, within SQLite's limit of
// bound values.
void copyIntoFile(Connection& from, Connection& to, const QString& table, RowCounter& counter) {
    const QStringList columns = columnsOf(from, table);
    const int width = int(columns.size());
    if (width == 0) return;
    const int batch = std::max(1, std::min(kFileBatchRows, kFileMaxValues / width));
    const QString rowMarks = QLatin1Char('(') +
                             QStringList(width, QStringLiteral("?")).join(QLatin1Char(',')) +
                             QLatin1Char(')');
    const QString head =
        QStringLiteral("insert into %1(%2) values").arg(table, columns.join(QLatin1Char(',')));
    const auto insertOf = [&](int rows) {
        return head + QStringList(rows, rowMarks).join(QLatin1Char(','));
    };
    const QString full = insertOf(batch);
    Query source = from.prepare(
        QStringLiteral("select %1 from %2").arg(columns.join(QLatin1Char(',')), table));
    source.exec();
    QVariantList values;
    values.reserve(qsizetype(batch) * width);
    int pending = 0;
    const auto flush = [&](const QString& sql) {
        // One statement for every full batch: the file prepares it once.
        Query insert = to.prepare(sql);
        for (const QVariant& value : values) insert.bind(value);
        insert.exec();
        counter.add(pending);
        values.resize(0);
        pending = 0;
    };
    while (source.next()) {
        for (int i = 0; i < width; ++i) values << source.value(i);
        if (++pending == batch) flush(full);
    }
    if (pending > 0) flush(insertOf(pending));
}

void copyTable(Connection& from, Connection& to, const QString& table, RowCounter& counter) {
    try {
        if (to.dialect().isServer()) {
            copyIntoServer(from, to, table, counter);
        } else {
            copyIntoFile(from, to, table, counter);
        }
    } catch (const DbError& e) {
        throw DbError(
            QStringLiteral("复制表 %1 时出错, 目标数据库没有保留任何复制的数据。\n").arg(table) +
                e.message(),
            e.code(), e.detail());
    }
}

// On a server the copy is the owner's: only the tables' owner may stop their
// triggers, and the owner's rows are not filtered by the clerks' row rules.
// A login in the owner role takes it for the copy's transaction; any other
// login copies as itself (a database without roles yet, or the superuser).
void actAsOwner(Connection& to) {
    const auto roles = serverRoles(to);
    if (!roles || !loginIsMemberOf(to, roles->owner())) return;
    to.exec(QStringLiteral("set local role %1").arg(quotedName(to, roles->owner())));
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
    if (to.dialect().isServer()) actAsOwner(to);
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
    RowCounter counter(report.rows, total, progress);
    for (const QString& table : tables) {
        if (table == history) to.exec(QStringLiteral("delete from %1").arg(history));
        copyTable(from, to, table, counter);
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
