#include "query/value_format.h"

#include "entry/conversions.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <algorithm>
#include <cmath>

namespace otherin::query {

namespace {

bool isNumberType(const QVariant& v) {
    switch (v.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Double:
        case QMetaType::Float:
            return true;
        default:
            return false;
    }
}

bool readNumber(const QVariant& v, double& out) {
    if (v.isNull()) return false;
    if (isNumberType(v)) {
        out = v.toDouble();
        return true;
    }
    bool ok = false;
    out = QLocale::c().toDouble(v.toString().trimmed(), &ok);
    return ok && std::isfinite(out);
}

QString formatNumber(double d, const QString& format) {
    const bool percent = format.contains(QLatin1Char('%'));
    if (percent) d *= 100;
    const int point = static_cast<int>(format.indexOf(QLatin1Char('.')));
    int minDecimals = 0;
    int maxDecimals = 0;
    if (point >= 0) {
        for (const QChar c : format.mid(point + 1)) {
            if (c == QLatin1Char('0')) ++minDecimals;
            if (c == QLatin1Char('0') || c == QLatin1Char('#')) ++maxDecimals;
        }
    }
    QString text = QString::number(std::abs(d), 'f', maxDecimals);
    if (maxDecimals > minDecimals) {
        while (text.endsWith(QLatin1Char('0')) && text.size() - text.indexOf('.') - 1 > minDecimals)
            text.chop(1);
        if (text.endsWith(QLatin1Char('.'))) text.chop(1);
    }
    const bool grouping = format.left(point < 0 ? format.size() : point).contains(',');
    if (grouping) {
        const int dot = static_cast<int>(text.indexOf(QLatin1Char('.')));
        const QString whole = dot < 0 ? text : text.left(dot);
        text = entry::groupThousands(whole) + (dot < 0 ? QString() : text.mid(dot));
    }
    // A value that rounds to zero shows no sign.
    const bool negative = d < 0 && std::any_of(text.cbegin(), text.cend(),
                                               [](QChar c) { return c.isDigit() && c != u'0'; });
    return (negative ? QStringLiteral("-") : QString()) + text +
           (percent ? QStringLiteral("%") : QString());
}

bool isDateFormat(const QString& format) {
    const QString f = format.toLower();
    return f.contains(QLatin1Char('y')) || f.contains(QLatin1Char('d'));
}

QDateTime readDate(const QVariant& v) {
    if (v.typeId() == QMetaType::QDate) return QDateTime(v.toDate(), QTime(0, 0));
    if (v.typeId() == QMetaType::QDateTime) return v.toDateTime();
    const QString t = v.toString().trimmed();
    QDateTime dt = QDateTime::fromString(t, Qt::ISODate);
    if (!dt.isValid()) dt = QDateTime::fromString(t, QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    if (!dt.isValid()) dt = QDateTime(QDate::fromString(t, Qt::ISODate), QTime(0, 0));
    return dt;
}

// The suite's date patterns: y, m, d, h, n (minutes), s.
QString qtDatePattern(const QString& format) {
    QString pattern;
    for (const QChar c : format) {
        switch (c.toLower().unicode()) {
            case 'm':
                pattern += QLatin1Char('M');
                break;
            case 'n':
                pattern += QLatin1Char('m');
                break;
            case 'y':
            case 'd':
            case 'h':
            case 's':
                pattern += c.toLower();
                break;
            default:
                pattern += c;
        }
    }
    return pattern;
}

}  // namespace

QString valueText(const QVariant& value) {
    if (value.isNull()) return {};
    switch (value.typeId()) {
        case QMetaType::Double:
        case QMetaType::Float:
            return QString::number(value.toDouble(), 'f', QLocale::FloatingPointShortest);
        case QMetaType::QDate:
            return value.toDate().toString(QStringLiteral("yyyy-MM-dd"));
        case QMetaType::QDateTime: {
            const QDateTime dt = value.toDateTime();
            return dt.time() == QTime(0, 0) ? dt.toString(QStringLiteral("yyyy-MM-dd"))
                                            : dt.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        }
        default:
            return value.toString();
    }
}

QString formatValue(const QVariant& value, const QString& format) {
    if (format.isEmpty() || value.isNull()) return valueText(value);
    if (isDateFormat(format)) {
        const QDateTime dt = readDate(value);
        return dt.isValid() ? dt.toString(qtDatePattern(format)) : valueText(value);
    }
    double d = 0;
    if (format.contains(QLatin1Char('0')) || format.contains(QLatin1Char('#'))) {
        if (readNumber(value, d)) return formatNumber(d, format);
    }
    return valueText(value);
}

double numberOf(const QVariant& value) {
    double d = 0;
    return readNumber(value, d) ? d : 0;
}

}  // namespace otherin::query
