#include "editor/line_checks.h"

#include <cmath>

#include "editor/bill_form.h"
#include "entry/login_context.h"
#include "entry/prompter.h"

namespace otherin::editor {

namespace {

bool differs(double a, double b) {
    return std::abs(a - b) > 1e-9 * std::max({1.0, std::abs(a), std::abs(b)});
}

void followAmounts(BillForm& form) {
    const ColumnMap& m = form.columns;
    if (m.quantity < 1 || m.price < 1 || m.amount < 1) return;
    LineGrid& grid = form.grid;
    for (int r = 1; r <= grid.lastDataRow(); ++r) {
        if (grid.text(m.amount, r).trimmed().isEmpty() ||
            grid.text(m.quantity, r).trimmed().isEmpty())
            continue;
        const double q = grid.value(m.quantity, r);
        const double a = grid.value(m.amount, r);
        if (q == 0 || !differs(q * grid.value(m.price, r), a)) continue;
        grid.setNumber(m.price, r, a / q);
    }
}

bool isEmptyOrZero(const QString& text) {
    const QString t = text.trimmed();
    return t.isEmpty() || t == QStringLiteral("0");
}

}  // namespace

void setSumCell(BillForm& form, int activeColumn) {
    if (activeColumn > 0 && activeColumn == form.columns.amount) followAmounts(form);
    const LineGrid& grid = form.grid;
    const int last = grid.lastDataRow();
    for (int c = 1; c <= form.columnCount; ++c) {
        if (!form.isSumColumn(c)) continue;
        double sum = 0;
        for (int r = 1; r <= last; ++r) sum += grid.value(c, r);
        form.strip.setSum(c, sum);
    }
}

std::optional<CellPos> findMissingRequiredCell(const BillForm& form, entry::LoginContext& ctx,
                                               entry::Prompter& prompter) {
    const LineGrid& grid = form.grid;
    const ColumnMap& m = form.columns;
    if (m.itemCode < 1) return std::nullopt;
    const int last = grid.lastDataRow();
    auto isLine = [&](int r) { return !grid.text(m.itemCode, r).trimmed().isEmpty(); };
    for (int r = 1; m.quantity > 0 && r <= last; ++r) {
        if (!isLine(r)) continue;
        const QString qty = grid.text(m.quantity, r).trimmed();
        if (qty.isEmpty() || grid.value(m.quantity, r) == 0) {
            prompter.message(QStringLiteral("第%1行第%2列不能为空！").arg(r).arg(m.quantity),
                             entry::Icon::Exclamation, ctx.msgTitle);
            return CellPos{m.quantity, r};
        }
    }
    for (int r = 1; m.unit > 0 && r <= last; ++r) {
        if (!isLine(r)) continue;
        QString text;
        if (isEmptyOrZero(grid.text(m.unit, r))) {
            text = QStringLiteral("第%1行%2列计量单位不能为空！").arg(r).arg(m.unit);
        } else if (isEmptyOrZero(grid.key(m.unit, r))) {
            // A unit typed but never confirmed: its text is there, its id is not.
            text = QStringLiteral("第%1行计量单位不能为空！").arg(r);
        } else {
            continue;
        }
        prompter.message(text, entry::Icon::Exclamation, ctx.msgTitle);
        return CellPos{m.unit, r};
    }
    return std::nullopt;
}

}  // namespace otherin::editor
