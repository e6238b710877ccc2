#pragma once

#include <QString>

namespace otherin::entry {

// Text-to-value conversions used when bill lines are written: the text is
// trimmed and an empty text gives 0 (or ""). A text that is not a number
// gives 0 as well.
qint32 toLong(const QString& text);
double toDouble(const QString& text);
QString toText(const QString& text);

// How every window, print and export shows a number: the column's decimals,
// the whole part grouped in thousands ("1,234.50"). Typed and stored numbers
// stay plain; `groupThousands` takes a plain number text and groups it.
// `plainNumber` is the typed and stored form: plain decimal notation with
// `decimals` places, a value that rounds to zero without a sign.
QString groupThousands(const QString& plain);
QString plainNumber(double value, int decimals);
QString shownNumber(double value, int decimals);

// A typed number with its thousands written out ("1,234.5") in plain form
// ("1234.5"); any other text comes back as it is.
QString withoutGrouping(const QString& typed);

}  // namespace otherin::entry
