#include "query/operators.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>

namespace otherin::query {

namespace {

OperatorFamily makeNumberFamily() {
    return {{QStringLiteral("大于"), QStringLiteral("大于等于"), QStringLiteral("等于"),
             QStringLiteral("小于"), QStringLiteral("小于等于"), QStringLiteral("不等于")},
            {QStringLiteral(">"), QStringLiteral(">="), QStringLiteral("="), QStringLiteral("<"),
             QStringLiteral("<="), QStringLiteral("<>")}};
}

OperatorFamily makeTextFamily() {
    return {{QStringLiteral("等于"), QStringLiteral("包含"), QStringLiteral("不包含"),
             QStringLiteral("不等于"), QStringLiteral("为空"), QStringLiteral("不为空"),
             QStringLiteral("大于等于"), QStringLiteral("小于等于")},
            {QStringLiteral("="), QStringLiteral("Like"), QStringLiteral("Not like"),
             QStringLiteral("<>"), QStringLiteral("Is null"), QStringLiteral(" is not  null"),
             QStringLiteral(">="), QStringLiteral("<=")}};
}

OperatorFamily makeDateFamily() {
    return {{QStringLiteral("等于"), QStringLiteral("不等于"), QStringLiteral("大于"),
             QStringLiteral("大于等于"), QStringLiteral("小于"), QStringLiteral("小于等于")},
            {QStringLiteral("="), QStringLiteral("<>"), QStringLiteral(">"), QStringLiteral(">="),
             QStringLiteral("<"), QStringLiteral("<=")}};
}

}  // namespace

const OperatorFamily& operatorFamily(const QString& fieldType) {
    // Immutable tables, built once.
    static const OperatorFamily number = makeNumberFamily();
    static const OperatorFamily text = makeTextFamily();
    static const OperatorFamily date = makeDateFamily();
    static const OperatorFamily none;
    const QString t = fieldType.trimmed();
    if (t == QLatin1String("1")) return number;
    if (t == QLatin1String("2")) return text;
    if (t == QLatin1String("3")) return date;
    return none;
}

bool hasItemClass(const QString& itemClass) {
    const QString t = itemClass.trimmed();
    if (t.isEmpty()) return false;
    bool ok = false;
    const double n = t.toDouble(&ok);
    return !ok || n != 0;
}

ValueKind valueKindOf(const QString& fieldType, const QString& itemClass) {
    const QString t = fieldType.trimmed();
    if (t == QLatin1String("1")) return ValueKind::Number;
    if (t == QLatin1String("2"))
        return hasItemClass(itemClass) ? ValueKind::TextPick : ValueKind::Text;
    if (t == QLatin1String("3")) return ValueKind::Date;
    return ValueKind::None;
}

std::optional<QString> numberLiteral(const QString& value) {
    const QString t = value.trimmed();
    if (t.isEmpty()) return QStringLiteral("0");
    static const QRegularExpression decimal(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)$"));
    if (!decimal.match(t).hasMatch()) return std::nullopt;
    const QLocale c = QLocale::c();
    bool ok = false;
    const qlonglong whole = c.toLongLong(t, &ok);
    if (ok) return QString::number(whole);
    const double d = c.toDouble(t, &ok);
    if (ok && std::isfinite(d)) return QString::number(d, 'f', QLocale::FloatingPointShortest);
    return std::nullopt;
}

QString numberRefusal(int row, const QString& value) {
    return QStringLiteral("第%1行条件的数值\"%2\"不是有效的数字,请重新输入!").arg(row).arg(value);
}

QString controlCharacterRefusal(int row) {
    return QStringLiteral(
               "第%1行条件的值含有不可见的控制字符(可能是从其他程序粘贴来的),"
               "请删除后重新输入!")
        .arg(row);
}

bool comparesValue(const QString& fieldType, const QString& op) {
    return fieldType.trimmed() != QLatin1String("2") ||
           (op != QStringLiteral("为空") && op != QStringLiteral("不为空"));
}

QString initialValue(ValueKind kind, const QString& today) {
    switch (kind) {
        case ValueKind::Number:
            return QStringLiteral("0");
        case ValueKind::Date:
            return today;
        case ValueKind::None:
        case ValueKind::Text:
        case ValueKind::TextPick:
            break;
    }
    return {};
}

}  // namespace otherin::query
