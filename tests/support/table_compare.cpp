#include "support/table_compare.h"

#include <QDateTime>
#include <QMap>
#include <QRegularExpression>
#include <QSqlField>
#include <QSqlRecord>
#include <QTimeZone>
#include <algorithm>

#include "db/database_copy.h"
#include "db/query.h"

namespace otherin::testing {

namespace {

using Row = QStringList;

// The table names (no `table`), a table's columns, or its primary key's (`key`, lower
// case), in order.
QStringList catalogue(db::Connection& c, const QString& table = {}, bool key = false) {
    static const char* const sqlite[] = {
        "select name from sqlite_master where type='table' and name not like 'sqlite%'",
        "select name from pragma_table_info(?) order by cid",
        "select name from pragma_table_info(?) where pk>0 order by pk"};
    static const char* const server[] = {
        "select table_name from information_schema.tables where table_schema=current_schema() "
        "and table_type='BASE TABLE'",
        "select column_name from information_schema.columns where table_schema=current_schema() "
        "and table_name=? order by ordinal_position",
        "select k.column_name from information_schema.table_constraints t join "
        "information_schema.key_column_usage k using (constraint_name,table_schema,table_name) "
        "where t.constraint_type='PRIMARY KEY' and t.table_schema=current_schema() and "
        "t.table_name=? order by k.ordinal_position"};
    const bool onSqlite = c.dialect().kind() == db::DialectKind::Sqlite;
    db::Query q = c.prepare(
        QString::fromLatin1((onSqlite ? sqlite : server)[table.isEmpty() ? 0 : (key ? 2 : 1)]));
    if (!table.isEmpty()) q.bind(table);
    q.exec();
    QStringList out;
    while (q.next()) out << (key ? q.value(0).toString().toLower() : q.value(0).toString());
    return out;
}

QString momentText(const QDateTime& at) {
    return at.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

// One value as text both kinds of database agree on: SQLite keeps decimals
// as doubles and moments as ISO text, the server as numeric and timestamps.
QString normalized(const QVariant& value, int fieldType) {
    static const QList<int> numbers{QMetaType::Bool,     QMetaType::Int,       QMetaType::UInt,
                                    QMetaType::LongLong, QMetaType::ULongLong, QMetaType::Short,
                                    QMetaType::UShort,   QMetaType::Double,    QMetaType::Float};
    if (value.isNull()) return QStringLiteral("NULL");
    const int type = value.typeId();
    bool ok = false;
    if (numbers.contains(type) || (numbers.contains(fieldType) && type == QMetaType::QString)) {
        if (const double number = value.toDouble(&ok); ok) {  // to six decimals, no trailing 0
            QString text = QString::number(number + 0.0, 'f', 6);
            while (text.endsWith(u'0')) text.chop(1);
            if (text.endsWith(u'.')) text.chop(1);
            return text == QLatin1String("-0") ? QStringLiteral("0") : text;
        }
    }
    if (type == QMetaType::QDate) return value.toDate().toString(Qt::ISODate);
    if (type == QMetaType::QDateTime) return momentText(value.toDateTime());
    // SQLite may hand back as bytes what the server keeps as text.
    if (type == QMetaType::QByteArray) {
        const QByteArray bytes = value.toByteArray();
        const QString text = QString::fromUtf8(bytes);
        return text.toUtf8() == bytes ? text : QString::fromLatin1(bytes.toHex());
    }
    QString text = value.toString();
    static const QRegularExpression moment(QStringLiteral(
        "^\\d{4}-\\d{2}-\\d{2}[ T]\\d{2}:\\d{2}(:\\d{2}(\\.\\d+)?)?(Z|[+-]\\d{2}(:?\\d{2})?)?$"));
    if (!moment.match(text).hasMatch()) return text;
    text[10] = u'T';
    QDateTime at = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!at.isValid()) return value.toString();
    if (at.timeSpec() == Qt::LocalTime) at.setTimeZone(QTimeZone::utc());
    return momentText(at);
}

// Rows by the values at `order`: numbers in number order, the rest as text.
int compareRows(const Row& a, const Row& b, const QList<int>& order) {
    for (const int i : order) {
        bool aNumber = false;
        bool bNumber = false;
        const double x = a[i].toDouble(&aNumber);
        const double y = b[i].toDouble(&bNumber);
        if (const int c = aNumber && bNumber ? (x > y) - (x < y) : a[i].compare(b[i])) return c;
    }
    return 0;
}

// The rows of `table` with `columns` (as the database names them), sorted by `order`.
QList<Row> rowsOf(db::Connection& c, const QString& table, const QStringList& columns,
                  const QList<int>& order) {
    db::Query q = c.prepare(QStringLiteral("select \"%1\" from \"%2\"")
                                .arg(columns.join(QStringLiteral("\",\"")), table));
    q.exec();
    QList<Row> rows;
    while (q.next()) {
        const QSqlRecord record = q.record();
        Row row;
        for (int i = 0; i < columns.size(); ++i)
            row << normalized(q.value(i), record.field(i).metaType().id());
        rows << row;
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [&order](const Row& x, const Row& y) { return compareRows(x, y, order) < 0; });
    return rows;
}

// A value in a line of its own, long texts cut short.
QString shown(QString value) {
    if (value.isEmpty()) return QStringLiteral("''");
    value.replace(u'\n', QStringLiteral("\\n"));
    return value.size() > 40 ? value.left(40) + QStringLiteral("…") : value;
}

// Every name by its lower-case form.
QMap<QString, QString> byLowerName(const QStringList& names) {
    QMap<QString, QString> map;
    for (const QString& name : names) map.insert(name.toLower(), name);
    return map;
}

struct Comparison {
    db::Connection& a;
    db::Connection& b;
    const QStringList& skip;
    QStringList found;  // the first differences, a dozen at most

    bool full() const { return found.size() >= 12; }
    void add(const QString& line) {
        if (!full()) found << line;
    }

    void compareTable(const QString& tableA, const QString& tableB) {
        const QString table = tableA.toLower();
        const auto skipped = [&](const QString& column) {
            return skip.contains(column, Qt::CaseInsensitive) ||
                   skip.contains(table + u'.' + column, Qt::CaseInsensitive);
        };
        QStringList columnsA, columnsB, lower;  // b's names of a's columns; a's in lower case
        QMap<QString, QString> inB = byLowerName(catalogue(b, tableB));
        for (const QString& column : catalogue(a, tableA)) {
            if (skipped(column)) continue;
            if (!inB.contains(column.toLower())) {
                add(QStringLiteral("%1: column %2 only in the first").arg(table, column));
                continue;
            }
            columnsA << column;
            columnsB << inB.take(column.toLower());
            lower << column.toLower();
        }
        for (const QString& column : catalogue(b, tableB))
            if (!skipped(column) && inB.contains(column.toLower()))
                add(QStringLiteral("%1: column %2 only in the second").arg(table, column));

        QStringList key = catalogue(a, tableA, true);
        if (key.isEmpty()) key = catalogue(b, tableB, true);
        QList<int> keyAt;  // the key's positions; all columns when a key column is left out
        for (const QString& column : key) keyAt << int(lower.indexOf(column));
        if (keyAt.contains(-1)) keyAt.clear();
        QList<int> order = keyAt;
        for (int i = 0; i < columnsA.size(); ++i)
            if (!order.contains(i)) order << i;
        if (keyAt.isEmpty()) keyAt = order;
        const auto described = [&](const Row& row) {
            QStringList parts;
            for (const int i : keyAt) parts << columnsA[i] + u'=' + shown(row[i]);
            return QStringLiteral("%1: row (%2)").arg(table, parts.join(QStringLiteral(", ")));
        };

        const QList<Row> rowsA = rowsOf(a, tableA, columnsA, order);
        const QList<Row> rowsB = rowsOf(b, tableB, columnsB, order);
        for (qsizetype i = 0, j = 0; (i < rowsA.size() || j < rowsB.size()) && !full();) {
            const int c = i == rowsA.size()   ? 1
                          : j == rowsB.size() ? -1
                                              : compareRows(rowsA[i], rowsB[j], keyAt);
            if (c < 0) {
                add(described(rowsA[i++]) + QStringLiteral(" only in the first"));
            } else if (c > 0) {
                add(described(rowsB[j++]) + QStringLiteral(" only in the second"));
            } else {
                for (int col = 0; col < columnsA.size(); ++col) {
                    if (rowsA[i][col] != rowsB[j][col])
                        add(QStringLiteral("%1: %2 is %3 in the first, %4 in the second")
                                .arg(described(rowsA[i]), columnsA[col], shown(rowsA[i][col]),
                                     shown(rowsB[j][col])));
                }
                ++i;
                ++j;
            }
        }
    }
};

}  // namespace

QString tableDifferences(db::Connection& a, db::Connection& b, const QStringList& skipColumns) {
    // The history's transaction ids and times are each database's own.
    const QStringList skipped = skipColumns + QStringList{QStringLiteral("otherin_history.ftxid"),
                                                          QStringLiteral("otherin_history.ftime")};
    Comparison compared{a, b, skipped, {}};
    // What running programs leave (announcements, open bills) is not data.
    const auto dataTables = [](db::Connection& c) {
        QStringList tables = catalogue(c);
        tables.removeIf([](const QString& t) { return db::belongsToItsDatabase(t); });
        return byLowerName(tables);
    };
    const QMap<QString, QString> tablesA = dataTables(a);
    const QMap<QString, QString> tablesB = dataTables(b);
    for (auto it = tablesA.begin(); it != tablesA.end() && !compared.full(); ++it) {
        if (tablesB.contains(it.key()))
            compared.compareTable(it.value(), tablesB.value(it.key()));
        else
            compared.add(QStringLiteral("table %1 only in the first").arg(it.value()));
    }
    for (auto it = tablesB.begin(); it != tablesB.end(); ++it)
        if (!tablesA.contains(it.key()))
            compared.add(QStringLiteral("table %1 only in the second").arg(it.value()));
    return compared.found.join(u'\n');
}

}  // namespace otherin::testing
