#include "editor/print/amount_words.h"

#include <cmath>

namespace otherin::print {

namespace {

const QString kDigits = QStringLiteral("零壹贰叁肆伍陆柒捌玖");
const QString kPlaces[] = {QString(), QStringLiteral("拾"), QStringLiteral("佰"),
                           QStringLiteral("仟")};
const QString kGroups[] = {QString(), QStringLiteral("万"), QStringLiteral("亿"),
                           QStringLiteral("万亿")};

// Whole yuan: four-digit groups with their unit; a run of zeros inside the
// number is read as one 零, zeros at the end of a group are not read.
QString yuanInCapitals(qint64 yuan) {
    const QString digits = QString::number(yuan);
    const int n = static_cast<int>(digits.size());
    QString text;
    bool zeroPending = false;
    bool groupHasDigit = false;
    for (int i = 0; i < n; ++i) {
        const int place = n - 1 - i;  // 0 for the units
        const int d = digits[i].digitValue();
        if (d == 0) {
            zeroPending = !text.isEmpty();
        } else {
            if (zeroPending) text += kDigits[0];
            text += kDigits[d] + kPlaces[place % 4];
            zeroPending = false;
            groupHasDigit = true;
        }
        if (place % 4 == 0) {
            if (groupHasDigit) text += kGroups[place / 4];
            groupHasDigit = false;
        }
    }
    return text;
}

}  // namespace

QString amountInCapitals(double amount) {
    if (!std::isfinite(amount) || std::abs(amount) >= 1e16) return QString();
    const qint64 fen = std::llround(std::abs(amount) * 100);
    if (fen == 0) return QStringLiteral("零元整");
    const qint64 yuan = fen / 100;
    const int jiao = static_cast<int>(fen / 10 % 10);
    const int cents = static_cast<int>(fen % 10);
    QString text = amount < 0 ? QStringLiteral("负") : QString();
    if (yuan > 0) text += yuanInCapitals(yuan) + QStringLiteral("元");
    if (jiao == 0 && cents == 0) return text + QStringLiteral("整");
    if (jiao > 0)
        text += kDigits[jiao] + QStringLiteral("角");
    else if (yuan > 0)
        text += kDigits[0];
    if (cents > 0) text += kDigits[cents] + QStringLiteral("分");
    return text;
}

}  // namespace otherin::print
