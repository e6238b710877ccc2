#pragma once

#include <QString>

namespace otherin::db {
class Connection;
}

namespace otherin::db::schema {

// Schema version 5: every bill carries a version with who wrote it last and
// when, deleted bills leave a record, and the bill view shows the version.
void addBillVersions(Connection& connection);

// The bill view's script, shipped with the program.
QString billViewScript();

}  // namespace otherin::db::schema
