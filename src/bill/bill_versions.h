#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

namespace otherin::db {
class Connection;
class Dialect;
}  // namespace otherin::db

namespace otherin::bill {

// Every write to a bill or its lines advances the bill's version once, in the
// statement that writes its header, and records who wrote it and when by the
// database's clock. A write that starts from what a clerk saw names the
// version seen; when the bill moved on meanwhile the write is refused and the
// clerk told who changed (or deleted) it, so nothing is overwritten blindly.

// The assignments that advance the version, for an update of icstockbill:
// "fversion=fversion+1,fmodifierid=?,fmodifytime=<now>"; binds the user id.
QString versionAdvance(const db::Dialect& dialect);

// Who wrote bill `interId` last, or who deleted it.
struct LastWrite {
    bool deleted = false;
    QString billNo;
    QString userName;  // empty when not known (written before versions were kept)
    QDateTime at;      // local time; invalid when not known
    int version = 0;   // the stored bill's version; 0 for a deleted one
    int status = 0;    // fstatus: 1 or more audited
    bool voided = false;
};
// None when the bill is neither stored nor recorded as deleted.
std::optional<LastWrite> lastWrite(db::Connection& connection, qint32 interId);

// "已被 张三 于 2026-12-07 10:21 修改" / "… 删除"; "已被他人修改" when nobody is
// known; "已被删除" for a bill that left no record.
// `verb` names what was done to a stored bill ("审核"); by default "修改".
QString movedPhrase(const std::optional<LastWrite>& write, const QString& verb = {});

// The refusal of a save: "单据已被 张三 于 2026-12-07 10:21 修改，不能保存".
QString movedSaveText(const std::optional<LastWrite>& write);

// Records the deletion of bills (id, number) by `userId` inside the
// deleting transaction.
void recordDeletion(db::Connection& connection, qint32 interId, const QString& billNo,
                    int billTypeId, qint64 userId);

// A moment as read from a timestamp column, in local time.
QDateTime readMoment(const QVariant& value);

}  // namespace otherin::bill
