#include "entry/login_context.h"

namespace otherin::entry {

bool openConnection(LoginContext& ctx) {
    ctx.gConnection.open(ctx.DBConnectionString);
    return true;
}

void closeConnection(LoginContext& ctx) {
    ctx.gConnection.close();
}

}  // namespace otherin::entry
