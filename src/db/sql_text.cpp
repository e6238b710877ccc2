#include "db/sql_text.h"

namespace otherin::db {

QString quoteText(const QString& text) {
    QString quoted;
    quoted.reserve(text.size() + 2);
    quoted += QLatin1Char('\'');
    for (const QChar c : text) {
        if (c == QLatin1Char('\'')) quoted += QLatin1Char('\'');
        if (c != QChar(0)) quoted += c;
    }
    quoted += QLatin1Char('\'');
    return quoted;
}

}  // namespace otherin::db
