#pragma once

#include <vector>

#include "bill/bill_draft.h"

namespace otherin::bill {
struct SaveOutcome;
}

namespace otherin::editor {

class BillForm;

// The bill on the form as the saves write it: the header fields the layout
// writes, the number and date fields, and grid rows `rows` (in this order)
// with their stored columns and line ids, every value in its stored form.
bill::BillDraft draftOf(const BillForm& form, bool redBill, const std::vector<int>& rows,
                        qint32 interId, int version);

// Rows 1 to the last row with data that hold a stored line (a line id).
std::vector<int> storedLineRows(const BillForm& form);

// After a save of rows `rows`: the number field shows the number the bill
// got (which need not be the one previewed or typed), and the rows carry
// their entry ids, so a later change keeps them.
void showSaved(BillForm& form, const std::vector<int>& rows, const bill::SaveOutcome& saved);

}  // namespace otherin::editor
