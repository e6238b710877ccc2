#pragma once

#include <QString>
#include <optional>

#include "db/db_error.h"

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
// ctx.gBillTypeId comes first. Numbers a bill of the type already carries are
// passed over, as the issue passes them over. Empty when the type has no
// counter row. Opens and closes the connection; a failure is shown through
// the standard error report and gives the empty text.
QString previewBillNumber(entry::LoginContext& ctx, entry::Prompter& prompter, int billTypeId);

// True when no bill of any type carries `number`.
bool billNumberIsFree(db::Connection& connection, const QString& number);

// True when a bill of `billTypeId` carries `number`. An empty number is never
// taken: bills without a number may be many.
bool billNumberTakenInType(db::Connection& connection, int billTypeId, const QString& number);

// A save found its number carried by another bill of the type: the check
// inside the save's transaction saw it, or the database's unique index
// refused the row. The message is the one the user sees.
class DuplicateBillNumber : public db::DbError {
  public:
    DuplicateBillNumber();
};

// True when `error` is the unique index on (ftrantype, fbillno) refusing a row.
bool isBillNumberClash(const db::DbError& error);

// Advances the id counter of `tableName` in tblmaxNum (creating its row at 1)
// and answers the new id. The advance and the read of its result are one
// step under the database's write lock, so two processes never get the same
// id. Outside a transaction it commits on its own; inside one it joins it.
// db::DbError when the id would not fit 32 bits.
qint32 nextInternalId(db::Connection& connection, const QString& tableName);

// Offers `number` of `billTypeId` again (a deleted bill's, a restored split
// bill's), inside the caller's transaction.
void freeBillNumber(db::Connection& connection, int billTypeId, const QString& number);

// How the save of a new bill takes its internal id and its number:
//
//     const auto id = issueBillId(ctx, prompter, typedNumber);  // no transaction open
//     if (!id) return false;                  // duplicate number, the user was told
//     db::TransactionGuard tx(ctx.gConnection);
//     ... insert the bill with *id and no number, its lines ...
//     const QString number = numberNewBill(ctx, *id, typedNumber, posts);  // last
//     tx.commit();
//     tx.commit();
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
// No number a bill of the type carries is ever issued:
// - with ctx.gIsAddDelNumber 1 the oldest freed number of the type is taken,
//   even over a typed one, and the counter stays; freed numbers that bills
//   carry by now (or that are blank) leave the list first;
// - else with ctx.gIsUpdateBillNo not 0 the counter advances once and the
//   number is the typed text, trimmed: the text that was checked is the text
//   stored. A typed number carried meanwhile by a bill (of any type with
//   ctx.gIsUpdateBillNo 1, of the type otherwise) raises DuplicateBillNumber;
// - else the counter advances past the numbers bills of the type carry and
//   the number is prefix + zeros to ctx.gBillLength + the counter (a type
//   without a counter row gets one at 1 with prefix "BIn" and the number
//   "BIn0000001").
// The issued number then leaves the freed numbers. db::DbError when no
// transaction is open or when the counter would not fit 32 bits.
QString issueBillNumber(entry::LoginContext& ctx, const QString& typedNumber);

// Posts bill `interId`, which the open transaction made without a number,
// when `post` asks (as postAndClean does), then issues its number as
// issueBillNumber does and writes it into the bill. Meant as the save's last
// writes: the ledger's rows and then the type's counter row stay locked only
// until the commit that follows, not through the lines. On a server the
// counter's number is one call that posts and numbers. A number that another
// bill of the type took meanwhile raises DuplicateBillNumber.
QString numberNewBill(entry::LoginContext& ctx, qint32 interId, const QString& typedNumber,
                      bool post);

// Inside an open transaction: the next counter number of `billTypeId` with
// the type's own digit count (6 when it has none), passing over numbers bills
// of the type carry; the number leaves the freed numbers. For bills the
// program makes itself (a split), which never take typed or freed numbers.
QString issueCounterNumber(db::Connection& connection, int billTypeId);

}  // namespace otherin::stock
