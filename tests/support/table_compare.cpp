#include "support/table_compare.h"

#include <QDateTime>
#include <QMap>
#include <QRegularExpression>
#include <QSqlField>
#include <QSqlRecord>
#include <QTimeZone>
#include <algorithm>

#include "db/query.h"

namespace otherin::testing {

namespace {

constexpr int kMaxDifferences = 12;

bool onSqlite(const db::Connection& c) {
    return c.dialect().kind() == db::DialectKind::Sqlite;
}

QStringList texts(db::Connection& c, const QString& sql, const QVariantList& values = {}) {
    db::Query q = c.prepare(sql);
    for (const QVariant& v : values) q.bind(v);
    q.exec();
    QStringList out;
    while (q.next()) out << q.value(0).toString();
    return out;
}

// Every table by its lower-case name.
QMap<QString, QString> tablesOf(db::Connection& c) {
    const QStringList names =
        texts(c, onSqlite(c) ? QStringLiteral("select name from sqlite_master where type='table' "
                                              "and name not like 'sqlite%'")
                             : QStringLiteral("select table_name from information_schema.tables "
                                              "where table_schema=current_schema() and "
                                              "table_type='BASE TABLE'"));
    QMap<QString, QString> tables;
    for (const QString& name : names) tables.insert(name.toLower(), name);
    return tables;
}

QStringList columnsOf(db::Connection& c, const QString& table) {
    return onSqlite(c)
               ? texts(c, QStringLiteral("select name from pragma_table_info(?) order by cid"),
                       {table})
               : texts(c,
                       QStringLiteral("select column_name from information_schema.columns where "
                                      "table_schema=current_schema() and table_name=? "
                                      "order by ordinal_position"),
                       {table});
}

// The primary key's columns, lower case, in key order; empty without one.
QStringList keyOf(db::Connection& c, const QString& table) {
    const QStringList key =
        onSqlite(c)
            ? texts(c,
                    QStringLiteral("select name from pragma_table_info(?) where pk>0 order by pk"),
                    {table})
            : texts(c,
                    QStringLiteral(
                        "select k.column_name from information_schema.table_constraints t join "
                        "information_schema.key_column_usage k on k.constraint_name="
                        "t.constraint_name and k.table_schema=t.table_schema and "
                        "k.table_name=t.table_name where t.constraint_type='PRIMARY KEY' and "
                        "t.table_schema=current_schema() and t.table_name=? "
                        "order by k.ordinal_position"),
                    {table});
    QStringList lower;
    for (const QString& column : key) lower << column.toLower();
    return lower;
}

bool isNumberType(int type) {
    switch (type) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Double:
        case QMetaType::Float:
            return true;
        default:
            return false;
    }
}

QString numberText(double value) {
    QString text = QString::number(value + 0.0, 'f', 6);
    while (text.endsWith(u'0')) text.chop(1);
    if (text.endsWith(u'.')) text.chop(1);
    return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

QString momentText(const QDateTime& at) {
    return at.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

// One value as text both kinds of database agree on: SQLite keeps decimals
// as doubles and moments as ISO text, the server as numeric and timestamps.
QString normalized(const QVariant& value, int fieldType) {
    if (value.isNull()) return QStringLiteral("NULL");
    const int type = value.typeId();
    if (type == QMetaType::Bool) return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    if (type == QMetaType::LongLong || type == QMetaType::Int || type == QMetaType::UInt ||
        type == QMetaType::Short || type == QMetaType::UShort)
        return QString::number(value.toLongLong());
    if (isNumberType(type) || (isNumberType(fieldType) && type == QMetaType::QString)) {
        bool ok = false;
        const double number = value.toDouble(&ok);
        if (ok) return numberText(number);
    }
    if (type == QMetaType::QDate) return value.toDate().toString(Qt::ISODate);
    if (type == QMetaType::QDateTime) return momentText(value.toDateTime());
    if (type == QMetaType::QByteArray) {
        // SQLite may hand back as bytes what the server keeps as text.
        const QByteArray bytes = value.toByteArray();
        const QString text = QString::fromUtf8(bytes);
        return text.toUtf8() == bytes ? text : QString::fromLatin1(bytes.toHex());
    }
    const QString text = value.toString();
    static const QRegularExpression moment(QStringLiteral(
        "^\\d{4}-\\d{2}-\\d{2}[ T]\\d{2}:\\d{2}(:\\d{2}(\\.\\d+)?)?(Z|[+-]\\d{2}(:?\\d{2})?)?$"));
    if (moment.match(text).hasMatch()) {
        QString iso = text;
        iso[10] = u'T';
        QDateTime at = QDateTime::fromString(iso, Qt::ISODateWithMs);
        if (at.isValid()) {
            if (at.timeSpec() == Qt::LocalTime) at.setTimeZone(QTimeZone::utc());
            return momentText(at);
        }
    }
    return text;
}

// Numbers in number order, the rest as text.
int compareValues(const QString& a, const QString& b) {
    bool aNumber = false;
    bool bNumber = false;
    const double x = a.toDouble(&aNumber);
    const double y = b.toDouble(&bNumber);
    if (aNumber && bNumber) return x < y ? -1 : (x > y ? 1 : 0);
    return a.compare(b);
}

using Row = QStringList;

int compareRows(const Row& a, const Row& b, const QList<int>& order) {
    for (const int i : order) {
        if (const int c = compareValues(a[i], b[i]); c != 0) return c;
    }
    return 0;
}

// The rows of `table` with `columns` (as the database names them), sorted
// by the positions in `order`.
QList<Row> rowsOf(db::Connection& c, const QString& table, const QStringList& columns,
                  const QList<int>& order) {
    QStringList quoted;
    for (const QString& column : columns) quoted << u'"' + column + u'"';
    db::Query q = c.prepare(QStringLiteral("select %1 from \"%2\"").arg(quoted.join(u','), table));
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
QString shown(const QString& value) {
    if (value.isEmpty()) return QStringLiteral("''");
    QString line = value;
    line.replace(u'\n', QStringLiteral("\\n"));
    return line.size() > 40 ? line.left(40) + QStringLiteral("…") : line;
}

QString described(const Row& row, const QStringList& columns, const QList<int>& positions) {
    QStringList parts;
    for (const int i : positions) parts << columns[i] + u'=' + shown(row[i]);
    return parts.join(QStringLiteral(", "));
}

class Differences {
  public:
    bool full() const { return lines_.size() >= kMaxDifferences; }
    void add(const QString& line) {
        if (!full()) lines_ << line;
    }
    QString text() const { return lines_.join(u'\n'); }

  private:
    QStringList lines_;
};

void compareTable(db::Connection& a, db::Connection& b, const QString& tableA,
                  const QString& tableB, const QStringList& skipColumns, Differences& found) {
    const QString table = tableA.toLower();
    const auto skipped = [&](const QString& column) {
        const QString lower = column.toLower();
        return skipColumns.contains(lower, Qt::CaseInsensitive) ||
               skipColumns.contains(table + u'.' + lower, Qt::CaseInsensitive);
    };
    QStringList columnsA;
    QStringList columnsB;  // the same columns as b names them
    const QStringList inB = columnsOf(b, tableB);
    for (const QString& column : columnsOf(a, tableA)) {
        if (skipped(column)) continue;
        const auto match = std::find_if(inB.begin(), inB.end(), [&column](const QString& other) {
            return other.compare(column, Qt::CaseInsensitive) == 0;
        });
        if (match == inB.end()) {
            found.add(QStringLiteral("%1: column %2 only in the first").arg(table, column));
            continue;
        }
        columnsA << column;
        columnsB << *match;
    }
    for (const QString& column : inB) {
        if (!skipped(column) && !columnsA.contains(column, Qt::CaseInsensitive))
            found.add(QStringLiteral("%1: column %2 only in the second").arg(table, column));
    }

    QStringList key = keyOf(a, tableA);
    if (key.isEmpty()) key = keyOf(b, tableB);
    QList<int> keyPositions;
    for (const QString& column : key) {
        const int at = columnsA.indexOf(
            QRegularExpression(QStringLiteral("^%1$").arg(QRegularExpression::escape(column)),
                               QRegularExpression::CaseInsensitiveOption));
        if (at < 0) {  // a key column left out: the rows have no key to go by
            keyPositions.clear();
            break;
        }
        keyPositions << at;
    }
    QList<int> order = keyPositions;
    for (int i = 0; i < columnsA.size(); ++i) {
        if (!order.contains(i)) order << i;
    }
    if (keyPositions.isEmpty()) keyPositions = order;

    const QList<Row> rowsA = rowsOf(a, tableA, columnsA, order);
    const QList<Row> rowsB = rowsOf(b, tableB, columnsB, order);
    qsizetype i = 0;
    qsizetype j = 0;
    while ((i < rowsA.size() || j < rowsB.size()) && !found.full()) {
        const int c = i == rowsA.size()   ? 1
                      : j == rowsB.size() ? -1
                                          : compareRows(rowsA[i], rowsB[j], keyPositions);
        if (c < 0) {
            found.add(QStringLiteral("%1: row (%2) only in the first")
                          .arg(table, described(rowsA[i++], columnsA, keyPositions)));
        } else if (c > 0) {
            found.add(QStringLiteral("%1: row (%2) only in the second")
                          .arg(table, described(rowsB[j++], columnsA, keyPositions)));
        } else {
            for (int col = 0; col < columnsA.size(); ++col) {
                if (rowsA[i][col] == rowsB[j][col]) continue;
                found.add(QStringLiteral("%1: row (%2): %3 is %4 in the first, %5 in the second")
                              .arg(table, described(rowsA[i], columnsA, keyPositions),
                                   columnsA[col], shown(rowsA[i][col]), shown(rowsB[j][col])));
            }
            ++i;
            ++j;
        }
    }
}

}  // namespace

QString tableDifferences(db::Connection& a, db::Connection& b, const QStringList& skipColumns) {
    Differences found;
    const QMap<QString, QString> tablesA = tablesOf(a);
    const QMap<QString, QString> tablesB = tablesOf(b);
    for (auto it = tablesA.begin(); it != tablesA.end() && !found.full(); ++it) {
        if (!tablesB.contains(it.key())) {
            found.add(QStringLiteral("table %1 only in the first").arg(it.value()));
            continue;
        }
        compareTable(a, b, it.value(), tablesB.value(it.key()), skipColumns, found);
    }
    for (auto it = tablesB.begin(); it != tablesB.end(); ++it) {
        if (!tablesA.contains(it.key()))
            found.add(QStringLiteral("table %1 only in the second").arg(it.value()));
    }
    return found.text();
}

}  // namespace otherin::testing
