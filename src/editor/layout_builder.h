#pragma once

namespace otherin::entry {
struct LoginContext;
class Prompter;
}  // namespace otherin::entry

namespace otherin::editor {

class BillForm;

// Lays the bill out from the layout tables of the context's bill type: grid
// size, the user's hidden columns, header fields, grid columns with their
// roles, formulas and sums, and in split mode the split-quantity column.
// A database error is shown in a plain message box and ends the layout where
// it happened; what was built stays. True when the layout was built whole.
bool buildLayout(entry::LoginContext& ctx, entry::Prompter& prompter, BillForm& form);

}  // namespace otherin::editor
