#pragma once

#include <QString>

namespace otherin::db {
class Connection;
}

namespace otherin::db::schema {

// Step 13: every bill carries fstockposted, 1 while its lines are on the
// current-stock ledger (tblTimeStock). Posting sets it and reversing clears
// it, so a bill is never posted twice nor taken off while not posted; the
// ledger then equals the lines of exactly the marked bills. Existing bills are
// marked by the posting switch: with gIsCheckUpdate 1 the audited ones, else
// every bill that is not voided.
//
// On a server the ledger is written only through functions run with the
// owner's rights (SECURITY DEFINER, search path pinned):
//   otherin_post(ids, direction)   1 posts the listed bills that are not
//       posted and count (not voided; audited when posting at audit), -1 takes
//       off the listed posted bills that are not audited; others are skipped.
//       Quantities and amounts come from the stored lines, so nothing a
//       caller says reaches the ledger but a bill id.
//   otherin_audit(ids, user, post) audits the listed open bills with G04 and,
//       asked to post, posts them in the same pass; answers how many
//   otherin_clean_ledger(ids)      drops the empty ledger rows among the keys
//       the listed bills' lines post to
//   otherin_set_price(bill, line, price, amount) the price edit of a line,
//       audited or not, with the ledger's amount moved along when the bill is
//       posted
void addStockPosting(Connection& connection);

// Step 16: the posting's and the audit's functions write the markers first
// and then move the ledger with one join planned for the number of bills, and
// the bills' pages keep room so those writes stay on their pages.
void speedUpPosting(Connection& connection);

// (Re)makes otherin_audit as this version writes it: it names the writer and
// the time of the bills it audits itself, marking its write for the writer
// trigger (otherin.stamped), and clears the emptied ledger rows when asked to
// post. Steps 13 and 16 make it through their posting functions, step 18 anew.
void addAuditFunction(Connection& connection);

// The ledger's move, in key order, for the bills of the id array `ids` signed
// by `direction` (SQL expressions of the function that runs it).
QString ledgerMoveSql(const QString& ids, const QString& direction);

}  // namespace otherin::db::schema
