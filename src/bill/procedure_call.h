#pragma once

#include <QString>

namespace otherin::db {
class ProcedureParams;
}
namespace otherin::entry {
struct LoginContext;
}

namespace otherin::bill {

// Calls the database's stored procedure `name` on ctx's connection, opening it
// first; output parameters come back in `params`. On the embedded database the
// procedures are ours and are registered before the call. The connection stays
// open for the caller to close; db::DbError propagates.
void callProcedure(entry::LoginContext& ctx, const QString& name, db::ProcedureParams& params);

}  // namespace otherin::bill
