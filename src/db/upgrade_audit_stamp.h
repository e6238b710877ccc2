#pragma once

namespace otherin::db {
class Connection;
}

namespace otherin::db::schema {

// Step 18: on a server, the audit of many bills costs no trigger call per
// bill for who and when: otherin_audit writes them itself (the login's own
// user and the server's clock, as the writer trigger would) and the writer
// trigger passes over its rows, over no clerk's own write (see
// passOverStampedAudits). The audit also clears the emptied ledger rows when
// it posts, so the module makes one call. Nothing in a database file.
void stampAudits(Connection& connection);

}  // namespace otherin::db::schema
