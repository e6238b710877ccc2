#pragma once

#include <QString>

namespace otherin::entry {

struct LoginContext;
class Prompter;

// The standard error report of every operation: the failure's own text with
// the critical icon and the module's title; then the connection is closed.
void reportError(LoginContext& ctx, Prompter& prompter, const QString& description);

}  // namespace otherin::entry
