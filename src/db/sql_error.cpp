#include "db/sql_error.h"

#include <QRegularExpression>

#include "db/db_error.h"
#include "db/error_words.h"

namespace otherin::db {

QString databaseMessage(const QSqlError& error) {
    const QString text = error.databaseText().trimmed();
    if (text.isEmpty()) return error.text().trimmed();
    static const QRegularExpression severity(QStringLiteral("^(ERROR|FATAL|PANIC):\\s+"));
    if (!severity.match(text).hasMatch()) return text;
    return text.section(QLatin1Char('\n'), 0, 0).remove(severity).trimmed();
}

void raise(const QSqlError& error, const QSqlDriver* driver) {
    const FailureReport report = reportOf(error, driver);
    throw DbError(inClerksWords(report), report.code, report.serverText);
}

}  // namespace otherin::db
