#pragma once

namespace otherin::db {
class Connection;
}

namespace otherin::db::schema {

// Step 3: password hashes in tblUser (stored text passwords are hashed and
// emptied), the login sessions of the host program (tblLoginSession) and the
// switches shared by every user of the database (tblSystemSwitch, all 0).
void upgradeLoginSessions(Connection& connection);

}  // namespace otherin::db::schema
