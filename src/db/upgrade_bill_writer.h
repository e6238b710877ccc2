#pragma once

namespace otherin::db {
class Connection;
}

namespace otherin::db::schema {

// Step 10: on a server, who and when of a bill's last write (fmodifierid,
// fmodifytime) and of a deletion (tblBillDeleted) are set by the server from
// the clerk's login and its clock, whatever the client wrote, for every
// login that is a clerk's own (tblUser.frolename); other logins (the
// administrator's, the superuser) keep what the module wrote. Nothing in a
// database file.
void addBillWriterTrigger(Connection& connection);

}  // namespace otherin::db::schema
