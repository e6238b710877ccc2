#include "query/clause_builder.h"

#include <QDate>
#include <QLocale>
#include <QRegularExpression>
#include <cmath>

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

QString numberLiteral(const QString& value, int row) {
    const QString t = value.trimmed();
    if (t.isEmpty()) return QStringLiteral("0");
    static const QRegularExpression decimal(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)$"));
    if (decimal.match(t).hasMatch()) {
        const QLocale c = QLocale::c();
        bool ok = false;
        const qlonglong whole = c.toLongLong(t, &ok);
        if (ok) return QString::number(whole);
        const double d = c.toDouble(t, &ok);
        if (ok && std::isfinite(d)) return QString::number(d, 'f', QLocale::FloatingPointShortest);
    }
    throw ConditionError(
        QStringLiteral("第%1行条件的数值\"%2\"不是有效的数字,请重新输入!").arg(row).arg(value));
}

QString dateLiteral(const QString& value, int row) {
    const QString t = value.trimmed();
    static const QStringList formats{QStringLiteral("yyyy-M-d"), QStringLiteral("yyyy/M/d"),
                                     QStringLiteral("yyyy.M.d"), QStringLiteral("yyyyMMdd")};
    for (const QString& format : formats) {
        const QDate d = QDate::fromString(t, format);
        if (d.isValid()) return db::quoteText(d.toString(QStringLiteral("yyyy-MM-dd")));
    }
    throw ConditionError(
        QStringLiteral("第%1行条件的日期\"%2\"不是有效的日期,请重新输入!").arg(row).arg(value));
}

QString textFragment(const QString& op, const QString& value, int row) {
    if (op == QStringLiteral("包含"))
        return QStringLiteral(" like ") + db::quoteText(u'%' + value + u'%') + u' ';
    if (op == QStringLiteral("不包含"))
        return QStringLiteral(" not like ") + db::quoteText(u'%' + value + u'%') + u' ';
    if (op == QStringLiteral("为空")) return QStringLiteral("  is null ");
    if (op == QStringLiteral("不为空")) return QStringLiteral("  is not null ");
    if (op == QStringLiteral("等于")) return u'=' + db::quoteText(value);
    if (op == QStringLiteral("不等于")) return QStringLiteral("<>") + db::quoteText(value);
    if (op == QStringLiteral("大于等于")) return QStringLiteral(">=") + db::quoteText(value);
    if (op == QStringLiteral("小于等于")) return QStringLiteral("<=") + db::quoteText(value);
    throw ConditionError(invalidCondition(row));
}

}  // namespace

QString conditionFragment(const QString& fieldType, const QString& op, const QString& value,
                          int row) {
    const QString type = fieldType.trimmed();
    if (type == QLatin1String("2")) return textFragment(op, value, row);
    // Number and date conditions write the SQL operator of the shown one, so
    // a stored SQL text never reaches the statement.
    const OperatorFamily& family = operatorFamily(type);
    const int at = family.display.indexOf(op);
    if (at < 0) throw ConditionError(invalidCondition(row));
    if (type == QLatin1String("1")) return u' ' + family.sql[at] + numberLiteral(value, row);
    return family.sql[at] + dateLiteral(value, row);
}

QString buildSeekSQL(const ConditionGrid& grid) {
    QString seek;
    const int last = grid.lastDataRow();
    for (int row = 0; row <= last; ++row) {
        if (!grid.isRowComplete(row)) continue;
        const QString field = grid.cell(row, ConditionGrid::FieldName).trimmed();
        if (!isColumnName(field)) throw ConditionError(invalidCondition(row + 1));
        if (seek.isEmpty()) {
            seek = QStringLiteral(" and ( ");
        } else if (grid.cell(row, ConditionGrid::Connector)
                       .trimmed()
                       .compare(QStringLiteral("与"), Qt::CaseInsensitive) == 0) {
            seek += QStringLiteral(" and ");
        } else {
            seek += QStringLiteral(" or ");
        }
        seek += field;
        seek += conditionFragment(grid.cell(row, ConditionGrid::FieldType),
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
