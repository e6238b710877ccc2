#include "editor/bill_insert.h"

#include <QStringList>

#include "db/db_error.h"
#include "db/retry.h"
#include "db/transaction.h"
#include "editor/bill_checks.h"
#include "editor/bill_form.h"
#include "editor/bill_values.h"
#include "editor/editor_controller.h"
#include "editor/line_insert.h"
#include "entry/login_context.h"
#include "stock/bill_numbering.h"
#include "stock/stock_ledger.h"

namespace otherin::editor {

namespace {

bool checkNewBill(SaveEnv& env) {
    if (env.ctx.gIsCloseStock == 1)
        return refuse(env, QStringLiteral("当前期间已经关账,不能新增当前及以前期间单据"));
    if (!holdsRight(env, QStringLiteral("01"))) return false;
    if (beforePeriod(env)) return refuse(env, QStringLiteral("不能保存以前期间的单据!"));
    return requiredHeaderFilled(env) && dateReadable(env) && hasBillLines(env) &&
           billNumberGiven(env) && env.controller.requiredCellsFilled() && warehousesAccepted(env);
}

void insertHeader(SaveEnv& env, qint32 id, const QString& number) {
    const entry::LoginContext& ctx = env.ctx;
    QStringList names{QStringLiteral("finterid"), QStringLiteral("fstatus"),
                      QStringLiteral("fcancellation")};
    QVariantList values{id, 0, 0};
    for (const HeaderValue& h : headerValues(env.form)) {
        names << h.column;
        values << h.value;
    }
    names << QStringLiteral("fdate") << QStringLiteral("fOperator") << QStringLiteral("ftrantype")
          << QStringLiteral("fyear") << QStringLiteral("fperiod") << QStringLiteral("frob")
          << QStringLiteral("fbillno");
    values << dateText(billDate(env.form)) << ctx.gLoginUserId.trimmed().toLongLong()
           << ctx.gBillTypeId << ctx.gCurrentYear << ctx.gCurrentPeriod << ctx.gIsRedBill
           << textValue(number);
    QStringList marks;
    for (int i = 0; i < names.size(); ++i) marks << QStringLiteral("?");
    ctx.gConnection.exec(QStringLiteral("insert into icstockbill(%1) values(%2)")
                             .arg(names.join(QLatin1Char(',')), marks.join(QLatin1Char(','))),
                         values);
}

// The checks of the numbering run under the write lock, but the unique index
// on (type, number) has the last word: a writer that went round them (another
// program on the same database) makes the insert fail, and the user hears of
// the number, not of the index.
void insertHeaderOnce(SaveEnv& env, qint32 id, const QString& number) {
    try {
        insertHeader(env, id, number);
    } catch (const db::DbError& e) {
        if (stock::isBillNumberClash(e)) throw stock::DuplicateBillNumber();
        throw;
    }
}

bool insertBill(SaveEnv& env) {
    entry::LoginContext& ctx = env.ctx;
    const QString typed = billNumberText(env.form);
    const std::vector<int> rows = billLineRows(env.form);
    QString number;
    try {
        // The id is taken and committed before the transaction: it stays used
        // when the save fails.
        const auto id = stock::issueBillId(ctx, env.prompter, typed);
        if (!id) return false;
        db::retrying(ctx.gConnection, [&] {
            db::TransactionGuard tx(ctx.gConnection);
            number = stock::issueBillNumber(ctx, typed);
            insertHeaderOnce(env, *id, number);
            LineInserter lines(ctx.gConnection, env.form, ctx.gIsRedBill == 1);
            int n = 0;
            for (const int r : rows) {
                ++n;
                lines.insert(*id, n, n, r);
            }
            if (ctx.gIsCheckUpdate == 0) {
                stock::postToTimeStock(ctx.gConnection, *id, stock::PostDirection::Add);
                stock::removeZeroStockRows(ctx.gConnection, *id);
            }
            setYearAndPeriod(ctx.gConnection, *id);
            tx.commit();
        });
        entry::closeConnection(ctx);
        ctx.gCurrentInterId = *id;
    } catch (const stock::DuplicateBillNumber& e) {
        // Told like the check before the save; the guard has rolled back.
        refuse(env, e.message(), entry::Icon::Critical);
        entry::closeConnection(ctx);
        return false;
    } catch (const db::DbError& e) {
        // The guard has rolled back; the box is a plain one here.
        refuse(env, e.message(), entry::Icon::None);
        entry::closeConnection(ctx);
        return false;
    }
    // The field shows the number the bill got, which need not be the one
    // previewed: a later change writes the field back.
    if (HeaderField* f = billNumberField(env.form)) f->text = number;
    // The lines are now stored lines: a later change keeps their numbers.
    int n = 0;
    for (const int r : rows) env.form.grid.setLineKey(r, QString::number(++n));
    return true;
}

}  // namespace

bool saveNewBill(SaveEnv& env) {
    return checkNewBill(env) && insertBill(env);
}

}  // namespace otherin::editor
