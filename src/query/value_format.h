#pragma once

#include <QString>
#include <QVariant>

namespace otherin::query {

// The text form of a value read from the bill view: numbers in the C locale
// without exponent, dates as yyyy-MM-dd (with the time when it is not
// midnight), NULL as the empty text.
QString valueText(const QVariant& value);

// A value shown with a column's display format as the suite configures them:
// number patterns such as "#,##0.00", "0.000" or "0%", and date patterns such
// as "yyyy-mm-dd". A value the format does not fit is shown as valueText.
QString formatValue(const QVariant& value, const QString& format);

// The value read as a number: numbers as they are, texts parsed, anything
// else (blank, not a number) 0.
double numberOf(const QVariant& value);

}  // namespace otherin::query
