#include "stock/bill_numbering.h"

#include <limits>

#include "db/connection.h"
#include "db/transaction.h"
#include "db/upgrade_bill_number_index.h"
#include "entry/error_report.h"
#include "entry/login_context.h"
#include "entry/prompter.h"
#include "stock/stock_ledger.h"

namespace otherin::stock {

namespace {

const QString kBillTable = QStringLiteral("ICStockBill");
const QString kDefaultPrefix = QStringLiteral("BIn");
const QString kFirstDefaultNumber = QStringLiteral("BIn0000001");
const QString kDuplicateNumber = QStringLiteral("单据编号不能重复!");

// Counters are 32-bit; the database would go on counting past that, so a
// value that no longer fits stops the issue instead of wrapping.
qint32 counterValue(const QVariant& stored, const QString& counterName) {
    const qlonglong value = stored.toLongLong();
    if (value > std::numeric_limits<qint32>::max()) {
        throw db::DbError(QStringLiteral("%1 已达上限 %2,不能再编号")
                              .arg(counterName)
                              .arg(std::numeric_limits<qint32>::max()));
    }
    return static_cast<qint32>(value);
}

qint32 billCounterValue(const QVariant& stored) {
    return counterValue(stored, QStringLiteral("单据编号计数器"));
}

// A freed number still worth offering: not blank and carried by no bill of
// its type (a changed bill may have taken it since it was freed).
const QString kUsableFreed = QStringLiteral(
    "trim(fbillnumber)<>'' and not exists (select 1 from icstockbill b where "
    "b.ftrantype=tblBillNoAdd.fTypeId and b.fbillno=tblBillNoAdd.fbillnumber)");

// The oldest usable freed number of the type, if any.
std::optional<QString> oldestFreedNumber(db::Connection& connection, int billTypeId) {
    // Inside a save the number is taken: on the server a freed number that
    // another clerk's save holds is passed over rather than waited for.
    const QString lock = connection.transactionDepth() > 0 && connection.dialect().isServer()
                             ? QStringLiteral(" for update skip locked")
                             : QString();
    db::Query q = connection.prepare(
        connection.dialect().limitRows(
            QStringLiteral("fbillnumber from tblBillNoAdd where fTypeId=? and ") + kUsableFreed +
                QStringLiteral(" order by finterid"),
            1) +
        lock);
    q.bind(billTypeId).exec();
    if (!q.next()) return std::nullopt;
    return q.value(0).toString();
}

// Drops the freed numbers of the type that can no longer be issued, then
// takes the oldest of the rest. On a server the counters and freed numbers
// are written through the database's numbering functions only.
std::optional<QString> takeFreedNumber(db::Connection& connection, int billTypeId) {
    if (connection.dialect().isServer()) {
        const QVariant number =
            connection.scalar(QStringLiteral("select otherin_take_freed(?)"), {billTypeId});
        if (number.isNull()) return std::nullopt;
        return number.toString();
    }
    connection.exec(QStringLiteral("delete from tblBillNoAdd where fTypeId=? and not (") +
                        kUsableFreed + QLatin1Char(')'),
                    {billTypeId});
    return oldestFreedNumber(connection, billTypeId);
}

void forgetFreedNumber(db::Connection& connection, int billTypeId, const QString& number) {
    if (connection.dialect().isServer()) {
        connection.exec(QStringLiteral("select otherin_forget_freed(?, ?)"), {billTypeId, number});
        return;
    }
    connection.exec(QStringLiteral("delete from tblBillNoAdd where fTypeId=? and fbillnumber=?"),
                    {billTypeId, number});
}

struct CounterStep {
    qint32 counter = 0;
    QString prefix;
    int digits = 0;
    bool created = false;  // the type had no counter row: this step made it at 1
};

// Advances the type's number counter by one, atomically under the write lock
// of the open transaction.
CounterStep advanceCounter(db::Connection& c, int billTypeId) {
    if (c.dialect().isServer()) {
        db::Query q = c.prepare(QStringLiteral(
            "select counter, prefix, digits, created from otherin_advance_counter(?, ?)"));
        q.bind(billTypeId).bind(kDefaultPrefix).exec();
        if (!q.next()) throw db::DbError(QStringLiteral("单据编号计数器读取失败"));
        return {billCounterValue(q.value(0)), q.value(1).toString(), q.value(2).toInt(),
                q.value(3).toBool()};
    }
    // One statement advances the counter and reads the value it gave: a second
    // clerk's advance waits for this transaction and then reads past it.
    db::Query q =
        c.prepare(QStringLiteral("update tblMaxBillNo set fbillno=fbillno+1 where ftypeid=? "
                                 "returning fbillno,fPreLetter,coalesce(flength,6)"));
    q.bind(billTypeId).exec();
    if (q.next()) {
        return {billCounterValue(q.value(0)), q.value(1).toString(), q.value(2).toInt(), false};
    }
    // The type's first number: a clerk who creates the row at the same moment
    // turns this insert into the advance it would have been.
    db::Query first = c.prepare(QStringLiteral(
        "insert into tblMaxBillNo(ftypeid,fbillno,fPreLetter) values(?,1,?) on conflict"
        "(ftypeid) do update set fbillno=tblMaxBillNo.fbillno+1 "
        "returning fbillno,fPreLetter,coalesce(flength,6)"));
    first.bind(billTypeId).bind(kDefaultPrefix).exec();
    if (!first.next()) throw db::DbError(QStringLiteral("单据编号计数器读取失败"));
    const qint32 counter = billCounterValue(first.value(0));
    return {counter, first.value(1).toString(), first.value(2).toInt(), counter == 1};
}

// Advances the counter until it gives a number no bill of the type carries:
// numbers typed ahead of the counter are passed over, not issued twice.
// `digits` empty: the type's own digit count.
QString counterNumber(db::Connection& c, int billTypeId, std::optional<int> digits) {
    for (;;) {
        const CounterStep step = advanceCounter(c, billTypeId);
        const QString number = step.created ? kFirstDefaultNumber
                                            : formatBillNumber(step.prefix, step.counter,
                                                               digits.value_or(step.digits));
        if (!billNumberTakenInType(c, billTypeId, number)) return number;
    }
}

}  // namespace

DuplicateBillNumber::DuplicateBillNumber() : db::DbError(kDuplicateNumber) {}

bool isBillNumberClash(const db::DbError& error) {
    const QString& m = error.detail().isEmpty() ? error.message() : error.detail();
    // SQLite names the columns of the refused key, the servers the index.
    return m.contains(QLatin1String(db::schema::kBillNumberIndex), Qt::CaseInsensitive) ||
           (m.contains(QLatin1String("unique"), Qt::CaseInsensitive) &&
            m.contains(QLatin1String("icstockbill.fbillno"), Qt::CaseInsensitive));
}

QString formatBillNumber(const QString& prefix, qint32 counter, int digits) {
    const QString text = QString::number(counter);
    const qsizetype zeros = digits - text.size();
    return prefix + QString(zeros > 0 ? zeros : 0, QLatin1Char('0')) + text;
}

QString previewBillNumber(entry::LoginContext& ctx, entry::Prompter& prompter, int billTypeId) {
    try {
        entry::ConnectionScope scope(ctx);
        db::Connection& c = ctx.gConnection;
        QString preview;
        db::Query q = c.prepare(
            QStringLiteral("select fbillno,fPreLetter,flength from tblMaxBillNo where ftypeid=?"));
        q.bind(billTypeId).exec();
        if (q.next()) {
            ctx.gBillLength = q.value(2).toInt();
            const QString prefix = q.value(1).toString();
            qlonglong next = q.value(0).toLongLong() + 1;
            for (;; ++next) {
                preview = formatBillNumber(prefix, billCounterValue(next), ctx.gBillLength);
                if (!billNumberTakenInType(c, billTypeId, preview)) break;
            }
        }
        // Freed numbers are those of the module's own bill type.
        if (ctx.gIsAddDelNumber == 1) {
            if (const auto freed = oldestFreedNumber(c, ctx.gBillTypeId)) preview = *freed;
        }
        return preview;
    } catch (const db::DbError& e) {
        entry::reportError(ctx, prompter, e.message());
        return QString();
    }
}

bool billNumberIsFree(db::Connection& connection, const QString& number) {
    return connection
               .scalar(QStringLiteral("select count(finterid) from icstockbill where fbillno=?"),
                       {number})
               .toInt() == 0;
}

bool billNumberTakenInType(db::Connection& connection, int billTypeId, const QString& number) {
    // Worded as the unique index's condition, so the index answers it.
    return connection
        .scalar(connection.dialect().limitRows(
                    QStringLiteral("1 from icstockbill where ftrantype=? and fbillno=? and "
                                   "fbillno<>''"),
                    1),
                {billTypeId, number})
        .isValid();
}

qint32 nextInternalId(db::Connection& connection, const QString& tableName) {
    // Taken on its own before a save, the id needs no disk sync of its own:
    // the save's commit carries it to the disk, and an id lost with a power
    // cut before that was used by no bill.
    if (connection.dialect().isServer() && connection.transactionDepth() == 0) {
        // One statement, a transaction of its own whose commit need not wait
        // for the disk either.
        return counterValue(
            connection.scalar(QStringLiteral("select otherin_next_id(?), "
                                             "set_config('synchronous_commit', 'off', true)"),
                              {tableName}),
            QStringLiteral("内码计数器 %1").arg(tableName));
    }
    db::TransactionGuard tx(connection, db::TransactionGuard::Sync::WithNextCommit);
    if (connection.dialect().isServer()) {
        const qint32 id = counterValue(
            connection.scalar(QStringLiteral("select otherin_next_id(?)"), {tableName}),
            QStringLiteral("内码计数器 %1").arg(tableName));
        tx.commit();
        return id;
    }
    // Advanced and read in one statement (see advanceNumberCounter). The name
    // is stored in either case, so it is compared without regard to case.
    QVariant value = connection.scalar(
        QStringLiteral("update tblmaxNum set fmaxnum=fmaxnum+1 where lower(ftablename)=lower(?) "
                       "returning fmaxnum"),
        {tableName});
    if (!value.isValid()) {
        // The first id: a clerk who creates the row at the same moment turns
        // this insert into an advance.
        value = connection.scalar(
            QStringLiteral(
                "insert into tblmaxNum(ftablename,fmaxnum) values(?,1) on conflict"
                "(ftablename) do update set fmaxnum=tblmaxNum.fmaxnum+1 returning fmaxnum"),
            {tableName});
    }
    const qint32 id = counterValue(value, QStringLiteral("内码计数器 %1").arg(tableName));
    tx.commit();
    return id;
}

std::optional<qint32> issueBillId(entry::LoginContext& ctx, entry::Prompter& prompter,
                                  const QString& typedNumber) {
    entry::openConnection(ctx);
    if (ctx.gConnection.transactionDepth() > 0) {
        throw db::DbError(QStringLiteral("单据内码须在保存事务开始之前取得"));
    }
    if (ctx.gIsUpdateBillNo == 1 && !billNumberIsFree(ctx.gConnection, typedNumber.trimmed())) {
        prompter.message(kDuplicateNumber, entry::Icon::Critical, ctx.msgTitle);
        entry::closeConnection(ctx);
        return std::nullopt;
    }
    return nextInternalId(ctx.gConnection, kBillTable);
}

QString issueBillNumber(entry::LoginContext& ctx, const QString& typedNumber) {
    db::Connection& c = ctx.gConnection;
    if (c.transactionDepth() == 0) {
        throw db::DbError(QStringLiteral("单据编号须在保存事务之内发放"));
    }
    const int type = ctx.gBillTypeId;
    std::optional<QString> number;
    if (ctx.gIsAddDelNumber == 1) number = takeFreedNumber(c, type);
    if (!number && ctx.gIsUpdateBillNo != 0) {
        advanceCounter(c, type);  // a typed number still moves the counter on
        number = typedNumber.trimmed();
        // The check before the transaction held no lock: a bill saved in
        // between may carry the number by now.
        const bool taken = ctx.gIsUpdateBillNo == 1 ? !billNumberIsFree(c, *number)
                                                    : billNumberTakenInType(c, type, *number);
        if (taken) throw DuplicateBillNumber();
    }
    if (!number) number = counterNumber(c, type, ctx.gBillLength);
    // A number in use is never offered again, whichever way it was issued.
    forgetFreedNumber(c, type, *number);
    return *number;
}

QString numberNewBill(entry::LoginContext& ctx, qint32 interId, const QString& typedNumber,
                      bool post) {
    db::Connection& c = ctx.gConnection;
    if (c.transactionDepth() == 0) {
        throw db::DbError(QStringLiteral("单据编号须在保存事务之内发放"));
    }
    try {
        // The counter's number on a server: one call posts, takes the number
        // and writes both.
        if (c.dialect().isServer() && ctx.gIsAddDelNumber != 1 && ctx.gIsUpdateBillNo == 0) {
            return c
                .scalar(QStringLiteral("select otherin_finish_bill(?, ?, ?, ?, ?)"),
                        {interId, ctx.gBillTypeId, kDefaultPrefix, ctx.gBillLength, post})
                .toString();
        }
        if (post) postAndClean(c, interId, PostDirection::Add);
        const QString number = issueBillNumber(ctx, typedNumber);
        c.exec(QStringLiteral("update icstockbill set fbillno=? where finterid=?"),
               {number, interId});
        return number;
    } catch (const DuplicateBillNumber&) {
        throw;
    } catch (const db::DbError& e) {
        // The checks run in the transaction, but the unique index on (type,
        // number) has the last word: a writer that went round them makes the
        // write fail, and the user hears of the number.
        if (isBillNumberClash(e)) throw DuplicateBillNumber();
        throw;
    }
}

void freeBillNumber(db::Connection& connection, int billTypeId, const QString& number) {
    if (connection.dialect().isServer()) {
        connection.exec(QStringLiteral("select otherin_free_number(?, ?)"), {billTypeId, number});
        return;
    }
    connection.exec(QStringLiteral("insert into tblBillNoAdd(finterid,fTypeId,fbillnumber) select "
                                   "coalesce(max(finterid),0)+1,?,? from tblBillNoAdd"),
                    {billTypeId, number});
}

QString issueCounterNumber(db::Connection& connection, int billTypeId) {
    if (connection.transactionDepth() == 0) {
        throw db::DbError(QStringLiteral("单据编号须在保存事务之内发放"));
    }
    const QString number = counterNumber(connection, billTypeId, std::nullopt);
    forgetFreedNumber(connection, billTypeId, number);
    return number;
}

}  // namespace otherin::stock
