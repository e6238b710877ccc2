#include "db/query.h"

#include <QSqlError>

#include "db/db_error.h"
#include "db/sql_error.h"

namespace otherin::db {

Query::Query(const QSqlDatabase& db, const QString& sql) : query_(db), sql_(sql) {
    query_.setForwardOnly(true);
    if (!query_.prepare(sql)) raise(query_.lastError());
}

Query& Query::bind(const QVariant& value) {
    query_.addBindValue(value);
    return *this;
}

Query& Query::exec() {
    if (!query_.exec()) raise(query_.lastError());
    positions_.clear();
    return *this;
}

bool Query::next() {
    if (query_.next()) return true;
    // The driver answers false both at the end of the rows and when the read
    // failed; only the error tells them apart.
    const QSqlError error = query_.lastError();
    if (error.isValid()) raise(error);
    return false;
}

QVariant Query::value(const QString& column) const {
    auto found = positions_.constFind(column);
    if (found == positions_.constEnd()) {
        const int index = query_.record().indexOf(column);
        if (index < 0) throw DbError(QStringLiteral("列 %1 不存在").arg(column));
        found = positions_.insert(column, index);
    }
    return query_.value(*found);
}

}  // namespace otherin::db
