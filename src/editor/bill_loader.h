#pragma once

#include <QString>
#include <optional>
#include <vector>

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

struct LoadedLine {
    QString lineId;  // the stored fentryid
    std::vector<LoadedValue> cells;
    // Formula cells (the amount) are written after the cells they follow, so
    // they keep the stored value instead of a recomputed one.
    std::vector<LoadedValue> formulaCells;
};

struct LoadedBill {
    std::vector<LoadedValue> header;
    QString makerName;
    QString makerCode;
    QString checkerName;
    QString checkerCode;
    int status = 0;  // 1 or more: audited
    int red = 0;     // frob
    std::vector<LoadedLine> lines;
};

// Reads bill ctx.gCurrentInterId from the bill view ctx.gViewName, shaped by
// the form's layout. None when the view has no row of it; db::DbError when a
// column the layout needs is missing. Nothing on screen changes.
std::optional<LoadedBill> readBill(entry::LoginContext& ctx, const BillForm& form);

// Puts a read bill into the form: header fields, grid rows with their line
// ids; every other row of the grid is emptied, keys and codes included.
void showBill(entry::LoginContext& ctx, BillForm& form, const LoadedBill& bill);

}  // namespace otherin::editor
