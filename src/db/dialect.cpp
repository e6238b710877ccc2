#include "db/dialect.h"

#include <QRegularExpression>

namespace otherin::db {

QString Dialect::limitRows(const QString& selectBody, int rows) const {
    return QStringLiteral("select %1 limit %2").arg(selectBody).arg(rows);
}

QString Dialect::upsertAdding(const QString& table, const QStringList& columns,
                              const QStringList& keyColumns, const QStringList& addColumns) const {
    QStringList marks;
    for (int i = 0; i < columns.size(); ++i) marks << QStringLiteral("?");
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
    return kind_ == DialectKind::Sqlite ? QStringLiteral("begin immediate")
                                        : QStringLiteral("begin");
}

QString Dialect::forUpdate() const {
    return kind_ == DialectKind::Sqlite ? QString() : QStringLiteral(" for update");
}

QString Dialect::schemaText(const QString& script) const {
    if (kind_ == DialectKind::Sqlite) return script;
    // The scripts are written in SQLite's words; the server has its own for
    // a day and for binary content, and compares text by its collation, so
    // names that must match without regard to case are compared through
    // lower() by the statements that read them.
    static const QRegularExpression datetimeWord(QStringLiteral("\\bdatetime\\b"));
    static const QRegularExpression blobWord(QStringLiteral("\\bblob\\b"));
    static const QRegularExpression nocase(QStringLiteral("\\s+collate\\s+nocase\\b"),
                                           QRegularExpression::CaseInsensitiveOption);
    QString text = script;
    text.replace(datetimeWord, QStringLiteral("date"));
    text.replace(blobWord, QStringLiteral("bytea"));
    text.replace(nocase, QString());
    return text;
}

}  // namespace otherin::db
