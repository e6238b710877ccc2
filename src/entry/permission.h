#pragma once

#include <QString>
#include <QStringList>

namespace otherin::entry {

struct LoginContext;
class Prompter;

// Answers whether the logged-in user holds the right `code` (e.g. "G01"),
// granted directly or through one of the user's groups. Administrators hold
// every right. A refusal is told to the user, naming what the right allows.
// The connection is closed afterwards in every case; a database error
// propagates to the caller.
bool hasRight(LoginContext& ctx, Prompter& prompter, const QString& code);

// Which of `codes` the logged-in user holds, without a word to the user, so a
// window can disable what would be refused. A database error propagates.
QStringList heldRights(LoginContext& ctx, const QStringList& codes);

// What a right allows, as the refusal names it ("审核单据" for G04); empty
// for a right this module does not use.
QString rightAction(const LoginContext& ctx, const QString& code);

}  // namespace otherin::entry
