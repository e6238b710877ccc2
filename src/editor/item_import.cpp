#include "editor/item_import.h"

#include <algorithm>
#include <vector>

#include "db/db_error.h"
#include "db/transaction.h"
#include "editor/bill_form.h"
#include "entry/error_report.h"
#include "entry/login_context.h"

namespace otherin::editor {

namespace {

struct InputRow {
    QString unitGroup;
    QString itemId;
    QString stockId;
    QString unitId;
    double qty = 0;
    QString itemNumber;
    QString itemName;
    QString model;
    QString unitNumber;
    QString unitName;
};

// The user's rows with the codes and names behind their ids; a row whose item
// or unit has gone keeps empty texts.
std::vector<InputRow> takeInputRows(entry::LoginContext& ctx) {
    entry::ConnectionScope scope(ctx);
    db::TransactionGuard tx(ctx.gConnection);
    const qlonglong user = ctx.gLoginUserId.trimmed().toLongLong();
    db::Query q = ctx.gConnection.prepare(QStringLiteral(
        "select b.fUnitParentId,a.fitemid,a.fstockid,a.funitid,a.fqty,"
        "coalesce(b.fNumber,'') as fItemIdNumber,coalesce(b.fname,'') as fItemIdName,"
        "coalesce(b.fmodel,'') as fModel,coalesce(d.fNumber,'') as fUnitIdNumber,"
        "coalesce(d.fname,'') as fUnitIdName"
        " from tblItemInput as a"
        " left outer join icitem as b on a.fitemid=b.fitemid"
        " left outer join tblMeasureUnit as d on d.fitemid=a.funitid"
        // staged rows carry no position of their own; without an order the
        // server may return them in any order
        " where a.fuserid=? order by a.fitemid"));
    q.bind(user).exec();
    std::vector<InputRow> rows;
    while (q.next()) {
        rows.push_back({q.value(0).isNull() ? QString() : q.value(0).toString(),
                        q.value(1).toString(), q.value(2).toString(), q.value(3).toString(),
                        q.value(4).toDouble(), q.value(5).toString(), q.value(6).toString(),
                        q.value(7).toString(), q.value(8).toString(), q.value(9).toString()});
    }
    ctx.gConnection.exec(QStringLiteral("delete from tblItemInput where fuserid=?"), {user});
    tx.commit();
    return rows;
}

void fillRow(BillForm& form, int r, const InputRow& in) {
    LineGrid& grid = form.grid;
    const ColumnMap& col = form.columns;
    if (col.itemCode > 0) grid.setCell(col.itemCode, r, in.itemNumber, in.itemId, in.itemNumber);
    if (col.itemName > 0) grid.setText(col.itemName, r, in.itemName);
    if (col.itemModel > 0) grid.setText(col.itemModel, r, in.model);
    if (col.quantity > 0) grid.setNumber(col.quantity, r, in.qty);
    if (col.unit > 0) grid.setCell(col.unit, r, in.unitName, in.unitId, in.unitNumber);
    grid.setText(form.unitGroupColumn(), r, in.unitGroup);
    grid.setText(form.warehouseColumn(), r, in.stockId);
}

}  // namespace

std::optional<int> importItemInput(entry::LoginContext& ctx, entry::Prompter& prompter,
                                   BillForm& form, int activeRow) {
    std::vector<InputRow> rows;
    try {
        rows = takeInputRows(ctx);
    } catch (const db::DbError& e) {
        entry::reportError(ctx, prompter, e.message());
        return std::nullopt;
    }
    if (rows.empty()) return 0;
    LineGrid& grid = form.grid;
    LineGrid::BulkChange bulk(grid);
    const int first = std::max(activeRow, 1);
    while (grid.rows() < first) grid.appendRow();
    for (int k = 0; k < static_cast<int>(rows.size()); ++k) {
        if (k > 0) grid.insertRowAt(first + k);
        fillRow(form, first + k, rows[static_cast<std::size_t>(k)]);
    }
    return static_cast<int>(rows.size());
}

}  // namespace otherin::editor
