#include "db/upgrade_server_roles.h"

#include "db/connection.h"

namespace otherin::db::schema {

void addServerRolesTable(Connection& connection) {
    if (!connection.dialect().isServer()) return;
    connection.exec(QStringLiteral(
        "create table tblServerRoles (fprefix text not null, constraint ck_tblServerRoles_one "
        "check (fprefix <> ''))"));
    // One row at the most.
    connection.exec(
        QStringLiteral("create unique index ux_tblServerRoles_one on tblServerRoles ((true))"));
}

}  // namespace otherin::db::schema
