#pragma once

namespace otherin::db {
class Connection;
}

namespace otherin::db::schema {

// Step 17: a new bill is saved without its number, which is issued as the
// save's last write, right before the commit, so the type's counter row is
// locked only for the commit and not for the whole save. On a server one
// function, run with the owner's rights, does that last write:
//   otherin_number_bill(bill, type, prefix, digits)
//       advances the type's counter until its number is carried by no bill of
//       the type (the counter's row made with `prefix` if missing), no longer
//       offers the number as freed, writes it into `bill` and answers it. Only
//       a bill this transaction made and left without a number is numbered.
// Nothing in a database file: there the module writes the tables itself.
void addLastNumbering(Connection& connection);

// Step 19: a new bill's posting and its number in one call of the owner's,
//   otherin_finish_bill(bill, type, prefix, digits, post)
//       posts the bill when `post` asks and otherin_post would post it (the
//       ledger's move and the empty rows' clean-up), then numbers it as
//       otherin_number_bill did, writing number and marker in one write.
//       otherin_number_bill is dropped: nothing calls it any more.
void addBillFinish(Connection& connection);

}  // namespace otherin::db::schema
