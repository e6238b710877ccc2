#include "db/dialect.h"

namespace otherin::db {

QString Dialect::limitRows(const QString& selectBody, int rows) const {
    if (kind_ == DialectKind::SqlServer) {
        return QStringLiteral("select top %1 %2").arg(rows).arg(selectBody);
    }
    return QStringLiteral("select %1 limit %2").arg(selectBody).arg(rows);
}

QString Dialect::upsertAdding(const QString& table, const QStringList& columns,
                              const QStringList& keyColumns, const QStringList& addColumns) const {
    QStringList marks;
    for (int i = 0; i < columns.size(); ++i) marks << QStringLiteral("?");
    if (kind_ == DialectKind::SqlServer) {
        QStringList sourceCols, on, sets, insertVals;
        for (const auto& c : columns) {
            sourceCols << QStringLiteral("? as %1").arg(c);
            insertVals << QStringLiteral("s.%1").arg(c);
        }
        for (const auto& k : keyColumns) on << QStringLiteral("t.%1=s.%1").arg(k);
        for (const auto& a : addColumns) sets << QStringLiteral("t.%1=t.%1+s.%1").arg(a);
        return QStringLiteral(
                   "merge into %1 as t using (select %2) as s on %3 when matched then update "
                   "set %4 when not matched then insert (%5) values (%6);")
            .arg(table, sourceCols.join(','), on.join(QStringLiteral(" and ")), sets.join(','),
                 columns.join(','), insertVals.join(','));
    }
    QStringList sets;
    for (const auto& a : addColumns) {
        sets << QStringLiteral("%1=%2").arg(
            a, decimal(QStringLiteral("%1.%2+excluded.%2").arg(table, a)));
    }
    return QStringLiteral("insert into %1(%2) values(%3) on conflict(%4) do update set %5")
        .arg(table, columns.join(','), marks.join(','), keyColumns.join(','), sets.join(','));
}

QString Dialect::decimal(const QString& expression) const {
    if (kind_ == DialectKind::Sqlite) {
        return QStringLiteral("round(%1,%2)").arg(expression).arg(kDecimalScale);
    }
    return expression;
}

QString Dialect::beginWrite() const {
    switch (kind_) {
        case DialectKind::Sqlite:
            return QStringLiteral("begin immediate");
        case DialectKind::SqlServer:
            return QStringLiteral("begin transaction");
        case DialectKind::PostgreSql:
            break;
    }
    return QStringLiteral("begin");
}

QString Dialect::procedureCall(const QString& name, int argCount) const {
    QStringList marks;
    for (int i = 0; i < argCount; ++i) marks << QStringLiteral("?");
    if (kind_ == DialectKind::SqlServer) {
        return QStringLiteral("exec %1 %2").arg(name, marks.join(','));
    }
    return QStringLiteral("call %1(%2)").arg(name, marks.join(','));
}

}  // namespace otherin::db
