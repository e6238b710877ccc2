#include "bill/bill_save.h"

#include <QStringList>
#include <algorithm>
#include <optional>

#include "bill/bill_history.h"
#include "bill/bill_states.h"
#include "bill/bill_versions.h"
#include "bill/open_bills.h"
#include "db/db_error.h"
#include "db/retry.h"
#include "db/transaction.h"
#include "entry/error_report.h"
#include "entry/login_context.h"
#include "stock/bill_numbering.h"
#include "stock/stock_ledger.h"

namespace otherin::bill {

namespace {

using entry::Icon;

struct Refusal {
    QString text;
    Icon icon = Icon::Exclamation;
};

const Refusal kNumberTaken{QStringLiteral("编号不能重复!"), Icon::Critical};

QString marks(qsizetype n) {
    QStringList m;
    for (qsizetype i = 0; i < n; ++i) m << QStringLiteral("?");
    return m.join(QLatin1Char(','));
}

qint64 userId(const entry::LoginContext& ctx) {
    return ctx.gLoginUserId.trimmed().toLongLong();
}

SaveOutcome refused(entry::LoginContext& ctx, entry::Prompter& prompter, const Refusal& r) {
    entry::closeConnection(ctx);
    prompter.message(r.text, r.icon, ctx.msgTitle);
    return {};
}

SaveOutcome saved(entry::LoginContext& ctx, SaveOutcome out, qint32 interId, int version) {
    entry::closeConnection(ctx);
    out.status = SaveStatus::Saved;
    out.interId = interId;
    out.version = version;
    return out;
}

SaveOutcome moved(entry::LoginContext& ctx, const std::optional<LastWrite>& write) {
    entry::closeConnection(ctx);
    SaveOutcome out;
    out.status = SaveStatus::Moved;
    out.deleted = !write || write->deleted;
    out.movedText = movedSaveText(write);
    return out;
}

// Writes the draft's lines in statements of up to 500 lines each (within
// SQLite's 32,766 bound values): a bill of a thousand lines is two statements
// for the database to compile and for its triggers to see, not a thousand.
std::vector<qint32> insertLines(db::Connection& c, qint32 interId, const BillDraft& draft,
                                qint32 nextEntryId) {
    QStringList names{QStringLiteral("finterid"), QStringLiteral("forderid"),
                      QStringLiteral("fentryid")};
    names += draft.lineColumns;
    const qsizetype perLine = names.size();
    const qsizetype chunk = std::clamp<qsizetype>(32766 / perLine, 1, 500);
    const QString row = QLatin1Char('(') + marks(perLine) + QLatin1Char(')');
    std::vector<qint32> entryIds;
    entryIds.reserve(draft.lines.size());
    int n = 0;
    for (size_t start = 0; start < draft.lines.size(); start += static_cast<size_t>(chunk)) {
        const size_t count = std::min(draft.lines.size() - start, static_cast<size_t>(chunk));
        db::Query q = c.prepare(
            QStringLiteral("insert into icstockbillentry(%1) values %2")
                .arg(names.join(QLatin1Char(',')),
                     QStringList(static_cast<qsizetype>(count), row).join(QLatin1Char(','))));
        for (size_t i = start; i < start + count; ++i) {
            const DraftLine& line = draft.lines[i];
            const qint32 entryId = line.entryId > 0 ? line.entryId : nextEntryId++;
            entryIds.push_back(entryId);
            q.bind(interId).bind(++n).bind(entryId);
            for (const QVariant& v : line.values) q.bind(v);
        }
        q.exec();
    }
    return entryIds;
}

// `what` of the accounting period holding the date `date` (an expression).
QString ofPeriod(const QString& what, const QString& date) {
    return QStringLiteral(
               "(select %1 from tblPeriod as b where b.fTypeid=2 and %2>=b.fStartDate "
               "and %2<b.fEndDate)")
        .arg(what, date);
}

// The bill's year and period become those of the accounting period holding
// its date; a date outside every period leaves them as they are.
void setYearAndPeriod(db::Connection& connection, qint32 interId) {
    const QString date = QStringLiteral("icstockbill.fdate");
    connection.exec(
        QStringLiteral("update icstockbill set fyear=%1,fperiod=%2 where finterid=? "
                       "and exists %3")
            .arg(ofPeriod(QStringLiteral("b.fYear"), date),
                 ofPeriod(QStringLiteral("b.fPeriod"), date), ofPeriod(QStringLiteral("1"), date)),
        {interId});
}

// ---- new bill ------------------------------------------------------------

// The header without its number (see numberNewBill), its year and period
// those of the accounting period holding its date, else the current ones.
void insertHeader(entry::LoginContext& ctx, const BillDraft& draft, qint32 id) {
    QStringList names{QStringLiteral("finterid"), QStringLiteral("fstatus"),
                      QStringLiteral("fcancellation")};
    QVariantList values{id, 0, 0};
    for (const auto& [column, value] : draft.header) {
        names << column;
        values << value;
    }
    names << QStringLiteral("fdate") << QStringLiteral("fOperator") << QStringLiteral("ftrantype")
          << QStringLiteral("frob") << QStringLiteral("fbillno") << QStringLiteral("fversion")
          << QStringLiteral("fmodifierid");
    const QString date = draft.date.toString(Qt::ISODate);
    values << date << userId(ctx) << ctx.gBillTypeId << (draft.red ? 1 : 0) << QStringLiteral("")
           << 1 << userId(ctx);
    const QString mark = QStringLiteral("?");
    const QString sql =
        QStringLiteral(
            "insert into icstockbill(%1,fyear,fperiod,fmodifytime) select %2,"
            "coalesce(%3,?),coalesce(%4,?),%5")
            .arg(names.join(QLatin1Char(',')), marks(names.size()),
                 ofPeriod(QStringLiteral("b.fYear"), mark),
                 ofPeriod(QStringLiteral("b.fPeriod"), mark), ctx.gConnection.dialect().now());
    values << date << date << ctx.gCurrentYear << date << date << ctx.gCurrentPeriod;
    ctx.gConnection.exec(sql, values);
}

// ---- changed bill --------------------------------------------------------

bool numberTaken(const entry::LoginContext& ctx, const BillDraft& draft) {
    if (ctx.gIsUpdateBillNo != 1) return false;
    return ctx.gConnection
               .scalar(QStringLiteral("select count(*) from icstockbill where fbillno=? and "
                                      "finterid<>?"),
                       {textValue(draft.billNo.trimmed()), draft.interId})
               .toInt() > 0;
}

// Why the stored bill may not be changed by this user; none when it may.
std::optional<Refusal> stateRefusal(const entry::LoginContext& ctx, const BillState& b) {
    if (b.status >= 1) return Refusal{QStringLiteral("该单据已经审核,不能修改,操作不成功")};
    if (b.cancelled) return Refusal{QStringLiteral("该单据已经作废,不能修改,操作不成功！")};
    if (beforeCurrentPeriod(ctx, b.date))
        return Refusal{QStringLiteral("不能修改以前期间的单据，操作不成功！")};
    if (b.operatorId.trimmed() != ctx.gLoginUserId.trimmed() && ctx.IsAdmin == 0 &&
        ctx.gUpdateSingleBill == 1)
        return Refusal{QStringLiteral("只能修改本人录入的单据,操作不成功！")};
    return std::nullopt;
}

// After a write found the bill not as loaded: its state's refusal when it has
// one, else who moved or deleted it.
SaveOutcome explainChangedBill(entry::LoginContext& ctx, entry::Prompter& prompter,
                               const BillDraft& draft) {
    const auto bills = readBillStates(ctx.gConnection, {draft.interId});
    if (!bills.empty()) {
        if (auto refusal = stateRefusal(ctx, bills.front())) {
            return refused(ctx, prompter, *refusal);
        }
    }
    return moved(ctx, lastWrite(ctx.gConnection, draft.interId));
}

// Replaces the bill's lines; new lines are numbered above the highest entry
// id the bill had.
std::vector<qint32> replaceLines(db::Connection& c, const BillDraft& draft) {
    const qint32 next =
        c.scalar(QStringLiteral("select max(fentryid) from icstockbillentry where finterid=?"),
                 {draft.interId})
            .toInt() +
        1;
    c.exec(QStringLiteral("delete from icstockbillentry where finterid=?"), {draft.interId});
    return insertLines(c, draft.interId, draft, next);
}

void updateHeader(entry::LoginContext& ctx, const BillDraft& draft) {
    QString sql = QStringLiteral("update icstockbill set fdate=?,fbillno=?,fOperator=?");
    // The number is stored as it was checked: without surrounding blanks.
    QVariantList values{draft.date.toString(Qt::ISODate), textValue(draft.billNo.trimmed()),
                        userId(ctx)};
    for (const auto& [column, value] : draft.header) {
        sql += QStringLiteral(",%1=?").arg(column);
        values << value;
    }
    values << draft.interId;
    ctx.gConnection.exec(sql + QStringLiteral(" where finterid=?"), values);
}

// Advances the version of bill draft.interId only while it is at the
// version loaded (and, when `open`, neither audited nor voided). On a server
// the update takes the bill's row lock first and re-checks its condition
// after waiting for another writer, so exactly one of two clerks gets 1.
bool advanceLoadedVersion(entry::LoginContext& ctx, const BillDraft& draft, bool open) {
    db::Connection& c = ctx.gConnection;
    QString sql = QStringLiteral("update icstockbill set ") + versionAdvance(c.dialect()) +
                  QStringLiteral(" where finterid=? and fversion=?");
    if (open) sql += QStringLiteral(" and coalesce(fstatus,0)=0 and coalesce(fcancellation,0)=0");
    return c.exec(sql, {userId(ctx), draft.interId, draft.version}) == 1;
}

}  // namespace

SaveOutcome saveNewBill(entry::LoginContext& ctx, entry::Prompter& prompter, const BillDraft& draft,
                        const OpenBills* holder) {
    SaveOutcome out;
    try {
        // The id is taken and committed before the transaction: it stays used
        // when the save fails.
        const auto id = stock::issueBillId(ctx, prompter, draft.billNo);
        if (!id) return out;
        db::retrying(ctx.gConnection, [&] {
            db::TransactionGuard tx(ctx.gConnection);
            BillHistory history(ctx.gConnection, QStringLiteral("新增"), userId(ctx));
            history.noteNew(*id);
            // What no other clerk's save touches first; the shared rows last,
            // the type's number counter last of all, so its lock is held for
            // the commit only.
            insertHeader(ctx, draft, *id);
            out.entryIds = insertLines(ctx.gConnection, *id, draft, 1);
            // The editor's own row: no other clerk's save touches it.
            if (holder) holder->open(ctx.gConnection, *id, userId(ctx));
            out.billNo = stock::numberNewBill(ctx, *id, draft.billNo, ctx.gIsCheckUpdate == 0);
            history.record();
            tx.commit();
        });
        return saved(ctx, out, *id, 1);
    } catch (const stock::DuplicateBillNumber& e) {
        // Told like the check before the save; the guard has rolled back.
        return refused(ctx, prompter, {e.message(), Icon::Critical});
    } catch (const db::DbError& e) {
        // The guard has rolled back; the box is a plain one here.
        return refused(ctx, prompter, {e.message(), Icon::None});
    }
}

SaveOutcome checkChangedBill(entry::LoginContext& ctx, entry::Prompter& prompter,
                             const BillDraft& draft) {
    try {
        entry::openConnection(ctx);
        if (numberTaken(ctx, draft)) return refused(ctx, prompter, kNumberTaken);
        const auto bills = readBillStates(ctx.gConnection, {draft.interId});
        if (bills.empty()) return moved(ctx, lastWrite(ctx.gConnection, draft.interId));
        if (auto refusal = stateRefusal(ctx, bills.front())) {
            return refused(ctx, prompter, *refusal);
        }
        if (bills.front().version != draft.version) {
            return moved(ctx, lastWrite(ctx.gConnection, draft.interId));
        }
        return saved(ctx, {}, 0, 0);
    } catch (const db::DbError& e) {
        entry::reportError(ctx, prompter, e.message());
        return {};
    }
}

SaveOutcome writeChangedBill(entry::LoginContext& ctx, entry::Prompter& prompter,
                             const BillDraft& draft) {
    SaveOutcome out;
    try {
        entry::openConnection(ctx);
        db::TransactionGuard tx(ctx.gConnection);
        // Checked again under the write: another user may have been quicker.
        if (numberTaken(ctx, draft)) {
            tx.rollback();
            return refused(ctx, prompter, kNumberTaken);
        }
        if (!advanceLoadedVersion(ctx, draft, true)) {
            tx.rollback();
            return explainChangedBill(ctx, prompter, draft);
        }
        BillHistory history(ctx.gConnection, QStringLiteral("修改"), userId(ctx));
        history.note(draft.interId);
        const bool posts = ctx.gIsCheckUpdate == 0;
        if (posts) {
            // The stored lines leave the ledger under the stored header's
            // warehouse. Keys that only the old lines had are cleaned while the
            // lines still name them; the new lines' keys after their posting.
            stock::postToTimeStock(ctx.gConnection, draft.interId, stock::PostDirection::Reverse);
            stock::removeZeroStockRows(ctx.gConnection, draft.interId);
        }
        updateHeader(ctx, draft);
        out.entryIds = replaceLines(ctx.gConnection, draft);
        if (posts) {
            stock::postToTimeStock(ctx.gConnection, draft.interId, stock::PostDirection::Add);
            stock::removeZeroStockRows(ctx.gConnection, draft.interId);
        }
        setYearAndPeriod(ctx.gConnection, draft.interId);
        history.record();
        tx.commit();
    } catch (const db::DbError& e) {
        // The guard has rolled back by now.
        if (stock::isBillNumberClash(e)) return refused(ctx, prompter, kNumberTaken);
        entry::reportError(ctx, prompter, e.message());
        return out;
    }
    out.billNo = draft.billNo.trimmed();
    return saved(ctx, out, draft.interId, draft.version + 1);
}

SaveOutcome savePrices(entry::LoginContext& ctx, entry::Prompter& prompter,
                       const BillDraft& draft) {
    SaveOutcome out;
    try {
        entry::openConnection(ctx);
        db::TransactionGuard tx(ctx.gConnection);
        if (!advanceLoadedVersion(ctx, draft, false)) {
            tx.rollback();
            return moved(ctx, lastWrite(ctx.gConnection, draft.interId));
        }
        BillHistory history(ctx.gConnection, QStringLiteral("修改单价"), userId(ctx));
        history.note(draft.interId);
        if (ctx.gConnection.dialect().isServer()) {
            // The owner's function moves a posted bill's ledger amount along;
            // clerks write neither the ledger nor an audited bill's lines.
            db::Query q = ctx.gConnection.prepare(
                QStringLiteral("select otherin_set_price(?,?,?::numeric,?::numeric)"));
            for (const DraftLine& line : draft.lines) {
                if (line.entryId <= 0) continue;
                q.bind(draft.interId).bind(line.entryId).bind(line.price).bind(line.amount).exec();
            }
        } else {
            // Taking the lines out and adding them back leaves the quantities
            // where they were and moves each amount by its change.
            const bool posted = ctx.gConnection
                                    .scalar(QStringLiteral("select fstockposted from icstockbill"
                                                           " where finterid=?"),
                                            {draft.interId})
                                    .toInt() == 1;
            if (posted)
                stock::postToTimeStock(ctx.gConnection, draft.interId,
                                       stock::PostDirection::Reverse);
            db::Query q = ctx.gConnection.prepare(QStringLiteral(
                "update icstockbillentry set fPrice=?,famount=? where finterid=? and fentryid=?"));
            for (const DraftLine& line : draft.lines) {
                if (line.entryId <= 0) continue;
                q.bind(line.price).bind(line.amount).bind(draft.interId).bind(line.entryId).exec();
            }
            if (posted)
                stock::postToTimeStock(ctx.gConnection, draft.interId, stock::PostDirection::Add);
        }
        history.record();
        tx.commit();
    } catch (const db::DbError& e) {
        entry::reportError(ctx, prompter, e.message());
        return out;
    }
    return saved(ctx, out, draft.interId, draft.version + 1);
}

}  // namespace otherin::bill
