#pragma once

#include <QtGlobal>

namespace otherin::entry {
struct LoginContext;
class Prompter;
}  // namespace otherin::entry

namespace otherin::bill {

// Write-off, un-write-off and restore are the database's procedures: these
// hand them the bills with the current year and period, show the answer they
// give (information icon, whether they did it or refused) and answer true. A
// database error is shown as its own text in a plain OK/Cancel box, the
// connection is closed and the answer is false.

// Writes off the bills of ctx.gIdList against each other.
bool hxBill(entry::LoginContext& ctx, entry::Prompter& prompter);
// Reverses the write-off that bill `interId` belongs to.
bool unHxBill(entry::LoginContext& ctx, entry::Prompter& prompter, qint32 interId);
// Puts split bill `interId` back into its source, or every bill split from it.
bool restoreBill(entry::LoginContext& ctx, entry::Prompter& prompter, qint32 interId);

// True when bill ctx.gCurrentInterId may be split: audited, not voided, dated
// on or after the first day of the current year and period, not itself cut
// from another bill, not reconciled and not written off. A refusal is told to
// the user and closes the connection; on true it stays open for the editor.
bool splitCheck(entry::LoginContext& ctx, entry::Prompter& prompter);

}  // namespace otherin::bill
