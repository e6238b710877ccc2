#include "query/clause_builder.h"

#include <QDate>

#include "entry/typed_date.h"

#include "db/sql_text.h"
#include "query/condition_grid.h"
#include "query/operators.h"
#include "query/sort_grid.h"

namespace otherin::query {

namespace {

// Field names come from the catalogue, but a stored scheme brings them back
// as text: only a plain column name may enter the statement.
bool isColumnName(const QString& name) {
    if (name.isEmpty() || name.front().isDigit()) return false;
    for (const QChar c : name) {
        if (!c.isLetterOrNumber() && c != QLatin1Char('_')) return false;
    }
    return true;
}

QString invalidCondition(int row) {
    return QStringLiteral("第%1行条件的字段或比较关系无效,请重新选择!").arg(row);
}

QString numberText(const QString& value, int row) {
    if (auto literal = numberLiteral(value)) return *literal;
    throw ConditionError(numberRefusal(row, value));
}

QString dateLiteral(const QString& value, int row) {
    if (const auto d = entry::parseTypedDate(value))
        return db::quoteText(d->toString(QStringLiteral("yyyy-MM-dd")));
    throw ConditionError(
        QStringLiteral("第%1行条件的日期\"%2\"不是有效的日期,请重新输入!").arg(row).arg(value));
}

// "包含" means the typed text itself: the wildcards of like, and the escape
// character, stand for themselves. The escape is named in the statement, as
// databases differ in their default one; "!" needs no escaping in a string
// literal on any of them.
QString likeContaining(const QString& value) {
    QString escaped;
    escaped.reserve(value.size() + 2);
    for (const QChar c : value) {
        if (c == u'!' || c == u'%' || c == u'_') escaped += u'!';
        escaped += c;
    }
    return db::quoteText(u'%' + escaped + u'%') + QStringLiteral(" escape '!' ");
}

// The bill view shows a missing text as the empty one, so "为空" has to take
// both for empty.
QString textCondition(const QString& field, const QString& op, const QString& value, int row) {
    if (op == QStringLiteral("包含"))
        return field + QStringLiteral(" like ") + likeContaining(value);
    if (op == QStringLiteral("不包含"))
        return field + QStringLiteral(" not like ") + likeContaining(value);
    if (op == QStringLiteral("为空"))
        return u'(' + field + QStringLiteral(" is null or ") + field + QStringLiteral("='') ");
    if (op == QStringLiteral("不为空"))
        return u'(' + field + QStringLiteral(" is not null and ") + field +
               QStringLiteral("<>'') ");
    if (op == QStringLiteral("等于")) return field + u'=' + db::quoteText(value);
    if (op == QStringLiteral("不等于")) return field + QStringLiteral("<>") + db::quoteText(value);
    if (op == QStringLiteral("大于等于"))
        return field + QStringLiteral(">=") + db::quoteText(value);
    if (op == QStringLiteral("小于等于"))
        return field + QStringLiteral("<=") + db::quoteText(value);
    throw ConditionError(invalidCondition(row));
}

}  // namespace

QString conditionSQL(const QString& field, const QString& fieldType, const QString& op,
                     const QString& value, int row) {
    if (!isColumnName(field)) throw ConditionError(invalidCondition(row));
    if (comparesValue(fieldType, op) && db::holdsControlCharacter(value))
        throw ConditionError(controlCharacterRefusal(row));
    const QString type = fieldType.trimmed();
    if (type == QLatin1String("2")) return textCondition(field, op, value, row);
    // Number and date conditions write the SQL operator of the shown one, so
    // a stored SQL text never reaches the statement.
    const OperatorFamily& family = operatorFamily(type);
    const int at = family.display.indexOf(op);
    if (at < 0) throw ConditionError(invalidCondition(row));
    if (type == QLatin1String("1")) return field + u' ' + family.sql[at] + numberText(value, row);
    return field + family.sql[at] + dateLiteral(value, row);
}

QString buildSeekSQL(const ConditionGrid& grid) {
    QString seek;
    const int last = grid.lastDataRow();
    for (int row = 0; row <= last; ++row) {
        if (!grid.isRowComplete(row)) continue;
        if (seek.isEmpty()) {
            seek = QStringLiteral(" and ( ");
        } else if (grid.cell(row, ConditionGrid::Connector)
                       .trimmed()
                       .compare(QStringLiteral("与"), Qt::CaseInsensitive) == 0) {
            seek += QStringLiteral(" and ");
        } else {
            seek += QStringLiteral(" or ");
        }
        seek += conditionSQL(grid.cell(row, ConditionGrid::FieldName).trimmed(),
                             grid.cell(row, ConditionGrid::FieldType),
                             grid.cell(row, ConditionGrid::Operator),
                             grid.cell(row, ConditionGrid::Value), row + 1);
    }
    return seek;
}

QString buildOrderSQL(const SortGrid& grid) {
    QString order;
    for (int row = 0; row < SortGrid::kRows; ++row) {
        if (grid.cell(row, SortGrid::Title).isEmpty()) continue;
        const QString field = grid.cell(row, SortGrid::FieldName).trimmed();
        if (!isColumnName(field)) {
            throw ConditionError(QStringLiteral("第%1行排序字段无效,请重新选择!").arg(row + 1));
        }
        order += order.isEmpty() ? QStringLiteral(" order by  ") : QStringLiteral(",");
        order += field;
        if (grid.cell(row, SortGrid::Ascending).trimmed() == QLatin1String("0")) {
            order += QStringLiteral(" desc");
        }
    }
    return order;
}

}  // namespace otherin::query
