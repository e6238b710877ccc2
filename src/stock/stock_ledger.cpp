#include "stock/stock_ledger.h"

#include <vector>

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

struct LedgerKey {
    QVariant warehouse, item, unit, batch, place;
};

// The empty rows among the keys of the selected bills' lines: the lines lead,
// and each one finds its row through the ledger's unique key index, so the
// ledger is never scanned. The rows are deleted on their full key, and only
// while still empty.
void removeEmptyRows(db::Connection& connection, const QString& billCondition,
                     const QVariantList& values) {
    std::vector<LedgerKey> keys;
    {
        db::Query q = connection.prepare(
            QStringLiteral(
                "select distinct t.fstockid,t.fitemid,t.funitid,t.fbatchno,t.fStockPlace from"
                " icstockbill as a inner join icstockbillentry as b on a.finterid=b.finterid"
                " inner join tblTimeStock as t on t.fstockid=a.fstockid1 and t.fitemid=b.fitemid"
                " and t.funitid=b.funitid and t.fbatchno=coalesce(b.fbatchno,'') and"
                " t.fStockPlace=coalesce(b.fstockplace,0) where %1 and t.fqty=0 and t.famount=0")
                .arg(billCondition));
        for (const QVariant& v : values) q.bind(v);
        q.exec();
        while (q.next()) {
            keys.push_back({q.value(0), q.value(1), q.value(2), q.value(3), q.value(4)});
        }
    }
    for (const LedgerKey& k : keys) {
        connection.exec(QStringLiteral("delete from tblTimeStock where fstockid=? and fitemid=? and"
                                       " funitid=? and fbatchno=? and fStockPlace=? and fqty=0"
                                       " and famount=0"),
                        {k.warehouse, k.item, k.unit, k.batch, k.place});
    }
}

// The marker moves with the ledger: a bill is posted once, taken off once.
// On a server the owner's function does both, the clerks having no write on
// the ledger or the marker; in a database file the module does.
void post(db::Connection& connection, const IdSelection& bills, PostDirection direction) {
    const bool add = direction == PostDirection::Add;
    if (connection.dialect().isServer()) {
        connection.exec(QStringLiteral("select otherin_post(array[%1]::integer[],%2)")
                            .arg(bills.list, add ? QStringLiteral("1") : QStringLiteral("-1")),
                        bills.values);
        return;
    }
    const QString chosen = QStringLiteral("a.finterid in (%1) and a.fstockposted=%2")
                               .arg(bills.list, add ? QStringLiteral("0") : QStringLiteral("1"));
    connection.exec(postingStatement(connection.dialect(), chosen, direction), bills.values);
    connection.exec(
        QStringLiteral("update icstockbill set fstockposted=%1 where finterid in (%2) and"
                       " fstockposted=%3")
            .arg(add ? QStringLiteral("1") : QStringLiteral("0"), bills.list,
                 add ? QStringLiteral("0") : QStringLiteral("1")),
        bills.values);
}

void clean(db::Connection& connection, const IdSelection& bills) {
    if (connection.dialect().isServer()) {
        connection.exec(
            QStringLiteral("select otherin_clean_ledger(array[%1]::integer[])").arg(bills.list),
            bills.values);
        return;
    }
    removeEmptyRows(connection, QStringLiteral("a.finterid in (%1)").arg(bills.list), bills.values);
}

}  // namespace

void postToTimeStock(db::Connection& connection, qint32 interId, PostDirection direction) {
    postToTimeStock(connection, QList<qint32>{interId}, direction);
}

void postToTimeStock(db::Connection& connection, const QList<qint32>& interIds,
                     PostDirection direction) {
    if (interIds.isEmpty()) return;
    post(connection, idSelection(interIds), direction);
}

void postToTimeStock(db::Connection& connection, const QString& idList, PostDirection direction) {
    postToTimeStock(connection, parseIdList(idList), direction);
}

void removeZeroStockRows(db::Connection& connection, const QList<qint32>& interIds) {
    if (interIds.isEmpty()) return;
    clean(connection, idSelection(interIds));
}

void removeZeroStockRows(db::Connection& connection, qint32 interId) {
    removeZeroStockRows(connection, QList<qint32>{interId});
}

void postAndClean(db::Connection& connection, qint32 interId, PostDirection direction) {
    if (!connection.dialect().isServer()) {
        postToTimeStock(connection, interId, direction);
        removeZeroStockRows(connection, interId);
        return;
    }
    // The posting is a query of its own that the clean-up reads: it has run
    // in full before the clean-up starts.
    connection.exec(QStringLiteral("with posted as (select otherin_post(array[?]::integer[],%1)) "
                                   "select otherin_clean_ledger(array[?]::integer[]) from posted")
                        .arg(direction == PostDirection::Add ? 1 : -1),
                    {interId, interId});
}

}  // namespace otherin::stock
