#pragma once

namespace otherin::db {
class Connection;
}

namespace otherin::db::schema {

// Step 11: on a server, a clerk's own rows — the items staged for import
// (tblItemInput), the columns they hide (tblEntryVisible) and the bills they
// have open (tblBillOpen) — may be written only by that clerk's login (or an
// administrator's); everyone still reads them. Logins that are no clerk's
// own (the administrator's, the superuser) pass. Nothing in a database file.
void addOwnRowRules(Connection& connection);

}  // namespace otherin::db::schema
