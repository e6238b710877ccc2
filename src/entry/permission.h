#pragma once

#include <QString>

namespace otherin::entry {

struct LoginContext;
class Prompter;

// Answers whether the logged-in user holds the right `code` (e.g. "G01"),
// granted directly or through one of the user's groups. Administrators hold
// every right. A refusal is told to the user. The connection is closed
// afterwards in every case; a database error propagates to the caller.
bool hasRight(LoginContext& ctx, Prompter& prompter, const QString& code);

}  // namespace otherin::entry
