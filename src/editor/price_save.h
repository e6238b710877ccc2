#pragma once

namespace otherin::editor {

struct SaveEnv;

// The save of the price-edit mode: each loaded line of ctx.gCurrentInterId
// gets the price and amount shown, in one transaction. While the bill's lines
// count in the ledger (stock moving at save and the bill not voided, or
// moving at audit and the bill audited) the ledger amounts move with them.
// Failures have been told.
bool savePrices(SaveEnv& env);

}  // namespace otherin::editor
