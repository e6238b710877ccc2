#pragma once

namespace otherin::db {
class Connection;
}

namespace otherin::db::schema {

// Step 8: on a server, the table that keeps the prefix of the database's
// roles (db/server_roles.h); nothing in a database file.
void addServerRolesTable(Connection& connection);

}  // namespace otherin::db::schema
