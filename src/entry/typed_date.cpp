#include "entry/typed_date.h"

#include <QRegularExpression>

namespace otherin::entry {

std::optional<QDate> parseTypedDate(const QString& text, const QDate& today) {
    static const QRegularExpression withYear(
        QStringLiteral("^(\\d{4})([-/.])(\\d{1,2})\\2(\\d{1,2})$"));
    static const QRegularExpression thisYear(QStringLiteral("^(\\d{1,2})([-/.])(\\d{1,2})$"));
    static const QRegularExpression digits(QStringLiteral("^\\d{4}(\\d{4})?$"));
    const QString t = text.trimmed();
    int year = 0, month = 0, day = 0;
    if (const auto m = withYear.match(t); m.hasMatch()) {
        year = m.captured(1).toInt();
        month = m.captured(3).toInt();
        day = m.captured(4).toInt();
    } else if (const auto m2 = thisYear.match(t); m2.hasMatch()) {
        year = today.year();
        month = m2.captured(1).toInt();
        day = m2.captured(3).toInt();
    } else if (digits.match(t).hasMatch()) {
        const bool full = t.size() == 8;
        year = full ? t.left(4).toInt() : today.year();
        month = t.mid(full ? 4 : 0, 2).toInt();
        day = t.right(2).toInt();
    } else {
        return std::nullopt;
    }
    const QDate date(year, month, day);
    if (!date.isValid() || year < 1900) return std::nullopt;
    return date;
}

}  // namespace otherin::entry
