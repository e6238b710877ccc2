#pragma once

#include <QString>

namespace otherin::entry {

// Text-to-value conversions used when bill lines are written: the text is
// trimmed and an empty text gives 0 (or ""). A text that is not a number
// gives 0 as well.
qint32 toLong(const QString& text);
double toDouble(const QString& text);
QString toText(const QString& text);

}  // namespace otherin::entry
