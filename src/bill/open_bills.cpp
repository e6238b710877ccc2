#include "bill/open_bills.h"

#include <QCoreApplication>

#include "bill/bill_versions.h"
#include "db/connection.h"
#include "db/transaction.h"

namespace otherin::bill {

namespace {

// The connection a row lives on: the server's process for it, or this
// program's process on the embedded file (shown only).
qint64 connectionId(const db::Connection& c) {
    return c.dialect().isServer() ? c.serverProcessId() : QCoreApplication::applicationPid();
}

QString liveCondition(const db::Connection& c) {
    if (c.dialect().isServer()) {
        // The server's process may have been reused by a later connection:
        // only one that began before the row's last sign of life counts. A
        // clerk's own login is not shown when another login's connection
        // began: then the row counts while its process lives and its sign of
        // life is recent.
        return QStringLiteral(
                   " and exists (select 1 from pg_stat_activity s where s.pid=o.fconnection "
                   "and (s.backend_start<=o.fseen or (s.backend_start is null and "
                   "o.fseen>now()-interval '%1 seconds')))")
            .arg(OpenBills::kLifeSeconds);
    }
    return QStringLiteral(" and o.fseen>strftime('%Y-%m-%dT%H:%M:%SZ','now','-%1 seconds')")
        .arg(OpenBills::kLifeSeconds);
}

}  // namespace

QList<OpenBills::Holder> OpenBills::others(db::Connection& c, qint32 interId) const {
    db::Query q = c.prepare(
        QStringLiteral("select coalesce(u.fname,''),o.fsince from tblBillOpen o left outer join "
                       "tblUser u on u.fuserid=o.fuserid where o.finterid=? and o.fsession<>?") +
        liveCondition(c) + QStringLiteral(" order by o.fsince"));
    q.bind(interId).bind(session_).exec();
    QList<Holder> holders;
    while (q.next()) holders.append({q.value(0).toString(), readMoment(q.value(1))});
    return holders;
}

namespace {

// Who has a bill open is a courtesy that lives as long as its program: a row
// lost with a power cut is missed by no one, so its writes do not wait for the
// disk. On the server the statement turns the wait off for its own
// transaction (`quiet` is a one-row source the statement must read); on the
// embedded file a write transaction whose commit is synced later.
const QString kQuietSource = QStringLiteral(
    "with quiet as (select set_config('synchronous_commit','off',true) as setting) ");

void writeQuietly(db::Connection& c, const QString& serverSql, const QString& fileSql,
                  const QVariantList& values) {
    if (c.dialect().isServer() && c.transactionDepth() == 0) {
        c.exec(kQuietSource + serverSql, values);
        return;
    }
    db::TransactionGuard tx(c, db::TransactionGuard::Sync::WithNextCommit);
    c.exec(fileSql, values);
    tx.commit();
}

}  // namespace

void OpenBills::open(db::Connection& c, qint32 interId, qint64 userId) const {
    // One statement: the session's row is made or moved to the bill.
    const QString conflict = QStringLiteral(
        " on conflict(fsession) do update set finterid=excluded.finterid,"
        "fuserid=excluded.fuserid,fconnection=excluded.fconnection,fsince=excluded.fsince,"
        "fseen=excluded.fseen");
    const QString into = QStringLiteral(
        "insert into tblBillOpen(fsession,finterid,fuserid,fconnection,fsince,fseen) ");
    const QVariantList values{session_, interId, userId, connectionId(c)};
    if (c.dialect().isServer()) {
        // The row names the login's own user, the only one whose rows it may
        // write (a save that holds its bill must not fail for a row that is
        // only a courtesy); `userId` for a login that is no module user.
        const QString row = QStringLiteral(
            "select ?,?,coalesce((select fuserid from tblUser where frolename=session_user),?),"
            "?,now(),now()");
        writeQuietly(c, into + row + QStringLiteral(" from quiet") + conflict,
                     into + row + conflict, values);
        return;
    }
    writeQuietly(c, {},
                 into + QStringLiteral("values(?,?,?,?,%1,%1)").arg(c.dialect().now()) + conflict,
                 values);
}

void OpenBills::close(db::Connection& c) const {
    const QString sql = QStringLiteral("delete from tblBillOpen where fsession=?");
    writeQuietly(c, sql + QStringLiteral(" and exists (select 1 from quiet)"), sql, {session_});
}

void OpenBills::renew(db::Connection& c) const {
    const QString sql = QStringLiteral("update tblBillOpen set fconnection=?,fseen=") +
                        c.dialect().now() + QStringLiteral(" where fsession=?");
    writeQuietly(c, sql + QStringLiteral(" and exists (select 1 from quiet)"), sql,
                 {connectionId(c), session_});
}

QString beingChangedText(const QList<OpenBills::Holder>& holders) {
    QStringList names;
    for (const OpenBills::Holder& h : holders) {
        QString name = h.userName.isEmpty() ? QStringLiteral("另一位用户") : h.userName;
        if (h.since.isValid())
            name += QStringLiteral(" 正在修改此单据（自 %1）").arg(h.since.toString("HH:mm"));
        else
            name += QStringLiteral(" 正在修改此单据");
        names << name;
    }
    return names.join(QStringLiteral("、"));
}

}  // namespace otherin::bill
