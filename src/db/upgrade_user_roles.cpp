#include "db/upgrade_user_roles.h"

#include "db/connection.h"

namespace otherin::db::schema {

void addUserRoleNames(Connection& connection) {
    connection.exec(QStringLiteral("alter table tblUser add column frolename text"));
    connection.exec(QStringLiteral(
        "create unique index ux_tblUser_frolename on tblUser (frolename) where frolename is not "
        "null"));
}

}  // namespace otherin::db::schema
