#include "db/upgrade_bill_print.h"

#include "db/connection.h"
#include "db/query.h"
#include "db/schema.h"

namespace otherin::db::schema {

void upgradeBillPrint(Connection& connection) {
    Query q = connection.prepare(QStringLiteral(
        "select fcontent from tblBillPrint where ftypeid=7 and fFileName='QTRK.html'"));
    q.exec();
    if (!q.next()) return;
    const QByteArray stored = q.value(0).toByteArray();
    if (QString::fromUtf8(stored).trimmed() != firstBillPrintTemplate().trimmed()) return;
    connection.exec(QStringLiteral("update tblBillPrint set fcontent=? where ftypeid=7 and "
                                   "fFileName='QTRK.html'"),
                    {billPrintTemplate().toUtf8()});
}

}  // namespace otherin::db::schema
