#pragma once

namespace otherin::db {
class Connection;
}

namespace otherin::db::schema {

// Step 4: an index on the bill type alone, for the journal's default order.
void addBillTypeIndex(Connection& connection);

}  // namespace otherin::db::schema
