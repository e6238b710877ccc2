#pragma once

namespace otherin::db {
class Connection;
}

namespace otherin::bill {

// The stored procedures of the bill database, for the embedded database where
// they are ours to provide. Each runs in its own transaction (joining the
// caller's when one is open) and answers intValue 1 when done, 0 when it
// refused (nothing written), with strInfo the text for the user. Malformed ids
// raise db::DbError.
//
//   sp_QV_splitSave(finterid, strvalue, strInfo, intValue, fyear, fperiod)
//     Cuts the quantities of the split list (one entry per line, in line order,
//     each closed by a comma) off an audited bill into a new audited bill that
//     points back at it (frscinterid); each new line remembers its source line
//     (fsrcentryid). Amounts go in proportion, to whole cents, the remainder
//     stays on the source. The ledger is untouched: both bills count.
//   sp_QV_restoreBill(finterid, fyear, fperiod, strInfo, intValue)
//     Puts a split bill back into its source and frees its number; given a
//     source bill, does so for every bill split from it.
//   sp_QV_hxBill(finterids, fyear, fperiod, strInfo, intValue)
//     Writes off the bills of an id list against each other under one new
//     write-off id (fhxid) when their quantities net to zero per item, unit,
//     batch and stock place.
//   sp_QV_unhxBill(finterid, fyear, fperiod, strInfo, intValue)
//     Clears the write-off of every bill sharing the given bill's write-off id.
//
// Registering again changes nothing; a procedure already registered under one
// of these names is left in place.
void registerEmbeddedProcedures(db::Connection& connection);

}  // namespace otherin::bill
