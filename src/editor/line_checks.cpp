#include "editor/line_checks.h"

#include <algorithm>
#include <cmath>

#include "db/sql_text.h"
#include "editor/bill_form.h"
#include "editor/bill_values.h"
#include "entry/login_context.h"
#include "entry/prompter.h"

namespace otherin::editor {

namespace {

bool differs(double a, double b) {
    return std::abs(a - b) > 1e-9 * std::max({1.0, std::abs(a), std::abs(b)});
}

void followAmounts(BillForm& form, const std::vector<int>& rows) {
    const ColumnMap& m = form.columns;
    if (m.quantity < 1 || m.price < 1 || m.amount < 1) return;
    LineGrid& grid = form.grid;
    for (const int r : rows) {
        if (grid.isBlankCell(m.amount, r) || grid.isBlankCell(m.quantity, r)) continue;
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

ChangedRows::ChangedRows(const LineGrid& grid, QObject* parent) : QObject(parent), grid_(grid) {
    connect(&grid, &LineGrid::dataChanged, this,
            [this](const QModelIndex& from, const QModelIndex& to, const QList<int>& roles) {
                // The current row's colour changes no cell.
                if (roles.isEmpty() || roles.contains(Qt::DisplayRole))
                    mark(from.row() + 1, to.row() + 1);
            });
    connect(&grid, &LineGrid::modelReset, this, &ChangedRows::markAll);
    connect(&grid, &LineGrid::rowsRemoved, this, &ChangedRows::markAll);
    connect(&grid, &LineGrid::rowsInserted, this, [this](const QModelIndex&, int, int last) {
        if (last + 1 < grid_.rows()) markAll();
    });
}

void ChangedRows::mark(int first, int last) {
    if (all_) return;
    for (int r = first; r <= last; ++r) {
        if (static_cast<std::size_t>(r) > marked_.size())
            marked_.resize(static_cast<std::size_t>(grid_.rows()), 0);
        char& seen = marked_[static_cast<std::size_t>(r - 1)];
        if (seen) continue;
        seen = 1;
        rows_.push_back(r);
    }
}

void ChangedRows::markAll() {
    all_ = true;
    rows_.clear();
    marked_.clear();
}

std::vector<int> ChangedRows::take() {
    std::vector<int> rows;
    if (all_) {
        for (int r = 1; r <= grid_.rows(); ++r) rows.push_back(r);
        marked_.assign(rows.size(), 0);
        all_ = false;
        return rows;
    }
    rows.swap(rows_);
    for (const int r : rows) marked_[static_cast<std::size_t>(r - 1)] = 0;
    std::sort(rows.begin(), rows.end());
    return rows;
}

void setSumCell(BillForm& form, ChangedRows& changed, int activeColumn) {
    if (activeColumn > 0 && activeColumn == form.columns.amount)
        followAmounts(form, changed.take());
    showSums(form);
}

void showSums(BillForm& form) {
    for (int c = 1; c <= form.columnCount; ++c) {
        if (form.isSumColumn(c)) form.strip.setSum(c, form.grid.columnSum(c));
    }
}

QString cellName(const BillForm& form, int c, int r) {
    return QStringLiteral("第%1行%2").arg(r).arg(captionStem(form.grid.column(c).caption));
}

std::optional<CellPos> findControlCharacterCell(const BillForm& form, entry::LoginContext& ctx,
                                                entry::Prompter& prompter) {
    const std::vector<StoredColumn> columns = storedColumns(form);
    for (const int r : billLineRows(form)) {
        for (const StoredColumn& s : columns) {
            if (form.grid.column(s.column).hasLookup() ||
                !db::holdsControlCharacter(form.grid.text(s.column, r)))
                continue;
            prompter.message(db::controlCharacterRefusal(cellName(form, s.column, r)),
                             entry::Icon::Exclamation, ctx.msgTitle);
            return CellPos{s.column, r};
        }
    }
    return std::nullopt;
}

std::optional<CellPos> findMissingRequiredCell(const BillForm& form, entry::LoginContext& ctx,
                                               entry::Prompter& prompter) {
    const LineGrid& grid = form.grid;
    const ColumnMap& m = form.columns;
    if (m.itemCode < 1) return std::nullopt;
    const int last = grid.lastDataRow();
    auto isLine = [&](int r) { return !grid.isBlankCell(m.itemCode, r); };
    for (int r = 1; m.quantity > 0 && r <= last; ++r) {
        if (!isLine(r)) continue;
        if (grid.isBlankCell(m.quantity, r) || grid.value(m.quantity, r) == 0) {
            // The column's number as the clerk counts it, and its caption.
            prompter.message(QStringLiteral("第%1行第%2列（%3）不能为空！")
                                 .arg(r)
                                 .arg(m.quantity)
                                 .arg(captionStem(grid.column(m.quantity).caption)),
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
