#pragma once

#include <QString>

namespace otherin::entry {
struct LoginContext;
class Prompter;
}  // namespace otherin::entry

namespace otherin::stock {

// Look-up kinds and the item classes with a meaning of their own.
inline constexpr int kLookupBaseData = 1;
inline constexpr int kLookupSubType = 2;
inline constexpr int kClassItem = 3;
inline constexpr int kClassUnit = 7;

// What a look-up learned. Failed: the database could not answer; the failure
// has been reported with the critical icon, so the caller adds no word of its
// own (an item that is there must not be called unknown).
enum class LookupAnswer { Found, NotFound, Failed };

// Looks up exactly one code (no partial matching) and fills ctx.lookup with the
// record found. Items locked in the base-data tree are not found; with a unit
// group given, only units of that group are. A database failure, or a NULL in
// a copied column, is Failed; the record may then hold the fields copied
// before the failure. NotFound leaves the record as it was.
LookupAnswer lookupCode(entry::LoginContext& ctx, entry::Prompter& prompter, int kind,
                        int itemClass, const QString& code, int unitGroup);

// Whether the unit `unitId` belongs to the unit group `unitGroup`: Found when
// it does, NotFound when it does not, Failed (reported) when the database
// could not tell.
LookupAnswer unitInGroup(entry::LoginContext& ctx, entry::Prompter& prompter, int unitId,
                         int unitGroup);

}  // namespace otherin::stock
