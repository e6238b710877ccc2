#include "db/upgrade_audit_stamp.h"

#include "db/connection.h"
#include "db/server_roles.h"
#include "db/upgrade_bill_writer.h"
#include "db/upgrade_stock_posting.h"

namespace otherin::db::schema {

void stampAudits(Connection& connection) {
    if (!connection.dialect().isServer()) return;
    addAuditFunction(connection);
    const auto roles = serverRoles(connection);
    passOverStampedAudits(connection, roles ? &*roles : nullptr);
}

}  // namespace otherin::db::schema
