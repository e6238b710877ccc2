#pragma once

namespace otherin::db {
class Connection;
}

namespace otherin::db::schema {

// Step 9: tblUser.frolename, the server login role of each clerk (empty in a
// database file and for users without a login of their own).
void addUserRoleNames(Connection& connection);

}  // namespace otherin::db::schema
