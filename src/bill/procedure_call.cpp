#include "bill/procedure_call.h"

#include "bill/embedded_procedures.h"
#include "db/connection.h"
#include "entry/login_context.h"

namespace otherin::bill {

void callProcedure(entry::LoginContext& ctx, const QString& name, db::ProcedureParams& params) {
    entry::openConnection(ctx);
    db::Connection& connection = ctx.gConnection;
    registerEmbeddedProcedures(connection);
    connection.call(name, params);
}

}  // namespace otherin::bill
