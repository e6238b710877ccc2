#include "editor/grid_lookup.h"

#include "editor/bill_form.h"
#include "editor/item_import.h"
#include "entry/conversions.h"
#include "entry/login_context.h"
#include "entry/prompter.h"
#include "stock/item_lookup.h"

namespace otherin::editor {

namespace {

QString chooseItemFirst() {
    return QStringLiteral("请先选择存货！");
}

}  // namespace

void clearItemDetails(BillForm& form, int r) {
    const ColumnMap& m = form.columns;
    if (m.itemName > 0) form.grid.setText(m.itemName, r, QString());
    if (m.itemModel > 0) form.grid.setText(m.itemModel, r, QString());
    if (m.unit > 0) {
        form.grid.setText(m.unit, r, QString());
        form.grid.setCode(m.unit, r, QString());
    }
}

bool GridLookup::confirm(int c, int r, int c2, int r2) {
    BillForm& form = env_.form;
    LineGrid& grid = form.grid;
    const GridColumn& column = grid.column(c);
    if (!column.hasLookup()) return true;
    const QString typed = grid.text(c, r).trimmed();
    if (typed.isEmpty()) {
        if (c == form.columns.itemCode) {
            clearItemDetails(form, r);
            grid.clearCell(c, r);
        }
        return true;
    }
    const int kind = column.lookupKindNumber();
    int unitGroup = 0;
    if (kind == stock::kClassUnit) {
        unitGroup = entry::toLong(grid.text(form.unitGroupColumn(), r));
        if (unitGroup == 0) {
            env_.prompter.message(chooseItemFirst(), entry::Icon::Critical, env_.ctx.msgTitle);
            grid.setText(c, r, QString());
            return true;
        }
    }
    const stock::LookupAnswer answer = stock::lookupCode(
        env_.ctx, env_.prompter, column.fieldType.trimmed().toInt(), kind, typed, unitGroup);
    if (answer != stock::LookupAnswer::Found) {
        reject(c, r, answer);
        return false;
    }
    const entry::LookupRecord& found = env_.ctx.lookup;
    if (kind == stock::kClassItem) {
        const stock::LookupAnswer unitFits = keepsUnit(r, found.unitGroup);
        if (unitFits == stock::LookupAnswer::Failed) {
            reject(c, r, unitFits);
            return false;
        }
        fillItem(c, r, unitFits == stock::LookupAnswer::Found);
    } else {
        grid.setCell(c, r, found.name, found.id, found.code);
        if (kind == stock::kClassUnit) grid.setText(form.unitFactorColumn(), r, found.unitFactor);
    }
    env_.state.lastPosition = {c2, r2};
    return true;
}

// The unit a line keeps when its item changes: only one of the new item's
// unit group, so a quantity is never counted in a unit the item has not.
// Found: the line's unit is of the group. When the database cannot tell, the
// item is refused rather than given a unit nobody checked.
stock::LookupAnswer GridLookup::keepsUnit(int r, const QString& unitGroup) {
    const BillForm& form = env_.form;
    const int unit = form.columns.unit;
    if (unit < 1 || form.grid.text(unit, r).trimmed().isEmpty())
        return stock::LookupAnswer::NotFound;
    bool isId = false;
    const int unitId = form.grid.key(unit, r).trimmed().toInt(&isId);
    if (!isId) return stock::LookupAnswer::NotFound;
    return stock::unitInGroup(env_.ctx, env_.prompter, unitId, unitGroup.toInt());
}

// The item's own unit is proposed when the line has none of the item's unit
// group yet, with its factor, so the line is complete whichever cell the
// cursor goes to next.
void GridLookup::fillItem(int c, int r, bool keepUnit) {
    BillForm& form = env_.form;
    LineGrid& grid = form.grid;
    const ColumnMap& m = form.columns;
    const entry::LookupRecord item = env_.ctx.lookup;
    grid.setCell(c, r, item.code, item.id, item.code);
    if (m.itemName > 0) grid.setText(m.itemName, r, item.name);
    if (m.itemModel > 0) grid.setText(m.itemModel, r, item.model);
    grid.setText(form.itemUnitFactorColumn(), r, item.itemUnitFactor);
    grid.setText(form.purchasePriceColumn(), r, item.purchasePrice);
    grid.setText(form.unitGroupColumn(), r, item.unitGroup);
    grid.setText(form.warehouseColumn(), r, item.defaultWarehouse);
    if (m.unit > 0 && !keepUnit) {
        grid.setCell(m.unit, r, item.unitName, item.unitId, item.unitCode);
        grid.setText(form.unitFactorColumn(), r, item.itemUnitFactor);
    }
}

void GridLookup::reject(int c, int r, stock::LookupAnswer answer) {
    BillForm& form = env_.form;
    LineGrid& grid = form.grid;
    grid.setKey(c, r, QString());
    grid.setCode(c, r, QString());
    env_.state.rejectedCellText = grid.text(c, r);
    if (c == form.columns.itemCode) {
        clearItemDetails(form, r);
        for (int hidden : {form.itemUnitFactorColumn(), form.purchasePriceColumn(),
                           form.unitGroupColumn(), form.warehouseColumn()})
            grid.setText(hidden, r, QString());
    }
    // The code is named, so the user sees which of several typed codes failed.
    // A failed look-up has been told as the database's error: the code may be
    // right, so it is not called unknown.
    if (answer == stock::LookupAnswer::NotFound && c == form.columns.unit) {
        // A unit is looked for among the item's own units only: say so.
        env_.prompter.message(
            QStringLiteral("数据录入错误!第%1行单位“%2”不是物料“%3”的计量单位,请按F7从该物料的"
                           "计量单位中选择")
                .arg(r)
                .arg(grid.text(c, r).trimmed(), grid.text(form.columns.itemCode, r).trimmed()),
            entry::Icon::Critical, env_.ctx.msgTitle);
    } else if (answer == stock::LookupAnswer::NotFound) {
        env_.prompter.message(
            QStringLiteral("数据录入错误!找不到代码“%1”").arg(grid.text(c, r).trimmed()),
            entry::Icon::Critical, env_.ctx.msgTitle);
    }
    env_.state.cellAccepted = false;
}

bool GridLookup::mayChange(int c, int r) const {
    const LineGrid& grid = env_.form.grid;
    return c > 0 && r > 0 && !grid.isReadOnly() && !grid.column(c).locked;
}

bool GridLookup::lookup(int c, int r) {
    BillForm& form = env_.form;
    // A line that may not be typed into is not changed by a pick either.
    if (!mayChange(c, r)) return false;
    if (c == form.columns.batch) return pickBatch(r);
    const GridColumn& column = form.grid.column(c);
    if (!column.hasLookup()) return false;
    const entry::LoginContext& ctx = env_.ctx;
    const entry::Selectors& sel = env_.selectors;
    const int type = column.fieldType.trimmed().toInt();
    const int kind = column.lookupKindNumber();
    entry::SelectorAnswer answer;
    if (type == 1 && kind == stock::kClassUnit) {
        const int unitGroup = entry::toLong(form.grid.text(form.unitGroupColumn(), r));
        if (unitGroup == 0) {
            env_.prompter.message(chooseItemFirst(), entry::Icon::Exclamation, ctx.msgTitle);
            return false;
        }
        if (sel.unit)
            answer = sel.unit->choose({QString::fromLatin1(entry::kUnitSelectorCode),
                                       ctx.gItemClassList, ctx.DBConnectionString, unitGroup});
    } else if (type == 1 && sel.record) {
        // A column of another class (仓位) lists its own records, not items.
        const QString itemClass =
            kind == stock::kClassItem ? QString() : column.lookupKind.trimmed();
        answer = sel.record->choose({QString::fromLatin1(entry::kRecordSelectorCode),
                                     ctx.gItemClassList, ctx.DBConnectionString, ctx.gSeekItem,
                                     form.grid.text(c, r), itemClass, ctx.gLoginUserId});
        // Several chosen items wait in the user's tblItemInput rows: they are
        // brought into the grid from this row on.
        if (answer.manyItems()) {
            if (kind != stock::kClassItem) return false;
            const auto filled = importItemInput(env_.ctx, env_.prompter, form, r);
            return filled && *filled > 0;
        }
    } else if (type == 2 && sel.second) {
        answer = sel.second->choose({QString::fromLatin1(entry::kSecondSelectorCode),
                                     ctx.gItemClassList, ctx.DBConnectionString, QString()});
    }
    if (!answer.chosen()) return false;
    return applyChoice(c, r, answer);
}

// The chosen record is confirmed like a typed code, so the line gets the same
// name, unit and hidden values; the cursor stays, so the cell shows the code.
bool GridLookup::applyChoice(int c, int r, const entry::SelectorAnswer& answer) {
    LineGrid& grid = env_.form.grid;
    grid.setCell(c, r, answer.code, answer.key, answer.code);
    confirm(c, r, c, r);
    if (grid.column(c).lookupKindNumber() > 0) grid.setText(c, r, grid.code(c, r));
    return true;
}

bool GridLookup::pickBatch(int r) {
    BillForm& form = env_.form;
    entry::LoginContext& ctx = env_.ctx;
    const QString itemId =
        form.columns.itemCode > 0 ? form.grid.key(form.columns.itemCode, r) : QString();
    if (itemId.isEmpty() || !env_.selectors.batchPicker) return false;
    ctx.batchItemId = itemId;
    ctx.pickedBatch.clear();
    ctx.pickedUnitCost.clear();
    env_.selectors.batchPicker->pick(ctx);
    bool changed = false;
    if (!ctx.pickedBatch.isEmpty()) {
        form.grid.setText(form.columns.batch, r, ctx.pickedBatch);
        changed = true;
    }
    // Closing the picker without a choice leaves the price as it was, and so
    // does a price column that is not open to changes.
    if (mayChange(form.columns.price, r) && !ctx.pickedUnitCost.trimmed().isEmpty()) {
        form.grid.setText(form.columns.price, r, ctx.pickedUnitCost.trimmed());
        changed = true;
    }
    ctx.pickedBatch.clear();
    ctx.pickedUnitCost.clear();
    return changed;
}

}  // namespace otherin::editor
