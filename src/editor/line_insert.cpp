#include "editor/line_insert.h"

#include <QStringList>

#include "db/connection.h"

namespace otherin::editor {

namespace {

QString insertText(const std::vector<StoredColumn>& columns) {
    QStringList names{QStringLiteral("finterid"), QStringLiteral("forderid"),
                      QStringLiteral("fentryid")};
    for (const StoredColumn& s : columns) names << s.fieldName;
    QStringList marks;
    for (qsizetype i = 0; i < names.size(); ++i) marks << QStringLiteral("?");
    return QStringLiteral("insert into icstockbillentry(%1) values(%2)")
        .arg(names.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
}

}  // namespace

LineInserter::LineInserter(db::Connection& connection, const BillForm& form, bool redBill)
    : form_(form),
      columns_(storedColumns(form)),
      redBill_(redBill),
      query_(connection.prepare(insertText(columns_))) {}

void LineInserter::insert(qint32 interId, int orderId, int entryId, int r) {
    query_.bind(interId).bind(orderId).bind(entryId);
    for (const StoredColumn& s : columns_) query_.bind(storedValue(form_, s.column, r, redBill_));
    query_.exec();
}

}  // namespace otherin::editor
