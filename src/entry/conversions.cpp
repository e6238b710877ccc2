#include "entry/conversions.h"

#include <QRegularExpression>
#include <cmath>

namespace otherin::entry {

qint32 toLong(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty()) return 0;
    bool ok = false;
    const qint32 whole = t.toInt(&ok);
    if (ok) return whole;
    // "12.0" and the like still count as whole numbers, rounded half away from zero.
    const double d = t.toDouble(&ok);
    if (!ok || !std::isfinite(d) || std::abs(d) > 2147483647.0) return 0;
    return static_cast<qint32>(std::llround(d));
}

double toDouble(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty()) return 0;
    bool ok = false;
    const double d = t.toDouble(&ok);
    return ok && std::isfinite(d) ? d : 0;
}

QString toText(const QString& text) {
    return text.trimmed();
}

QString groupThousands(const QString& plain) {
    const qsizetype signEnd = plain.startsWith(u'-') || plain.startsWith(u'+') ? 1 : 0;
    qsizetype wholeEnd = plain.indexOf(u'.');
    if (wholeEnd < 0) wholeEnd = plain.size();
    QString grouped = plain.left(signEnd);
    for (qsizetype i = signEnd; i < wholeEnd; ++i) {
        if (i > signEnd && (wholeEnd - i) % 3 == 0) grouped += u',';
        grouped += plain[i];
    }
    return grouped + plain.mid(wholeEnd);
}

QString plainNumber(double value, int decimals) {
    const int places = decimals < 0 ? 0 : decimals;
    // A value that rounds to zero is shown without a sign the user never typed.
    if (std::round(std::abs(value) * std::pow(10.0, places)) == 0) value = 0.0;
    return QString::number(value, 'f', places);
}

QString shownNumber(double value, int decimals) {
    return groupThousands(plainNumber(value, decimals));
}

QString withoutGrouping(const QString& typed) {
    static const QRegularExpression grouped(
        QStringLiteral(R"(^\s*[+-]?\d{1,3}(,\d{3})+(\.\d*)?\s*$)"));
    if (!grouped.match(typed).hasMatch()) return typed;
    QString plain = typed;
    return plain.remove(u',');
}

}  // namespace otherin::entry
