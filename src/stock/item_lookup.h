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

// Looks up exactly one code (no partial matching) and fills ctx.lookup with the
// record found. Items locked in the base-data tree are not found; with a unit
// group given, only units of that group are. A database failure, or a NULL in
// a copied column, is reported with the critical icon and answers false; the
// record may then hold the fields copied before the failure.
bool lookupCode(entry::LoginContext& ctx, entry::Prompter& prompter, int kind, int itemClass,
                const QString& code, int unitGroup);

// Whether the unit `unitId` belongs to the unit group `unitGroup`. A database
// failure is reported with the critical icon and answers false.
bool unitInGroup(entry::LoginContext& ctx, entry::Prompter& prompter, int unitId, int unitGroup);

}  // namespace otherin::stock
