#include "bill/bill_versions.h"

#include "db/connection.h"

namespace otherin::bill {

QString versionAdvance(const db::Dialect& dialect) {
    return QStringLiteral("fversion=fversion+1,fmodifierid=?,fmodifytime=") + dialect.now();
}

QDateTime readMoment(const QVariant& value) {
    QDateTime at = value.typeId() == QMetaType::QDateTime
                       ? value.toDateTime()
                       : QDateTime::fromString(value.toString().trimmed(), Qt::ISODate);
    return at.isValid() ? at.toLocalTime() : QDateTime();
}

std::optional<LastWrite> lastWrite(db::Connection& connection, qint32 interId) {
    {
        db::Query q = connection.prepare(QStringLiteral(
            "select a.fbillno,coalesce(u.fname,''),a.fmodifytime,a.fversion,a.fstatus,"
            "a.fcancellation from "
            "icstockbill a left outer join tblUser u on u.fuserid=a.fmodifierid "
            "where a.finterid=?"));
        q.bind(interId).exec();
        if (q.next())
            return LastWrite{false,
                             q.value(0).toString(),
                             q.value(1).toString(),
                             readMoment(q.value(2)),
                             q.value(3).toInt(),
                             q.value(4).toInt(),
                             q.value(5).toInt() == 1};
    }
    db::Query q = connection.prepare(
        QStringLiteral("select d.fbillno,coalesce(u.fname,''),d.fdeletetime from tblBillDeleted d "
                       "left outer join tblUser u on u.fuserid=d.fuserid where d.finterid=?"));
    q.bind(interId).exec();
    if (!q.next()) return std::nullopt;
    return LastWrite{true, q.value(0).toString(), q.value(1).toString(), readMoment(q.value(2))};
}

QString movedPhrase(const std::optional<LastWrite>& write, const QString& done) {
    if (!write) return QStringLiteral("已被删除");
    const QString verb = write->deleted   ? QStringLiteral("删除")
                         : done.isEmpty() ? QStringLiteral("修改")
                                          : done;
    if (write->userName.isEmpty() && !write->at.isValid()) return QStringLiteral("已被他人") + verb;
    QString who = QStringLiteral("已被 ") +
                  (write->userName.isEmpty() ? QStringLiteral("他人") : write->userName);
    if (write->at.isValid())
        who += QStringLiteral(" 于 ") + write->at.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    return who + QLatin1Char(' ') + verb;
}

QString movedSaveText(const std::optional<LastWrite>& write) {
    return QStringLiteral("单据") + movedPhrase(write) + QStringLiteral("，不能保存");
}

void recordDeletion(db::Connection& connection, qint32 interId, const QString& billNo,
                    int billTypeId, qint64 userId) {
    // Ids are never issued twice; a record left by another program's copy
    // of the same id gives way to this one.
    connection.exec(QStringLiteral("delete from tblBillDeleted where finterid=?"), {interId});
    connection.exec(QStringLiteral("insert into tblBillDeleted(finterid,fbillno,ftrantype,fuserid,"
                                   "fdeletetime) values(?,?,?,?,") +
                        connection.dialect().now() + QLatin1Char(')'),
                    {interId, billNo, billTypeId, userId});
}

}  // namespace otherin::bill
