#include "db/sql_error.h"

#include <QRegularExpression>

#include "db/db_error.h"

namespace otherin::db {

QString databaseMessage(const QSqlError& error) {
    const QString text = error.databaseText().trimmed();
    if (text.isEmpty()) return error.text().trimmed();
    static const QRegularExpression severity(QStringLiteral("^(ERROR|FATAL|PANIC):\\s+"));
    if (!severity.match(text).hasMatch()) return text;
    return text.section(QLatin1Char('\n'), 0, 0).remove(severity).trimmed();
}

void raise(const QSqlError& error) {
    throw DbError(databaseMessage(error), error.nativeErrorCode());
}

}  // namespace otherin::db
