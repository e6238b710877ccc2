#pragma once

namespace otherin::editor {

struct SaveEnv;

// Stores the bill on screen as a new bill: the checks, then in one
// transaction the header, the lines, the ledger posting (when stock moves at
// save) and the period. On success ctx.gCurrentInterId is the new id and the
// grid's lines carry their line ids. Refusals and failures have been told.
bool saveNewBill(SaveEnv& env);

}  // namespace otherin::editor
