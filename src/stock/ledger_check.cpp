#include "stock/ledger_check.h"

#include "db/connection.h"
#include "db/db_error.h"
#include "db/transaction.h"

namespace otherin::stock {

namespace {

// The bills whose lines are in the ledger while the switch holds.
QString countingBills(int checkUpdateSwitch) {
    switch (checkUpdateSwitch) {
        case 0:
            return QStringLiteral("coalesce(a.fcancellation,0)=0");
        case 1:
            return QStringLiteral("coalesce(a.fstatus,0)>=1");
        default:
            throw db::DbError(QStringLiteral("库存更新方式 gIsCheckUpdate 只能是 0 或 1, 不能是 %1")
                                  .arg(checkUpdateSwitch));
    }
}

// Ledger rows and counting lines side by side, summed per key; only the keys
// whose sides differ at the ledger's scale come back.
QString differencesStatement(const db::Dialect& dialect, int checkUpdateSwitch) {
    const auto rounded = [&dialect](const char* column) {
        return dialect.decimal(QStringLiteral("sum(%1)").arg(QLatin1String(column)));
    };
    return QStringLiteral(
               "select fstockid,fitemid,funitid,fbatchno,fStockPlace,%1,%2,%3,%4 from ("
               "select fstockid,fitemid,funitid,fbatchno,fStockPlace,fqty as lq,famount as la,"
               "0 as bq,0 as ba from tblTimeStock union all "
               "select a.fstockid1,b.fitemid,b.funitid,coalesce(b.fbatchno,''),"
               "coalesce(b.fstockplace,0),0,0,b.fqty,b.famount from icstockbill as a"
               " inner join icstockbillentry as b on a.finterid=b.finterid where %5"
               ") as k group by fstockid,fitemid,funitid,fbatchno,fStockPlace"
               " having %1<>%3 or %2<>%4 order by fstockid,fitemid,funitid,fbatchno,fStockPlace")
        .arg(rounded("lq"), rounded("la"), rounded("bq"), rounded("ba"),
             countingBills(checkUpdateSwitch));
}

}  // namespace

std::vector<LedgerDifference> checkLedger(db::Connection& connection, int checkUpdateSwitch) {
    db::Query q = connection.prepare(differencesStatement(connection.dialect(), checkUpdateSwitch));
    q.exec();
    std::vector<LedgerDifference> differences;
    while (q.next()) {
        differences.push_back(
            {q.value(0).toLongLong(), q.value(1).toLongLong(), q.value(2).toLongLong(),
             q.value(3).toString(), q.value(4).toLongLong(), q.value(5).toDouble(),
             q.value(6).toDouble(), q.value(7).toDouble(), q.value(8).toDouble()});
    }
    return differences;
}

std::vector<MarkerDifference> checkPostedMarkers(db::Connection& connection,
                                                 int checkUpdateSwitch) {
    db::Query q = connection.prepare(
        QStringLiteral("select a.finterid,a.fbillno,a.fstockposted from icstockbill as a where"
                       " a.fstockposted<>case when %1 then 1 else 0 end order by a.finterid")
            .arg(countingBills(checkUpdateSwitch)));
    q.exec();
    std::vector<MarkerDifference> wrong;
    while (q.next())
        wrong.push_back({q.value(0).toInt(), q.value(1).toString(), q.value(2).toInt() == 1});
    return wrong;
}

std::vector<LedgerDifference> repairLedger(db::Connection& connection, int checkUpdateSwitch) {
    db::TransactionGuard tx(connection);
    connection.exec(
        QStringLiteral("update icstockbill set fstockposted=case when %1 then 1 else 0"
                       " end where fstockposted<>case when %1 then 1 else 0 end")
            .arg(countingBills(checkUpdateSwitch).replace(QStringLiteral("a."), QString())));
    const std::vector<LedgerDifference> differences = checkLedger(connection, checkUpdateSwitch);
    for (const LedgerDifference& d : differences) {
        const QVariantList key{d.warehouseId, d.itemId, d.unitId, d.batch, d.place};
        connection.exec(QStringLiteral("delete from tblTimeStock where fstockid=? and fitemid=? and"
                                       " funitid=? and fbatchno=? and fStockPlace=?"),
                        key);
        if (d.billsQty == 0 && d.billsAmount == 0) continue;
        connection.exec(QStringLiteral("insert into tblTimeStock(fstockid,fitemid,funitid,fbatchno,"
                                       "fStockPlace,fqty,famount) values(?,?,?,?,?,?,?)"),
                        key + QVariantList{d.billsQty, d.billsAmount});
    }
    tx.commit();
    return differences;
}

}  // namespace otherin::stock
