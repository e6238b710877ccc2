#pragma once

#include <QString>

#include "entry/selectors.h"

namespace otherin::entry {
struct LoginContext;
class Prompter;
}  // namespace otherin::entry

namespace otherin::editor {

class BillForm;

struct CellPos {
    int column = 0;
    int row = 0;
    bool operator==(const CellPos&) const = default;
};

enum class Focus { None, Header, Date, Grid };

// What line entry remembers between events.
struct EntryState {
    bool changed = false;         // unsaved changes since the bill was shown or saved
    bool cellAccepted = true;     // false once the leave check rejected the current cell
    QString rejectedCellText;     // text of the last grid cell whose look-up failed
    CellPos lastPosition;         // where the cursor went after the last good grid look-up
    QString confirmedHeaderName;  // name of the record chosen in the header field being edited
    bool lookupButtonEnabled = false;
    bool lineCommandsEnabled = false;  // insert, delete and copy line
    Focus focus = Focus::None;
    int focusedHeader = 0;     // fIndex of the header field with the focus
    bool headerTyped = false;  // typed into that field since it was entered or checked
    CellPos active{1, 1};      // the grid's cursor
    bool cellTyped = false;    // typed into the active cell since it was entered or checked
    bool negativePriceConfirmed = false;  // the clerk kept a negative price on this blue bill
    QString dateOnEntry;                  // the date field's text when the cursor came in
    QString dateOutsideYearConfirmed;     // a date of another year the clerk said is meant
};

// Everything the parts of line entry work on.
struct EntryEnv {
    entry::LoginContext& ctx;
    entry::Prompter& prompter;
    entry::Selectors selectors;
    BillForm& form;
    EntryState state;
};

}  // namespace otherin::editor
