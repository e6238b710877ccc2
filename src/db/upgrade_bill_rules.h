#pragma once

namespace otherin::db {
class Connection;
struct ServerRoles;
}  // namespace otherin::db

namespace otherin::db::schema {

// Step 15: on a server, the rights and states the windows check are checked
// again by the server, so a clerk with plain SQL meets the same refusals (in
// the module's words) as in the windows:
// - a bill is made with G01, changed with G02 (its lines too, unless the
//   bill was made in the same transaction), deleted with G03, audited with
//   G04, un-audited with G05, voided with G06, un-voided with G07;
// - an audited or voided bill keeps its header and lines, a posted bill its
//   lines and its life (the posting is taken off first); only the version
//   step of the price edit passes, whose prices go through otherin_set_price;
// - the posted marker, the write-off, split and reconciliation links are
//   written only by the owner's functions: otherin_split (G13),
//   otherin_restore (G14), otherin_write_off (G11) and
//   otherin_undo_write_off (G12), which check the states and rights
//   themselves.
// Administrators pass the rights, as in the windows, not the states. The
// owner, its members and superusers are trusted: they own the tables.
// The rules' triggers are made for a database's roles (by the set-up of the
// roles, which runs after every upgrade on a server): a database without
// roles has nobody to hold to them.
void addBillRules(Connection& connection);
void addBillRuleTriggers(Connection& connection, const ServerRoles& roles);

// The four bill procedures as the owner's functions (see above); the same
// answers, texts and writes as the module's own in a database file.
void addBillProcedures(Connection& connection);

}  // namespace otherin::db::schema
