#pragma once

#include <QString>

namespace otherin::db {
class Connection;
}

namespace otherin::db::schema {

// Step 12: on a server the numbering counters (tblMaxBillNo, tblmaxNum) and
// the freed numbers (tblBillNoAdd) are written only through these functions,
// run with the owner's rights (SECURITY DEFINER, search path pinned), so a
// clerk may take the next id or number but never set a counter back:
//   otherin_next_id(table)              the next internal id of `table`
//   otherin_advance_counter(type, prefix) the type's number counter, advanced
//                                       (its row made at 1, with `prefix`, if missing)
//   otherin_take_freed(type)            the oldest freed number still usable,
//                                       locked for the caller's save; the
//                                       unusable ones are dropped
//   otherin_forget_freed(type, number)  a number in use is offered no more
//   otherin_free_number(type, number)   a deleted or restored bill's number
//                                       is offered again
// Nothing in a database file: there the module writes the tables itself.
void addNumberingFunctions(Connection& connection);

// Makes (or replaces) a PL/pgSQL function run with its owner's rights, its
// search path pinned to the module's schema with the temporary schema last,
// and callable by nobody until granted (the clerks' group is granted every
// function of the schema).
void addDefinerFunction(Connection& connection, const QString& signature, const QString& body);

}  // namespace otherin::db::schema
