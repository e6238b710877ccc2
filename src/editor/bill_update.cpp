#include "editor/bill_update.h"

#include <QStringList>
#include <optional>

#include "bill/bill_states.h"
#include "db/db_error.h"
#include "db/transaction.h"
#include "editor/bill_checks.h"
#include "editor/bill_form.h"
#include "editor/bill_values.h"
#include "editor/editor_controller.h"
#include "editor/line_insert.h"
#include "entry/error_report.h"
#include "entry/login_context.h"
#include "stock/bill_numbering.h"
#include "stock/stock_ledger.h"

namespace otherin::editor {

namespace {

struct Refusal {
    QString text;
    entry::Icon icon = entry::Icon::Exclamation;
};

bool numberTaken(SaveEnv& env) {
    if (env.ctx.gIsUpdateBillNo != 1) return false;
    return env.ctx.gConnection
               .scalar(QStringLiteral("select count(*) from icstockbill where fbillno=? and "
                                      "finterid<>?"),
                       {textValue(billNumberText(env.form).trimmed()), env.ctx.gCurrentInterId})
               .toInt() > 0;
}

// Why the stored bill may not be changed now; none when it may.
std::optional<Refusal> storedStateRefusal(SaveEnv& env) {
    entry::LoginContext& ctx = env.ctx;
    const auto bills = bill::readBillStates(ctx.gConnection, {ctx.gCurrentInterId});
    if (bills.empty()) return Refusal{QStringLiteral("数据读取错误!"), entry::Icon::Critical};
    const bill::BillState& b = bills.front();
    if (b.status >= 1) return Refusal{QStringLiteral("该单据已经审核,不能修改,操作不成功")};
    if (b.cancelled) return Refusal{QStringLiteral("该单据已经作废,不能修改,操作不成功！")};
    if (bill::beforeCurrentPeriod(ctx, b.date))
        return Refusal{QStringLiteral("不能修改以前期间的单据，操作不成功！")};
    if (b.operatorId.trimmed() != ctx.gLoginUserId.trimmed() && ctx.IsAdmin == 0 &&
        ctx.gUpdateSingleBill == 1)
        return Refusal{QStringLiteral("只能修改本人录入的单据,操作不成功！")};
    return std::nullopt;
}

const Refusal kNumberTaken{QStringLiteral("编号不能重复!"), entry::Icon::Critical};

bool checkStoredBill(SaveEnv& env) {
    try {
        entry::ConnectionScope connection(env.ctx);
        std::optional<Refusal> refusal;
        if (numberTaken(env)) refusal = kNumberTaken;
        if (!refusal) refusal = storedStateRefusal(env);
        return !refusal || refuse(env, refusal->text, refusal->icon);
    } catch (const db::DbError& e) {
        entry::reportError(env.ctx, env.prompter, e.message());
        return false;
    }
}

// Answers how many bills the update touched: 0 when the bill was audited,
// voided or removed since the checks.
int updateHeader(SaveEnv& env) {
    const entry::LoginContext& ctx = env.ctx;
    QString sql = QStringLiteral("update icstockbill set fdate=?,fbillno=?,fOperator=?");
    // The number is stored as it was checked: without surrounding blanks.
    QVariantList values{dateText(billDate(env.form)), textValue(billNumberText(env.form).trimmed()),
                        ctx.gLoginUserId.trimmed().toLongLong()};
    for (const HeaderValue& h : headerValues(env.form)) {
        sql += QStringLiteral(",%1=?").arg(h.column);
        values << h.value;
    }
    sql += QStringLiteral(
        " where finterid=? and coalesce(fstatus,0)=0 and coalesce(fcancellation,0)=0");
    values << ctx.gCurrentInterId;
    return ctx.gConnection.exec(sql, values);
}

// Replaces the bill's lines. Loaded lines keep their entry ids; new ones are
// numbered above the highest the bill had. Answers the entry id of each row.
std::vector<int> replaceLines(SaveEnv& env, const std::vector<int>& rows) {
    entry::LoginContext& ctx = env.ctx;
    db::Connection& c = ctx.gConnection;
    int next = c.scalar(QStringLiteral("select max(fentryid) from icstockbillentry where "
                                       "finterid=?"),
                        {ctx.gCurrentInterId})
                   .toInt() +
               1;
    c.exec(QStringLiteral("delete from icstockbillentry where finterid=?"), {ctx.gCurrentInterId});
    LineInserter lines(c, env.form, ctx.gIsRedBill == 1);
    std::vector<int> entryIds;
    int n = 0;
    for (const int r : rows) {
        const QString key = env.form.grid.lineKey(r).trimmed();
        const int entryId = key.isEmpty() ? next++ : key.toInt();
        entryIds.push_back(entryId);
        lines.insert(ctx.gCurrentInterId, ++n, entryId, r);
    }
    return entryIds;
}

}  // namespace

bool checkChangedBill(SaveEnv& env) {
    if (env.ctx.gIsCloseStock == 1)
        return refuse(env, QStringLiteral("当前期间已经关账,不能修改当前及以前期间单据"));
    if (!holdsRight(env, QStringLiteral("02"))) return false;
    if (!requiredHeaderFilled(env) || !dateReadable(env) || !billNumberGiven(env) ||
        !hasBillLines(env) || !env.controller.requiredCellsFilled())
        return false;
    if (beforePeriod(env)) return refuse(env, QStringLiteral("不能保存为以前期间的单据!"));
    return warehousesAccepted(env) && checkStoredBill(env);
}

bool writeChangedBill(SaveEnv& env) {
    entry::LoginContext& ctx = env.ctx;
    const std::vector<int> rows = billLineRows(env.form);
    std::vector<int> entryIds;
    try {
        entry::openConnection(ctx);
        db::TransactionGuard tx(ctx.gConnection);
        // Checked again under the write: another user may have been quicker.
        if (numberTaken(env)) {
            tx.rollback();
            entry::closeConnection(ctx);
            return refuse(env, kNumberTaken.text, kNumberTaken.icon);
        }
        const bool posts = ctx.gIsCheckUpdate == 0;
        if (posts) {
            stock::postToTimeStock(ctx.gConnection, ctx.gCurrentInterId,
                                   stock::PostDirection::Reverse);
            // Keys that only the old lines had are cleaned while the lines still
            // name them; the new lines' keys are cleaned after their posting.
            stock::removeZeroStockRows(ctx.gConnection, ctx.gCurrentInterId);
        }
        if (updateHeader(env) != 1) {
            tx.rollback();
            const auto refusal = storedStateRefusal(env);
            entry::closeConnection(ctx);
            return refuse(
                env, refusal ? refusal->text : QStringLiteral("单据已被其他用户修改,操作不成功"),
                refusal ? refusal->icon : entry::Icon::Exclamation);
        }
        entryIds = replaceLines(env, rows);
        if (posts) {
            stock::postToTimeStock(ctx.gConnection, ctx.gCurrentInterId, stock::PostDirection::Add);
            stock::removeZeroStockRows(ctx.gConnection, ctx.gCurrentInterId);
        }
        setYearAndPeriod(ctx.gConnection, ctx.gCurrentInterId);
        tx.commit();
    } catch (const db::DbError& e) {
        // The guard has rolled back by now.
        if (stock::isBillNumberClash(e)) {
            entry::closeConnection(ctx);
            return refuse(env, kNumberTaken.text, kNumberTaken.icon);
        }
        entry::reportError(ctx, env.prompter, e.message());
        return false;
    }
    entry::closeConnection(ctx);
    for (std::size_t i = 0; i < rows.size(); ++i)
        env.form.grid.setLineKey(rows[i], QString::number(entryIds[i]));
    return true;
}

}  // namespace otherin::editor
