#pragma once

#include <QString>

namespace otherin::db {

// The one way a text or date typed by the user enters composed SQL (query
// conditions): between single quotes, inner quotes doubled, so the statement
// stays one query that compares the literal text. Backslashes stay as they
// are: every server connection is opened with standard string rules (see
// Connection), under which a backslash is an ordinary character, as it always
// is on SQLite. A text holding a NUL character is refused (DbError): the
// server's client library would end the statement there.
QString quoteText(const QString& text);

// True when the text holds a character that no field of the module keeps:
// NUL and the other control characters (U+0000–U+001F, U+007F), which come
// in invisibly when text is pasted from another program.
bool holdsControlCharacter(const QString& text);

// The message that refuses such a text in the field the clerk names.
QString controlCharacterRefusal(const QString& field);

// The message of a value with a NUL character that reached the database layer
// without a field's check (a statement is never built with it).
QString nulCharacterRefusal();

}  // namespace otherin::db
