#include "editor/price_save.h"

#include "bill/bill_states.h"
#include "db/db_error.h"
#include "db/transaction.h"
#include "editor/bill_checks.h"
#include "editor/bill_form.h"
#include "editor/bill_values.h"
#include "entry/error_report.h"
#include "entry/login_context.h"
#include "stock/stock_ledger.h"

namespace otherin::editor {

namespace {

bool linesInLedger(const entry::LoginContext& ctx, const bill::BillState& bill) {
    if (ctx.gIsCheckUpdate == 0) return !bill.cancelled;
    return ctx.gIsCheckUpdate == 1 && bill.status >= 1;
}

void writePrices(SaveEnv& env) {
    const BillForm& form = env.form;
    const LineGrid& grid = form.grid;
    const bool red = env.ctx.gIsRedBill == 1;
    const auto stored = [&](int c, int r) {
        return c > 0 ? storedValue(form, c, r, red) : QVariant(0.0);
    };
    const int last = grid.lastDataRow();
    for (int r = 1; r <= last; ++r) {
        const QString lineId = grid.lineKey(r).trimmed();
        if (lineId.isEmpty()) continue;
        env.ctx.gConnection.exec(
            QStringLiteral("update icstockbillentry set fPrice=?,famount=? where finterid=? and "
                           "fentryid=?"),
            {stored(form.columns.price, r), stored(form.columns.amount, r), env.ctx.gCurrentInterId,
             lineId.toInt()});
    }
}

}  // namespace

bool savePrices(SaveEnv& env) {
    entry::LoginContext& ctx = env.ctx;
    try {
        entry::openConnection(ctx);
        db::TransactionGuard tx(ctx.gConnection);
        const auto bills = bill::readBillStates(ctx.gConnection, {ctx.gCurrentInterId});
        if (bills.empty()) {
            tx.rollback();
            entry::closeConnection(ctx);
            return refuse(env, QStringLiteral("数据读取错误!"), entry::Icon::Critical);
        }
        // Taking the lines out and adding them back leaves the quantities
        // where they were and moves each amount by its change.
        const bool posted = linesInLedger(ctx, bills.front());
        if (posted)
            stock::postToTimeStock(ctx.gConnection, ctx.gCurrentInterId,
                                   stock::PostDirection::Reverse);
        writePrices(env);
        if (posted)
            stock::postToTimeStock(ctx.gConnection, ctx.gCurrentInterId, stock::PostDirection::Add);
        tx.commit();
    } catch (const db::DbError& e) {
        entry::reportError(ctx, env.prompter, e.message());
        return false;
    }
    entry::closeConnection(ctx);
    return true;
}

}  // namespace otherin::editor
