#pragma once

namespace otherin::db {
class Connection;
}

namespace otherin::db::schema {

// Schema version 6: every committed write to a bill is announced to the
// other programs on the database, and who has which bill open is kept.
void addBillWatch(Connection& connection);

}  // namespace otherin::db::schema
