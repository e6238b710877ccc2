#include "stock/bill_numbering.h"

#include <limits>

#include "db/connection.h"
#include "db/db_error.h"
#include "db/transaction.h"
#include "entry/error_report.h"
#include "entry/login_context.h"
#include "entry/prompter.h"

namespace otherin::stock {

namespace {

const QString kBillTable = QStringLiteral("ICStockBill");
const QString kDefaultPrefix = QStringLiteral("BIn");
const QString kFirstDefaultNumber = QStringLiteral("BIn0000001");

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

// The oldest freed number of the type, if any.
std::optional<QString> oldestFreedNumber(db::Connection& connection, int billTypeId) {
    // Inside a save the number is taken: on the server a freed number that
    // another clerk's save holds is passed over rather than waited for.
    const QString lock = connection.transactionDepth() > 0 && connection.dialect().isServer()
                             ? QStringLiteral(" for update skip locked")
                             : QString();
    db::Query q = connection.prepare(
        connection.dialect().limitRows(QStringLiteral("fbillnumber from tblBillNoAdd where "
                                                      "fTypeId=? order by finterid"),
                                       1) +
        lock);
    q.bind(billTypeId).exec();
    if (!q.next()) return std::nullopt;
    return q.value(0).toString();
}

// Advances the type's number counter and answers the number it gives.
QString advanceNumberCounter(entry::LoginContext& ctx, const QString& typedNumber) {
    db::Connection& c = ctx.gConnection;
    const bool typed = ctx.gIsUpdateBillNo != 0;
    // One statement advances the counter and reads the value it gave: a second
    // clerk's advance waits for this transaction and then reads past it.
    db::Query q = c.prepare(QStringLiteral(
        "update tblMaxBillNo set fbillno=fbillno+1 where ftypeid=? returning fbillno,fPreLetter"));
    q.bind(ctx.gBillTypeId).exec();
    if (!q.next()) {
        // The type's first number: a clerk who creates the row at the same
        // moment turns this insert into the advance it would have been.
        q = c.prepare(QStringLiteral(
            "insert into tblMaxBillNo(ftypeid,fbillno,fPreLetter) values(?,1,?) on conflict"
            "(ftypeid) do update set fbillno=tblMaxBillNo.fbillno+1 returning fbillno,fPreLetter"));
        q.bind(ctx.gBillTypeId).bind(kDefaultPrefix).exec();
        if (!q.next()) throw db::DbError(QStringLiteral("单据编号计数器读取失败"));
        if (q.value(0).toLongLong() == 1) return typed ? typedNumber : kFirstDefaultNumber;
    }
    const qint32 counter = counterValue(q.value(0), QStringLiteral("单据编号计数器"));
    return typed ? typedNumber : formatBillNumber(q.value(1).toString(), counter, ctx.gBillLength);
}

}  // namespace

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
            const qint32 counter =
                counterValue(q.value(0).toLongLong() + 1, QStringLiteral("单据编号计数器"));
            preview = formatBillNumber(q.value(1).toString(), counter, ctx.gBillLength);
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

qint32 nextInternalId(db::Connection& connection, const QString& tableName) {
    db::TransactionGuard tx(connection);
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
        prompter.message(QStringLiteral("单据编号不能重复!"), entry::Icon::Critical, ctx.msgTitle);
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
    std::optional<QString> freed;
    if (ctx.gIsAddDelNumber == 1) freed = oldestFreedNumber(c, ctx.gBillTypeId);
    const QString number = freed ? *freed : advanceNumberCounter(ctx, typedNumber);
    // The check before the transaction holds no lock: a typed number is checked
    // again here, under the write lock, against a bill saved in between.
    if (!freed && ctx.gIsUpdateBillNo == 1 && !billNumberIsFree(c, number.trimmed())) {
        throw db::DbError(QStringLiteral("单据编号不能重复!"));
    }
    // A number in use is never offered again, whichever way it was issued.
    c.exec(QStringLiteral("delete from tblBillNoAdd where fTypeId=? and fbillnumber=?"),
           {ctx.gBillTypeId, number});
    return number;
}

}  // namespace otherin::stock
