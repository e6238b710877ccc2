#pragma once

namespace otherin::editor {

struct SaveEnv;

// The save of a changed bill (ctx.gCurrentInterId) in its two steps.
//
// The checks: the period, the right G02, the header and the lines, the
// default warehouses, a typed number not used by another bill, and the stored
// bill still open to changes by this user. Refusals have been told.
bool checkChangedBill(SaveEnv& env);

// The write, in one transaction: the stored lines leave the ledger, the
// header is updated (only while the bill is still neither audited nor voided:
// a bill another user audited or voided since the checks is refused and
// nothing changes), the lines are replaced keeping their entry ids, the new
// lines are posted and the period is set. New lines get their entry ids in
// the grid. Failures have been told.
bool writeChangedBill(SaveEnv& env);

}  // namespace otherin::editor
