#include "entry/login_context.h"

#include "db/bill_watch.h"

namespace otherin::entry {

bool openConnection(LoginContext& ctx) {
    ctx.gConnection.open(ctx.DBConnectionString);
    return true;
}

void closeConnection(LoginContext& ctx) {
    ctx.gConnection.close();
}

db::BillWatch& watchBills(LoginContext& ctx) {
    if (!ctx.billWatch)
        ctx.billWatch = std::make_shared<db::BillWatch>(ctx.DBConnectionString, ctx.gConnection);
    return *ctx.billWatch;
}

}  // namespace otherin::entry
