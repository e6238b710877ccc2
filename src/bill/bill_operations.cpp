#include "bill/bill_operations.h"

#include <QHash>
#include <algorithm>
#include <functional>
#include <optional>

#include "bill/bill_history.h"
#include "bill/bill_states.h"
#include "bill/bill_versions.h"
#include "db/db_error.h"
#include "db/retry.h"
#include "db/transaction.h"
#include "entry/error_report.h"
#include "entry/login_context.h"
#include "entry/prompter.h"
#include "stock/bill_numbering.h"
#include "stock/id_list.h"
#include "stock/stock_ledger.h"

namespace otherin::bill {

namespace {

using entry::Icon;
using stock::PostDirection;

struct Refusal {
    QString text;
};

// What the user is told once the transaction is over.
struct Shown {
    QString text;
    Icon icon;
};

using BillCheck = std::function<std::optional<Refusal>(const BillState&)>;
using ListCheck = std::function<std::optional<Refusal>(db::Connection&, const QList<qint32>&)>;
// Does the operation's writes; answers how many bills its status change
// touched, so a bill another user changed since the checks is noticed.
using Write =
    std::function<int(db::Connection&, const QList<qint32>&, const std::vector<BillState>&)>;

struct Operation {
    QString name;  // in the change history
    Icon noRowsIcon = Icon::Exclamation;
    BillCheck perBill;
    ListCheck perList;
    Write write;
};

const QString kNoRows = QStringLiteral("数据读取错误！");

std::optional<Refusal> firstRefusal(const Operation& op, const std::vector<BillState>& bills) {
    for (const auto& b : bills) {
        if (auto r = op.perBill(b)) return r;
    }
    return std::nullopt;
}

// Bill-level status updates name the ids and the state they require.
QString whereIds(const QList<qint32>& ids) {
    return QStringLiteral(" where finterid in (%1)").arg(stock::sqlIdList(ids));
}

// The assignments that advance a bill's version, after a comma; the user id
// is their one bound value.
QString advance(const db::Connection& c) {
    return QLatin1Char(',') + versionAdvance(c.dialect());
}

qint64 userId(const entry::LoginContext& ctx) {
    return ctx.gLoginUserId.trimmed().toLongLong();
}

// The first listed bill that another user deleted, or changed since the
// windows read it (`seen`: bill id -> version), named with who and when.
std::optional<Refusal> movedBill(db::Connection& c, const QList<qint32>& ids,
                                 const std::vector<BillState>& bills,
                                 const QHash<qint32, int>& seen) {
    // The stored bills by id: a selection of thousands is looked up in one pass.
    QHash<qint32, const BillState*> byId;
    byId.reserve(bills.size());
    for (const BillState& b : bills) byId.insert(b.interId, &b);
    for (const qint32 id : ids) {
        if (const BillState* stored = byId.value(id)) {
            const auto it = seen.constFind(id);
            if (it == seen.constEnd() || *it == stored->version) continue;
            return Refusal{billRefusal(
                *stored, movedPhrase(lastWrite(c, id)).prepend(QStringLiteral("的单据")) +
                             QStringLiteral("，操作不成功"))};
        }
        const auto write = lastWrite(c, id);
        if (write && write->deleted) {
            BillState gone;
            gone.billNo = write->billNo;
            return Refusal{billRefusal(gone, QStringLiteral("的单据") + movedPhrase(write) +
                                                 QStringLiteral("，操作不成功"))};
        }
    }
    return std::nullopt;
}

// Decides inside the transaction, under the write lock; answers the refusal to
// tell, or none when the writes were committed.
std::optional<Shown> decide(db::Connection& c, const QList<qint32>& ids, const Operation& op,
                            const QHash<qint32, int>& seen, qint64 user) {
    db::TransactionGuard tx(c);
    const auto bills = readBillStates(c, ids);
    if (auto moved = movedBill(c, ids, bills, seen)) return Shown{moved->text, Icon::Exclamation};
    if (bills.empty()) return Shown{kNoRows, op.noRowsIcon};
    std::optional<Refusal> refusal = firstRefusal(op, bills);
    if (!refusal && op.perList) refusal = op.perList(c, ids);
    if (refusal) return Shown{refusal->text, Icon::Exclamation};
    BillHistory history(c, op.name, user);
    history.note(ids);
    if (op.write(c, ids, bills) == static_cast<int>(bills.size())) {
        history.record();
        tx.commit();
        return std::nullopt;
    }
    tx.rollback();
    // Someone changed a bill between our read and our write: name it.
    const auto now = firstRefusal(op, readBillStates(c, ids));
    return Shown{now ? now->text : QStringLiteral("单据已被其他用户修改,操作不成功"),
                 Icon::Exclamation};
}

bool run(entry::LoginContext& ctx, entry::Prompter& prompter, const QString& idList,
         const Operation& op) {
    std::optional<Shown> refusal;
    try {
        const QList<qint32> ids = stock::parseIdList(idList);
        entry::openConnection(ctx);
        // The transaction has ended when decide() returns: the user may take
        // their time over the message without holding up anyone else's write.
        refusal = db::retrying(ctx.gConnection, [&] {
            return decide(ctx.gConnection, ids, op, ctx.gBillVersions, userId(ctx));
        });
        entry::closeConnection(ctx);
        // The bills written are one version on from what the windows saw.
        if (!refusal) {
            for (const qint32 id : ids) {
                if (auto it = ctx.gBillVersions.find(id); it != ctx.gBillVersions.end()) ++*it;
            }
        }
    } catch (const db::DbError& e) {
        entry::reportError(ctx, prompter, e.message());
        return false;
    }
    if (refusal) prompter.message(refusal->text, refusal->icon, ctx.msgTitle);
    return !refusal;
}

std::optional<Refusal> refuseIf(bool condition, const QString& text) {
    if (condition) return Refusal{text};
    return std::nullopt;
}

}  // namespace

bool checkBill(entry::LoginContext& ctx, entry::Prompter& prompter, const QString& idList) {
    Operation op;
    op.name = QStringLiteral("审核");
    op.noRowsIcon = Icon::None;
    op.perBill = [&ctx](const BillState& b) -> std::optional<Refusal> {
        if (b.status == 1)
            return Refusal{billRefusal(b, QStringLiteral("的单据已经审核!操作不成功"))};
        if (b.cancelled)
            return Refusal{billRefusal(b, QStringLiteral("的单据已经作废!操作不成功"))};
        return refuseIf(beforeCurrentPeriod(ctx, b.date),
                        QStringLiteral("不能审核以前期间的单据，操作不成功！"));
    };
    op.write = [&ctx](db::Connection& c, const QList<qint32>& ids, const auto&) {
        if (c.dialect().isServer()) {
            // The server's own audit writes the state and posts in one pass,
            // and clears the emptied ledger rows when it is asked to post.
            return c
                .scalar(QStringLiteral("select otherin_audit(array[%1]::integer[],?,?)")
                            .arg(stock::sqlIdList(ids)),
                        {userId(ctx), ctx.gIsCheckUpdate == 1})
                .toInt();
        }
        const int touched =
            c.exec(QStringLiteral("update icstockbill set fchecker=?,fstatus=1") + advance(c) +
                       whereIds(ids) +
                       QStringLiteral(" and coalesce(fstatus,0)=0 and coalesce(fcancellation,0)=0"),
                   {userId(ctx), userId(ctx)});
        if (ctx.gIsCheckUpdate == 1) {
            stock::postToTimeStock(c, ids, PostDirection::Add);
            stock::removeZeroStockRows(c, ids);
        }
        return touched;
    };
    return run(ctx, prompter, idList, op);
}

bool unCheckBill(entry::LoginContext& ctx, entry::Prompter& prompter) {
    Operation op;
    op.name = QStringLiteral("反审核");
    op.perBill = [&ctx](const BillState& b) -> std::optional<Refusal> {
        if (b.status == 0)
            return Refusal{billRefusal(b, QStringLiteral("的单据未审核!操作不成功"))};
        if (b.posted == 1)
            return Refusal{billRefusal(b, QStringLiteral("的单据已经记账!操作不成功"))};
        if (b.cancelled)
            return Refusal{billRefusal(b, QStringLiteral("的单据已经作废!操作不成功"))};
        if (beforeCurrentPeriod(ctx, b.date)) {
            return Refusal{QStringLiteral("不能反审核以前期间的单据，操作不成功！")};
        }
        if (b.sourceId != 0) {
            return Refusal{
                billRefusal(b, QStringLiteral("的单据为拆分单据,不能进行反审核,操作不成功"))};
        }
        return refuseIf(b.writeOffId != 0,
                        billRefusal(b, QStringLiteral("的单据已经核销,不能进行反审核,操作不成功")));
    };
    op.perList = [](db::Connection& c, const QList<qint32>& ids) {
        const int splitFrom =
            c.scalar(
                 QStringLiteral("select count(finterid) from icStockBill where frscinterid in (%1)")
                     .arg(stock::sqlIdList(ids)))
                .toInt();
        return refuseIf(splitFrom > 0,
                        QStringLiteral("您所选定的单据包含被拆分单据,不能进行反审核!"));
    };
    op.write = [&ctx](db::Connection& c, const QList<qint32>& ids, const auto&) {
        const int touched = c.exec(
            QStringLiteral("update icStockBill set fchecker=0,fstatus=0") + advance(c) +
                whereIds(ids) +
                QStringLiteral(
                    " and fstatus=1 and coalesce(fposted,0)=0 and coalesce(fcancellation,0)=0"
                    " and coalesce(fhxid,0)=0 and coalesce(frscinterid,0)=0"),
            {userId(ctx)});
        if (ctx.gIsCheckUpdate == 1) stock::postToTimeStock(c, ids, PostDirection::Reverse);
        return touched;
    };
    return run(ctx, prompter, ctx.gIdList, op);
}

namespace {

// Void and un-void mirror each other: the state they require, the direction the
// ledger moves under save posting, and the flag they write.
bool switchVoid(entry::LoginContext& ctx, entry::Prompter& prompter, bool voiding) {
    Operation op;
    op.name = voiding ? QStringLiteral("作废") : QStringLiteral("反作废");
    if (!voiding) op.noRowsIcon = Icon::Critical;
    op.perBill = [&ctx, voiding](const BillState& b) -> std::optional<Refusal> {
        if (b.status == 1)
            return Refusal{billRefusal(b, QStringLiteral("的单据已经审核!操作不成功"))};
        if (voiding && b.cancelled)
            return Refusal{billRefusal(b, QStringLiteral("的单据已经作废!操作不成功"))};
        if (!voiding && !b.cancelled)
            return Refusal{billRefusal(b, QStringLiteral("的单据未作废!操作不成功"))};
        return refuseIf(beforeCurrentPeriod(ctx, b.date),
                        voiding ? QStringLiteral("不能作废以前期间的单据，操作不成功！")
                                : QStringLiteral("不能反作废以前期间的单据，操作不成功！"));
    };
    op.write = [&ctx, voiding](db::Connection& c, const QList<qint32>& ids, const auto&) {
        const int touched = c.exec(
            QStringLiteral("update icStockBill set fcancellation=%1").arg(voiding ? 1 : 0) +
                advance(c) + whereIds(ids) +
                (voiding
                     ? QStringLiteral(" and coalesce(fstatus,0)=0 and coalesce(fcancellation,0)=0")
                     : QStringLiteral(" and coalesce(fstatus,0)=0 and fcancellation<>0")),
            {userId(ctx)});
        // After the flag: a bill counts again only once it is no longer void.
        if (ctx.gIsCheckUpdate == 0) {
            stock::postToTimeStock(c, ids, voiding ? PostDirection::Reverse : PostDirection::Add);
        }
        stock::removeZeroStockRows(c, ids);
        return touched;
    };
    return run(ctx, prompter, ctx.gIdList, op);
}

}  // namespace

bool cancelBill(entry::LoginContext& ctx, entry::Prompter& prompter) {
    return switchVoid(ctx, prompter, true);
}

bool unCancelBill(entry::LoginContext& ctx, entry::Prompter& prompter) {
    return switchVoid(ctx, prompter, false);
}

bool deleteBill(entry::LoginContext& ctx, entry::Prompter& prompter) {
    Operation op;
    op.name = QStringLiteral("删除");
    op.perBill = [&ctx](const BillState& b) -> std::optional<Refusal> {
        if (b.status == 1)
            return Refusal{billRefusal(b, QStringLiteral("的单据已经审核!操作不成功"))};
        if (b.cancelled) return Refusal{billRefusal(b, QStringLiteral("的单据作废!操作不成功"))};
        if (beforeCurrentPeriod(ctx, b.date)) {
            return Refusal{QStringLiteral("不能删除以前期间的单据，操作不成功！")};
        }
        return refuseIf(b.operatorId != ctx.gLoginUserId.trimmed() && ctx.IsAdmin == 0 &&
                            ctx.gUpdateSingleBill == 1,
                        QStringLiteral("只能删除本人录入的单据,操作不成功！"));
    };
    op.write = [&ctx](db::Connection& c, const QList<qint32>& ids,
                      const std::vector<BillState>& bills) {
        if (ctx.gIsCheckUpdate == 0) stock::postToTimeStock(c, ids, PostDirection::Reverse);
        stock::removeZeroStockRows(c, ids);
        for (const auto& b : bills) {
            stock::freeBillNumber(c, ctx.gBillTypeId, b.billNo);
            // A clerk who still holds the bill learns who deleted it.
            recordDeletion(c, b.interId, b.billNo, ctx.gBillTypeId, userId(ctx));
        }
        const int touched =
            c.exec(QStringLiteral("delete from icstockbill") + whereIds(ids) +
                   QStringLiteral(" and coalesce(fstatus,0)=0 and coalesce(fcancellation,0)=0"));
        c.exec(QStringLiteral("delete from icstockbillentry") + whereIds(ids));
        return touched;
    };
    return run(ctx, prompter, ctx.gIdList, op);
}

}  // namespace otherin::bill
