#include "query/operators.h"

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
