#include "stock/stock_ledger.h"

#include "db/connection.h"
#include "stock/id_list.h"

namespace otherin::stock {

namespace {

// The ledger key of a bill line: the bill's warehouse with the line's item,
// unit, batch and stock place. Null batches and stock places count as '' and 0.
const QString kLineKey = QStringLiteral(
    "a.fstockid1,b.fitemid,b.funitid,coalesce(b.fbatchno,''),coalesce(b.fstockplace,0)");
const QString kLedgerKey = QStringLiteral("fstockid,fitemid,funitid,fbatchno,fStockPlace");

// The lines of the selected bills summed per ledger key, signed for the
// direction, under the ledger's column names. Every sum is rounded to the
// ledger's decimal scale, as each single addition would be.
QString summedLines(const db::Dialect& dialect, const QString& billCondition,
                    PostDirection direction) {
    const QString sign = direction == PostDirection::Add ? QString() : QStringLiteral("0-");
    return QStringLiteral(
               "select a.fstockid1 as fstockid,b.fitemid as fitemid,b.funitid as funitid,"
               "coalesce(b.fbatchno,'') as fbatchno,coalesce(b.fstockplace,0) as fStockPlace,"
               "%1 as fqty,%2 as famount from icstockbill as a inner join icstockbillentry as b"
               " on a.finterid=b.finterid where %3 group by %4 order by %4")
        .arg(dialect.decimal(sign + QStringLiteral("sum(b.fqty)")),
             dialect.decimal(sign + QStringLiteral("sum(b.famount)")), billCondition, kLineKey);
}

// One statement posts the whole selection: each key's sum is added to the
// key's row, or inserted as a new row. The end state is the one that posting
// line after line gives, and each ledger row is written once however many
// lines share its key. The ledger key is unique in the schema, which the
// conflict clause relies on. Rows are written in key order, so two postings
// that share ledger rows lock them in the same order and never deadlock.
QString postingStatement(const db::Dialect& dialect, const QString& billCondition,
                         PostDirection direction) {
    const QString source = summedLines(dialect, billCondition, direction);
    return QStringLiteral(
               "insert into tblTimeStock(%1,fqty,famount) %2 on conflict(%1) do update set"
               " fqty=%3,famount=%4")
        .arg(kLedgerKey, source, dialect.decimal(QStringLiteral("tblTimeStock.fqty+excluded.fqty")),
             dialect.decimal(QStringLiteral("tblTimeStock.famount+excluded.famount")));
}

}  // namespace

void postToTimeStock(db::Connection& connection, qint32 interId, PostDirection direction) {
    connection.exec(
        postingStatement(connection.dialect(), QStringLiteral("a.finterid=?"), direction),
        {interId});
}

void postToTimeStock(db::Connection& connection, const QList<qint32>& interIds,
                     PostDirection direction) {
    if (interIds.isEmpty()) return;
    // Parsed ids, re-formatted as digits: a long list stays one statement
    // instead of running into the databases' limits on bound values.
    connection.exec(postingStatement(connection.dialect(),
                                     QStringLiteral("a.finterid in (%1)").arg(sqlIdList(interIds)),
                                     direction));
}

void postToTimeStock(db::Connection& connection, const QString& idList, PostDirection direction) {
    postToTimeStock(connection, parseIdList(idList), direction);
}

void removeZeroStockRows(db::Connection& connection) {
    connection.exec(QStringLiteral("delete from tblTimeStock where fqty=0"));
}

}  // namespace otherin::stock
