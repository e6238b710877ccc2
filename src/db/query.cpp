#include "db/query.h"

#include <QSqlError>

#include "db/db_error.h"

namespace otherin::db {

namespace {
QString describe(const QSqlError& error) {
    const QString db = error.databaseText().trimmed();
    return db.isEmpty() ? error.text() : db;
}
}  // namespace

Query::Query(const QSqlDatabase& db, const QString& sql) : query_(db), sql_(sql) {
    query_.setForwardOnly(true);
    if (!query_.prepare(sql)) throw DbError(describe(query_.lastError()));
}

Query& Query::bind(const QVariant& value) {
    query_.addBindValue(value);
    return *this;
}

Query& Query::exec() {
    if (!query_.exec()) throw DbError(describe(query_.lastError()));
    return *this;
}

QVariant Query::value(const QString& column) const {
    const int index = query_.record().indexOf(column);
    if (index < 0) throw DbError(QStringLiteral("列 %1 不存在").arg(column));
    return query_.value(index);
}

}  // namespace otherin::db
