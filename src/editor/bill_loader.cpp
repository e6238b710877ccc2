#include "editor/bill_loader.h"

#include <cmath>

#include "db/connection.h"
#include "editor/bill_form.h"
#include "editor/bill_values.h"
#include "entry/login_context.h"

namespace otherin::editor {

namespace {

QString textOf(const db::Query& q, const QString& column) {
    return q.value(column).toString().trimmed();
}

QString numberText(double v) {
    return QString::number(v, 'g', 15);
}

bool isZeroOrEmpty(const QString& text) {
    const QString t = text.trimmed();
    return t.isEmpty() || t == QLatin1String("0");
}

void readHeader(const db::Query& q, const BillForm& form, LoadedBill& bill) {
    for (const HeaderField& f : form.header) {
        const QString name = f.fieldName.trimmed();
        if (name.isEmpty()) continue;
        if (isZeroOrEmpty(f.fieldType)) {
            QString text = textOf(q, name);
            // Dates come back as the database keeps them; the field shows the day.
            if (&f == dateField(form) && parseDate(text).isValid())
                text = dateText(parseDate(text));
            bill.header.push_back({f.index, text, QString(), QString()});
        } else if (!f.itemClass.trimmed().isEmpty()) {
            const QString shown = textOf(q, QStringLiteral("Name") + name);
            const QString code = f.fieldType.trimmed() == QLatin1String("5")
                                     ? shown
                                     : textOf(q, QStringLiteral("Number") + name);
            bill.header.push_back({f.index, shown, textOf(q, name), code});
        }
    }
    bill.makerName = textOf(q, QStringLiteral("fOperatorName"));
    bill.makerCode = textOf(q, QStringLiteral("fOperator"));
    bill.checkerName = textOf(q, QStringLiteral("fCheckerName"));
    bill.checkerCode = textOf(q, QStringLiteral("fchecker"));
}

// Red bills store these columns negated; the grid shows them as typed.
bool shownUnsigned(const ColumnMap& m, int c) {
    for (const int role : {m.quantity, m.price, m.role7, m.amount, m.role10}) {
        if (role > 0 && role == c) return true;
    }
    return false;
}

LoadedLine readLine(const db::Query& q, const BillForm& form) {
    const ColumnMap& m = form.columns;
    LoadedLine line;
    line.lineId = textOf(q, QStringLiteral("fentryid"));
    auto put = [&line, &form](int c, const QString& text, const QString& key = QString(),
                              const QString& code = QString()) {
        if (c < 1) return;
        auto& into = form.grid.column(c).formula ? line.formulaCells : line.cells;
        into.push_back({c, text, key, code});
    };
    const QString itemCode = textOf(q, QStringLiteral("fitemIdNumber"));
    put(m.itemCode, itemCode, textOf(q, QStringLiteral("fitemid")), itemCode);
    put(m.itemName, textOf(q, QStringLiteral("fItemIdname")));
    put(m.itemModel, textOf(q, QStringLiteral("fModel")));
    put(form.unitGroupColumn(), textOf(q, QStringLiteral("fUnitParentId")));
    put(form.warehouseColumn(), textOf(q, QStringLiteral("fItemStockId")));
    for (const StoredColumn& s : storedColumns(form)) {
        const int c = s.column;
        const QString& f = s.fieldName;
        if (c == m.itemCode) continue;
        if (form.grid.column(c).hasLookup()) {
            put(c, textOf(q, QStringLiteral("Name") + f), textOf(q, f),
                textOf(q, QStringLiteral("Number") + f));
        } else if (shownUnsigned(m, c)) {
            put(c, numberText(std::abs(q.value(f).toDouble())));
        } else if (c == m.role8) {
            put(c, numberText(std::abs(q.value(f).toDouble()) * 100));
        } else {
            put(c, q.value(f).toString());
        }
    }
    return line;
}

void fill(LineGrid& grid, int r, const std::vector<LoadedValue>& cells) {
    for (const LoadedValue& v : cells) grid.setCell(v.at, r, v.text, v.key, v.code);
}

}  // namespace

std::optional<LoadedBill> readBill(entry::LoginContext& ctx, const BillForm& form) {
    entry::ConnectionScope connection(ctx);
    // The view's name is this module's constant, never typed.
    db::Query q = ctx.gConnection.prepare(
        QStringLiteral("select * from %1 where finterid=? order by forderid").arg(ctx.gViewName));
    q.bind(ctx.gCurrentInterId).exec();
    if (!q.next()) return std::nullopt;
    LoadedBill bill;
    readHeader(q, form, bill);
    do {
        bill.status = q.value(QStringLiteral("fstatus")).toInt();
        bill.red = q.value(QStringLiteral("frob")).toInt();
        bill.lines.push_back(readLine(q, form));
    } while (q.next());
    return bill;
}

void showBill(entry::LoginContext& ctx, BillForm& form, const LoadedBill& bill) {
    ctx.gLoadingBill = 1;
    for (const LoadedValue& v : bill.header) {
        if (HeaderField* f = form.headerField(v.at)) {
            f->text = v.text;
            f->keyValue = v.key;
            f->code = v.code;
        }
    }
    LineGrid& grid = form.grid;
    {
        LineGrid::BulkChange bulk(grid);
        grid.clearCells();
        const int count = static_cast<int>(bill.lines.size());
        while (grid.rows() < count) grid.appendRow();
        for (int r = 1; r <= count; ++r) {
            const LoadedLine& line = bill.lines[static_cast<std::size_t>(r - 1)];
            grid.setLineKey(r, line.lineId);
            fill(grid, r, line.cells);
            fill(grid, r, line.formulaCells);
        }
    }
    ctx.gLoadingBill = 0;
}

}  // namespace otherin::editor
