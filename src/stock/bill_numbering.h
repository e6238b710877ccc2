#pragma once

#include <QString>
#include <optional>

namespace otherin::db {
class Connection;
}
namespace otherin::entry {
struct LoginContext;
class Prompter;
}  // namespace otherin::entry

namespace otherin::stock {

// A bill number: the prefix, zeros up to `digits` and the counter in decimal.
// A counter as long as the digit count or longer gets no zeros.
QString formatBillNumber(const QString& prefix, qint32 counter, int digits);

// The number the next bill of `billTypeId` is expected to get, shown when a new
// bill is started; nothing is reserved. Sets ctx.gBillLength to the type's
// digit count. With ctx.gIsAddDelNumber 1 the oldest freed number of
// ctx.gBillTypeId comes first. Empty when the type has no counter row. Opens
// and closes the connection; a failure is shown through the standard error
// report and gives the empty text.
QString previewBillNumber(entry::LoginContext& ctx, entry::Prompter& prompter, int billTypeId);

// True when no bill of any type carries `number`.
bool billNumberIsFree(db::Connection& connection, const QString& number);

// Advances the id counter of `tableName` in tblmaxNum (creating its row at 1)
// and answers the new id. The advance and the read of its result are one
// step under the database's write lock, so two processes never get the same
// id. Outside a transaction it commits on its own; inside one it joins it.
// db::DbError when the id would not fit 32 bits.
qint32 nextInternalId(db::Connection& connection, const QString& tableName);

// How the save of a new bill takes its internal id and its number:
//
//     const auto id = issueBillId(ctx, prompter, typedNumber);  // no transaction open
//     if (!id) return false;                  // duplicate number, the user was told
//     db::TransactionGuard tx(ctx.gConnection);
//     const QString number = issueBillNumber(ctx, typedNumber);
//     ... insert the bill with *id and number, post, tx.commit() ...
//
// `typedNumber` is the bill-number field's text.

// Before the save's transaction. With ctx.gIsUpdateBillNo 1 a typed number
// (trimmed) already carried by a bill of any type is refused with
// "单据编号不能重复!" (critical icon, ctx.msgTitle): the connection is closed and
// nothing is written. Otherwise the bill id counter advances and commits at
// once, so the id stays used if the save fails later. Opens the connection;
// db::DbError propagates to the save's handler, also when a transaction is
// already open (the id would roll back with it).
std::optional<qint32> issueBillId(entry::LoginContext& ctx, entry::Prompter& prompter,
                                  const QString& typedNumber);

// Inside the save's open transaction, so everything here rolls back with it.
// With ctx.gIsAddDelNumber 1 the oldest freed number of the type is taken,
// even over a typed one, and the counter stays. Otherwise the number counter
// advances (a type without a counter row gets one at 1 with prefix "BIn" and
// the number "BIn0000001") and the number is the typed text when
// ctx.gIsUpdateBillNo is not 0, else prefix + zeros to ctx.gBillLength + the
// advanced counter. The issued number then leaves the freed numbers.
// db::DbError when no transaction is open, when the counter would not fit 32
// bits, or when (with ctx.gIsUpdateBillNo 1) a bill saved since issueBillId
// took the typed number.
QString issueBillNumber(entry::LoginContext& ctx, const QString& typedNumber);

}  // namespace otherin::stock
