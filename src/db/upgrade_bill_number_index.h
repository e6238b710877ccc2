#pragma once

namespace otherin::db {
class Connection;
}

namespace otherin::db::schema {

// Keeps a bill number to one bill of each bill type; types may share numbers.
// Bills without a number (other modules store '') are left out.
inline constexpr const char* kBillNumberIndex = "ux_icstockbill_ftrantype_fbillno";

// Step 2: creates kBillNumberIndex. A database that already holds one number
// on two bills of a type cannot take the index: the step raises DbError
// naming the doubled numbers and the bills carrying them, its transaction
// rolls back, the file stays at version 1 exactly as it was, and the step
// runs again at the next start.
void addBillNumberIndex(Connection& connection);

}  // namespace otherin::db::schema
