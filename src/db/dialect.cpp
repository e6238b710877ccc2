#include "db/dialect.h"

#include <QRegularExpression>

namespace otherin::db {

QString Dialect::limitRows(const QString& selectBody, int rows) const {
    return QStringLiteral("select %1 limit %2").arg(selectBody).arg(rows);
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

QString Dialect::now() const {
    return kind_ == DialectKind::Sqlite ? QStringLiteral("strftime('%Y-%m-%dT%H:%M:%SZ','now')")
                                        : QStringLiteral("now()");
}

QString Dialect::schemaLock() const {
    // The key is a fixed number of our own. The server keeps advisory locks
    // per database, so only programs on the same database meet on it.
    return kind_ == DialectKind::Sqlite ? QString()
                                        : QStringLiteral("select pg_advisory_xact_lock(7421011)");
}

QString Dialect::schemaText(const QString& script) const {
    if (kind_ == DialectKind::Sqlite) return script;
    // The scripts are written in SQLite's words; the server has its own for
    // a day and for binary content, and compares text by its collation, so
    // names that must match without regard to case are compared through
    // lower() by the statements that read them.
    static const QRegularExpression datetimeWord(QStringLiteral("\\bdatetime\\b"));
    static const QRegularExpression timestampWord(QStringLiteral("\\btimestamp\\b"));
    static const QRegularExpression blobWord(QStringLiteral("\\bblob\\b"));
    static const QRegularExpression nocase(QStringLiteral("\\s+collate\\s+nocase\\b"),
                                           QRegularExpression::CaseInsensitiveOption);
    QString text = script;
    text.replace(datetimeWord, QStringLiteral("date"));
    // A moment keeps its time of day and its zone.
    text.replace(timestampWord, QStringLiteral("timestamptz"));
    text.replace(blobWord, QStringLiteral("bytea"));
    text.replace(nocase, QString());
    return text;
}

}  // namespace otherin::db
