#include "bill/bill_states.h"

#include "db/connection.h"
#include "entry/login_context.h"
#include "stock/id_list.h"

namespace otherin::bill {

namespace {
QDate toDate(const QVariant& v) {
    if (v.typeId() == QMetaType::QDate) return v.toDate();
    if (v.typeId() == QMetaType::QDateTime) return v.toDateTime().date();
    return QDate::fromString(v.toString().left(10), Qt::ISODate);
}
}  // namespace

std::vector<BillState> readBillStates(db::Connection& connection, const QList<qint32>& ids) {
    std::vector<BillState> bills;
    if (ids.isEmpty()) return bills;
    // The ids are parsed integers, re-formatted: nothing typed reaches the text.
    // The states decide the operation's writes, so on a server the rows stay
    // locked until its end; locking in id order keeps two clerks working on
    // overlapping selections from waiting on each other in a circle.
    db::Query q = connection.prepare(
        QStringLiteral(
            "select finterid,fbillno,fdate,coalesce(fstatus,0),coalesce(fcancellation,0),"
            "coalesce(fposted,0),coalesce(frscinterid,0),coalesce(fhxid,0),"
            "coalesce(fOperator,0),fversion from icstockbill where finterid in (%1) order by "
            "finterid")
            .arg(stock::sqlIdList(ids)) +
        connection.dialect().forUpdate());
    q.exec();
    while (q.next()) {
        BillState b;
        b.interId = q.value(0).toInt();
        b.billNo = q.value(1).toString();
        b.date = toDate(q.value(2));
        b.status = q.value(3).toInt();
        const QVariant cancelled = q.value(4);
        b.cancelled =
            cancelled.toString().compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0 ||
            cancelled.toInt() != 0;
        b.posted = q.value(5).toInt();
        b.sourceId = q.value(6).toInt();
        b.writeOffId = q.value(7).toInt();
        b.operatorId = q.value(8).toString();
        b.version = q.value(9).toInt();
        bills.push_back(b);
    }
    return bills;
}

bool beforeCurrentPeriod(const entry::LoginContext& ctx, const QDate& date) {
    const QDate start = toDate(ctx.gPeriodStartDate);
    return start.isValid() && date.isValid() && date < start;
}

std::optional<int> periodYearOf(entry::LoginContext& ctx, const QDate& date) {
    entry::ConnectionScope scope(ctx);
    db::Query q = ctx.gConnection.prepare(
        QStringLiteral("select fYear from tblPeriod where fTypeid=2 and fStartDate<=? and "
                       "fEndDate>?"));
    q.bind(date).bind(date).exec();
    if (!q.next()) return std::nullopt;
    return q.value(0).toInt();
}

QString billRefusal(const BillState& bill, const QString& tail) {
    return QStringLiteral("编号为:") + bill.billNo + tail;
}

}  // namespace otherin::bill
