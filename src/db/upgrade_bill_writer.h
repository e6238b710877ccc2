#pragma once

namespace otherin::db {
class Connection;
struct ServerRoles;
}  // namespace otherin::db

namespace otherin::db::schema {

// Step 10: on a server, who and when of a bill's last write (fmodifierid,
// fmodifytime) and of a deletion (tblBillDeleted) are set by the server from
// the clerk's login and its clock, whatever the client wrote, for every
// login that is a clerk's own (tblUser.frolename); other logins (the
// administrator's, the superuser) keep what the module wrote. Nothing in a
// database file.
void addBillWriterTrigger(Connection& connection);

// The schema version from which the owner's audit stamps its own writes.
constexpr int kStampedAuditsVersion = 18;

// Step 18's writer trigger of the bills' updates: it passes over the rows
// otherin_audit stamps itself (who and when as the trigger sets them), and
// over nothing a clerk writes, whatever flags the clerk's session sets. With
// `roles`, the owner's code is told by its role; without, only a superuser's
// session is passed over. Remade with the roles when they are set up.
void passOverStampedAudits(Connection& connection, const ServerRoles* roles);
// The same for a database at step 18 or later whose roles are set up now.
void passOverStampedAuditsFor(Connection& connection, const ServerRoles& roles);

}  // namespace otherin::db::schema
