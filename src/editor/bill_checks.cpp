#include "editor/bill_checks.h"

#include "bill/bill_states.h"
#include "db/db_error.h"
#include "db/sql_text.h"
#include "editor/bill_form.h"
#include "editor/bill_values.h"
#include "editor/editor_controller.h"
#include "editor/line_checks.h"
#include "entry/error_report.h"
#include "entry/login_context.h"
#include "entry/permission.h"

namespace otherin::editor {

bool refuse(SaveEnv& env, const QString& text, entry::Icon icon) {
    env.prompter.message(text, icon, env.ctx.msgTitle);
    return false;
}

bool holdsRight(SaveEnv& env, const QString& action) {
    try {
        return entry::hasRight(env.ctx, env.prompter, env.ctx.gRightPrefix + action);
    } catch (const db::DbError& e) {
        entry::reportError(env.ctx, env.prompter, e.message());
        return false;
    }
}

bool requiredHeaderFilled(SaveEnv& env) {
    for (const HeaderField& f : env.form.header) {
        if (f.canBeEmpty || !f.text.trimmed().isEmpty()) continue;
        refuse(env, captionStem(f.caption) + QStringLiteral("不能为空"));
        emit env.controller.headerFocusRequested(f.index);
        return false;
    }
    return true;
}

bool textsStorable(SaveEnv& env) {
    for (const HeaderField& f : env.form.header) {
        if (f.looksUp() || !db::holdsControlCharacter(f.text)) continue;
        refuse(env, db::controlCharacterRefusal(captionStem(f.caption)));
        emit env.controller.headerFocusRequested(f.index);
        return false;
    }
    return env.controller.lineTextsStorable();
}

bool dateReadable(SaveEnv& env) {
    const HeaderField* f = dateField(env.form);
    if (!f || parseDate(f->text).isValid()) return true;
    refuse(env, captionStem(f->caption) + QStringLiteral("输入不正确"));
    emit env.controller.headerFocusRequested(f->index);
    return false;
}

bool hasBillLines(SaveEnv& env) {
    return !billLineRows(env.form).empty() || refuse(env, QStringLiteral("请录入明细!"));
}

bool billNumberGiven(SaveEnv& env) {
    return env.ctx.gIsUpdateBillNo != 1 || !billNumberText(env.form).trimmed().isEmpty() ||
           refuse(env, QStringLiteral("请输入单据编号!"));
}

bool beforePeriod(const SaveEnv& env) {
    return bill::beforeCurrentPeriod(env.ctx, billDate(env.form));
}

bool warehousesAccepted(SaveEnv& env) {
    const BillForm& form = env.form;
    const HeaderField* warehouse = form.headerField(3);
    const QString billWarehouse = warehouse ? warehouse->keyValue.trimmed() : QString();
    const int last = form.grid.lastDataRow();
    for (int r = 1; r <= last; ++r) {
        const QString code = form.grid.text(1, r).trimmed();
        if (code.isEmpty()) continue;
        // An item without a default warehouse differs from any chosen one.
        const QString itemWarehouse = form.grid.text(form.warehouseColumn(), r).trimmed();
        if (itemWarehouse == billWarehouse && !itemWarehouse.isEmpty()) continue;
        // Asked per line, as before; 全部是 answers it for the rest of the bill.
        const std::optional<int> answer = env.prompter.choose(
            form.grid.text(1, r) + QStringLiteral("的默认仓库与单据中的仓库不一致,是否继续?"),
            {QStringLiteral("是(&Y)"), QStringLiteral("全部是(&A)"), QStringLiteral("否(&N)")},
            entry::Icon::Question, env.ctx.msgTitle);
        if (answer == 1) return true;
        if (answer != 0) return false;
    }
    return true;
}

// A stock-in at a negative price is nearly always a slip of the keys: a blue
// bill asks once (naming the first such line); a red bill's signs are its own.
bool negativePricesAccepted(SaveEnv& env) {
    const BillForm& form = env.form;
    const int price = form.columns.price;
    if (price < 1 || env.ctx.gIsRedBill == 1 || env.controller.state().negativePriceConfirmed)
        return true;
    for (int r = 1; r <= form.grid.lastDataRow(); ++r) {
        if (form.grid.text(form.columns.itemCode, r).trimmed().isEmpty() ||
            form.grid.value(price, r) >= 0)
            continue;
        if (env.prompter.question(
                QStringLiteral("%1为负数(%2),入库单价为负通常是录入错误,确定要保存吗?")
                    .arg(cellName(form, price, r), form.grid.text(price, r)),
                entry::Buttons::YesNo, entry::Icon::Question,
                env.ctx.msgTitle) != entry::Answer::Yes) {
            env.controller.showRefusedCell(CellPos{price, r});
            return false;
        }
        env.controller.confirmNegativePrice();
        return true;
    }
    return true;
}

bool checkNewBill(SaveEnv& env) {
    if (env.ctx.gIsCloseStock == 1)
        return refuse(env, QStringLiteral("当前期间已经关账,不能新增当前及以前期间单据"));
    if (!holdsRight(env, QStringLiteral("01"))) return false;
    if (beforePeriod(env)) return refuse(env, QStringLiteral("不能保存以前期间的单据!"));
    return requiredHeaderFilled(env) && textsStorable(env) && dateReadable(env) &&
           hasBillLines(env) && billNumberGiven(env) && env.controller.requiredCellsFilled() &&
           negativePricesAccepted(env) && warehousesAccepted(env);
}

bool checkChangedBill(SaveEnv& env) {
    if (env.ctx.gIsCloseStock == 1)
        return refuse(env, QStringLiteral("当前期间已经关账,不能修改当前及以前期间单据"));
    if (!holdsRight(env, QStringLiteral("02"))) return false;
    if (!requiredHeaderFilled(env) || !textsStorable(env) || !dateReadable(env) ||
        !billNumberGiven(env) || !hasBillLines(env) || !env.controller.requiredCellsFilled())
        return false;
    if (beforePeriod(env)) return refuse(env, QStringLiteral("不能保存为以前期间的单据!"));
    return negativePricesAccepted(env) && warehousesAccepted(env);
}

}  // namespace otherin::editor
