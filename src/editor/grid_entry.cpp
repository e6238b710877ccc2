#include "editor/grid_entry.h"

#include "db/sql_text.h"
#include "editor/bill_form.h"
#include "editor/grid_lookup.h"
#include "editor/line_checks.h"
#include "entry/edit_mode.h"
#include "entry/login_context.h"
#include "entry/prompter.h"

namespace otherin::editor {

bool GridEntry::leave(int c, int r, int c2, int r2) {
    LineGrid& grid = env_.form.grid;
    const bool leavesGrid = c2 == -1 || r2 == -1;
    if (env_.ctx.gEditMode == entry::kModeSplit) {
        // Only the rows of the loaded bill can be split.
        const bool toLine = leavesGrid || !grid.lineKey(r2).isEmpty();
        if (!checkSplitQuantity(r) || !toLine) return false;
    } else if (!leavesGrid && !grid.isReadOnly()) {
        // Lines are entered without gaps: every row above the new one holds an item.
        const int itemCode = env_.form.columns.itemCode;
        if (itemCode > 0 && r2 > 1 && grid.firstBlankRow(itemCode) < r2) {
            if (grid.column(c).hasLookup()) grid.setText(c, r, grid.code(c, r));
            return false;
        }
        if (!checkCell(c, r, c2, r2, true)) return false;
    }
    if (!leavesGrid) enter(c2, r2);
    return true;
}

bool GridEntry::complete() {
    EntryState& st = env_.state;
    const auto [c, r] = st.active;
    bool accepted = true;
    if (env_.ctx.gEditMode == entry::kModeSplit) {
        accepted = checkSplitQuantity(r);
    } else if (!env_.form.grid.isReadOnly()) {
        accepted = checkCell(c, r, c, r, false);
        if (accepted && env_.form.grid.column(c).lookupKindNumber() > 0)
            env_.form.grid.setText(c, r, env_.form.grid.code(c, r));
    }
    st.cellAccepted = accepted;
    if (accepted) st.cellTyped = false;
    return accepted;
}

bool GridEntry::checkCell(int c, int r, int c2, int r2, bool moving) {
    BillForm& form = env_.form;
    LineGrid& grid = form.grid;
    EntryState& st = env_.state;
    if (grid.text(c, r).trimmed().isEmpty()) {
        grid.clearCell(c, r);
        if (c > 0 && c == form.columns.itemCode) clearItemDetails(form, r);
    }
    const QString text = grid.text(c, r);
    // Pasted control characters are refused in any cell, every time: the
    // cursor stays until the clerk removes them.
    if (db::holdsControlCharacter(text)) {
        env_.prompter.message(db::controlCharacterRefusal(cellName(form, c, r)),
                              entry::Icon::Exclamation, env_.ctx.msgTitle);
        st.cellAccepted = false;
        return false;
    }
    // A code refused once is let through silently once, so the user can leave
    // the cell; the next attempt checks it again.
    if (!text.isEmpty() && !st.rejectedCellText.isEmpty() &&
        text.compare(st.rejectedCellText, Qt::CaseInsensitive) == 0) {
        st.rejectedCellText.clear();
        st.cellAccepted = false;
        return false;
    }
    if (moving) keepRoomBelow(r2);
    return lookup_.confirm(c, r, c2, r2);
}

// However the cursor got where it is, by keys, a click or a loaded bill
// longer than the grid.
void GridEntry::keepRoomBelow(int r) {
    LineGrid& grid = env_.form.grid;
    while (r + 10 >= grid.rows()) grid.appendRow();
}

bool GridEntry::checkSplitQuantity(int r) {
    BillForm& form = env_.form;
    LineGrid& grid = form.grid;
    const int split = form.splitColumn;
    const int quantity = form.columns.quantity;
    if (split < 1 || grid.text(split, r).trimmed().isEmpty() ||
        grid.value(split, r) <= grid.value(quantity, r))
        return true;
    grid.setText(split, r, grid.text(quantity, r));
    env_.prompter.message(QStringLiteral("拆分数量不能大于原有数量！"), entry::Icon::Critical,
                          env_.ctx.msgTitle);
    env_.state.cellAccepted = false;
    return false;
}

void GridEntry::enter(int c, int r) {
    EntryState& st = env_.state;
    LineGrid& grid = env_.form.grid;
    st.active = {c, r};
    st.cellTyped = false;
    st.focus = Focus::Grid;
    grid.setCurrentRow(r);
    st.lineCommandsEnabled = !grid.isReadOnly();
    offerLookup(c, r);
}

// While the cursor is in a look-up cell it shows the code, so codes are edited.
void GridEntry::offerLookup(int c, int r) {
    EntryState& st = env_.state;
    LineGrid& grid = env_.form.grid;
    const bool open = lookup_.mayChange(c, r);
    if (c > 0 && c == env_.form.columns.batch) {
        st.lookupButtonEnabled = open;
        return;
    }
    const GridColumn& column = grid.column(c);
    if (!column.hasLookup()) {
        st.lookupButtonEnabled = false;
        return;
    }
    st.lookupButtonEnabled = open && column.lookupKindNumber() > 0;
    grid.setText(c, r, grid.code(c, r));
}

}  // namespace otherin::editor
