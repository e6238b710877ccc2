#pragma once

#include "editor/entry_state.h"
#include "stock/item_lookup.h"

namespace otherin::editor {

// Empties what an item put into line r: name, model and unit.
void clearItemDetails(BillForm& form, int r);

// Turns codes typed into look-up cells into records, and lets the user pick
// records, units and batches for the active line.
class GridLookup {
  public:
    explicit GridLookup(EntryEnv& env) : env_(env) {}

    // Confirms the code typed into (c, r) as the cursor leaves for (c2, r2):
    // fills the cell and, for an item, the rest of the line. False when the
    // code names no record or the database failed; either has been told once
    // and the cell refused.
    bool confirm(int c, int r, int c2, int r2);
    // The look-up command on (c, r): the batch picker on the batch column, the
    // column's selector elsewhere. True when the grid changed. A read-only
    // grid or a locked cell opens nothing and changes nothing.
    bool lookup(int c, int r);
    // Whether the user may change cell (c, r): the grid is editable and the
    // column not locked.
    bool mayChange(int c, int r) const;

  private:
    void fillItem(int c, int r, bool keepUnit);
    stock::LookupAnswer keepsUnit(int r, const QString& unitGroup);
    void reject(int c, int r, stock::LookupAnswer answer);
    bool pickBatch(int r);
    bool applyChoice(int c, int r, const entry::SelectorAnswer& answer);

    EntryEnv& env_;
};

}  // namespace otherin::editor
