#pragma once

#include <QDate>
#include <QString>
#include <optional>

namespace otherin::entry {

// A date as clerks type it into any date field: 2026-12-07, 2026/12/07,
// 2026.12.07 (months and days of one digit too), 20261207, and for `today`'s
// year 12-07, 12/07, 12.07 or 1207. None when the text is not a date or names
// a day that does not exist (2026-02-30).
std::optional<QDate> parseTypedDate(const QString& text, const QDate& today = QDate::currentDate());

}  // namespace otherin::entry
