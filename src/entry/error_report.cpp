#include "entry/error_report.h"

#include "entry/login_context.h"
#include "entry/prompter.h"

namespace otherin::entry {

void reportError(LoginContext& ctx, Prompter& prompter, const QString& description) {
    prompter.message(description, Icon::Critical, ctx.msgTitle);
    closeConnection(ctx);
}

}  // namespace otherin::entry
