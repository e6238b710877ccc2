#pragma once

#include <QString>

namespace otherin::db {

// The one way a text or date typed by the user enters composed SQL (query
// conditions): between single quotes, inner quotes doubled, so the statement
// stays one query that compares the literal text. NUL characters are dropped,
// as a database may take them for the end of the statement.
QString quoteText(const QString& text);

}  // namespace otherin::db
