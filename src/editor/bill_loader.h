#pragma once

#include <QString>
#include <optional>
#include <vector>

#include "editor/line_grid.h"

namespace otherin::entry {
struct LoginContext;
}

namespace otherin::editor {

class BillForm;

// One cell or header field as read from the bill view.
struct LoadedValue {
    int at = 0;  // grid column or header field index
    QString text;
    QString key;
    QString code;
};

struct LoadedBill {
    std::vector<LoadedValue> header;
    QString makerName;
    QString makerCode;
    QString checkerName;
    QString checkerCode;
    int status = 0;   // 1 or more: audited
    int red = 0;      // frob
    int version = 0;  // what a save names, so it writes over this state only
    // The lines as grid rows 1..n, each with its stored fentryid as the key
    // of column 0.
    std::vector<LineGrid::Row> rows;
    // Formula columns read from the view: they keep the stored value (an
    // amount stays as saved) instead of one computed from the line.
    std::vector<int> storedFormulas;
};

// Reads bill ctx.gCurrentInterId from the bill view ctx.gViewName, shaped by
// the form's layout. None when the view has no row of it; db::DbError when a
// column the layout needs is missing. Nothing on screen changes.
std::optional<LoadedBill> readBill(entry::LoginContext& ctx, const BillForm& form);
// The select readBill runs (its one bound value is the bill's id): only the
// view's columns the layout shows, so the driver converts nothing else.
QString billSelect(const entry::LoginContext& ctx, const BillForm& form);

// Puts a read bill into the form: header fields, grid rows with their line
// ids, and the strip's sums of them; every other row of the grid is emptied,
// keys and codes included. The rows move into the grid: bill.rows is left
// empty.
void showBill(entry::LoginContext& ctx, BillForm& form, LoadedBill& bill);

}  // namespace otherin::editor
