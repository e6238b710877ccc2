#pragma once

#include <QList>
#include <QString>

namespace otherin::db {
class Connection;
}

namespace otherin::stock {

// Add: the lines start counting (quantity and amount go onto the ledger).
// Reverse: they stop counting (both are taken off again).
enum class PostDirection { Add, Reverse };

// Posts every line of the selected bills to the current-stock ledger
// (tblTimeStock). Each line counts for the key (bill warehouse fstockid1, item,
// unit, batch, stock place): a missing batch is the empty text, a missing stock
// place is 0. Add puts +quantity and +amount on the key's row, Reverse
// -quantity and -amount; a key without a row gets one with those values, so
// stock may go negative. Lines sharing a key land on one row.
//
// Runs inside the caller's open transaction on `connection`: it never begins,
// commits or rolls back, shows nothing, and lets db::DbError propagate so the
// caller's handler rolls the whole operation back. It leaves rows whose
// quantity reached 0 in place; removeZeroStockRows is the caller's next step
// where the operation calls for it.
void postToTimeStock(db::Connection& connection, qint32 interId, PostDirection direction);
void postToTimeStock(db::Connection& connection, const QList<qint32>& interIds,
                     PostDirection direction);
// The journal's id list text ("12,15,31"); a piece that is not an integer id
// raises db::DbError before anything is written.
void postToTimeStock(db::Connection& connection, const QString& idList, PostDirection direction);

// The zero-row clean-up after a posting: deletes the ledger rows that hold
// neither quantity nor amount, among the keys the lines of `interIds` post to.
// A row whose quantity is 0 but whose amount is not stays: it carries stock
// value that a later reversal at another price needs to find. Rows of other
// keys are left alone, so the cost follows the bills, not the ledger's size.
// Call it while the bills' lines are still stored.
void removeZeroStockRows(db::Connection& connection, const QList<qint32>& interIds);
void removeZeroStockRows(db::Connection& connection, qint32 interId);

// postToTimeStock and then removeZeroStockRows for one bill; on a server one
// statement does both.
void postAndClean(db::Connection& connection, qint32 interId, PostDirection direction);

}  // namespace otherin::stock
