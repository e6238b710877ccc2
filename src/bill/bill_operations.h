#pragma once

#include <QString>

namespace otherin::entry {
struct LoginContext;
class Prompter;
}  // namespace otherin::entry

namespace otherin::bill {

// The operations on a list of bills ("12,15,31"). Each opens the connection,
// checks every bill and stops at the first refusal (told to the user, nothing
// written), then does its writes and its ledger posting in one transaction.
// The checks run inside that transaction, under the database's write lock,
// and every status update only touches bills still in the state checked, so
// a bill changed by another user in between is refused, never posted twice.
// A database error is shown, rolls everything back and answers false.

// Audits the bills of `idList`; the editor calls it with one id.
bool checkBill(entry::LoginContext& ctx, entry::Prompter& prompter, const QString& idList);
// Un-audits / voids / un-voids / deletes the bills of ctx.gIdList.
bool unCheckBill(entry::LoginContext& ctx, entry::Prompter& prompter);
bool cancelBill(entry::LoginContext& ctx, entry::Prompter& prompter);
bool unCancelBill(entry::LoginContext& ctx, entry::Prompter& prompter);
bool deleteBill(entry::LoginContext& ctx, entry::Prompter& prompter);

}  // namespace otherin::bill
