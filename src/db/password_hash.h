#pragma once

#include <QString>

namespace otherin::db {

// Passwords are kept only as salted, deliberately slow hashes in the
// self-describing text form of the hashing library (algorithm, limits, salt
// and digest in one string), so a stolen database gives away no password and
// guessing one costs real time per try.

// Raises DbError when the hash cannot be computed (out of memory).
QString hashPassword(const QString& password);

// True when `password` matches `hash`; an empty or malformed hash matches
// nothing.
bool verifyPassword(const QString& hash, const QString& password);

}  // namespace otherin::db
