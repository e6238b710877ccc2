#pragma once

#include <QString>
#include <QtGlobal>
#include <vector>

namespace otherin::db {
class Connection;
}

namespace otherin::stock {

// A ledger key whose row (tblTimeStock) holds other figures than the lines of
// the bills that count add up to. A key without a row reads as 0 / 0 on the
// ledger side, a key no counting line posts to as 0 / 0 on the bills' side.
struct LedgerDifference {
    qint64 warehouseId = 0;
    qint64 itemId = 0;
    qint64 unitId = 0;
    QString batch;
    qint64 place = 0;
    double ledgerQty = 0;
    double ledgerAmount = 0;
    double billsQty = 0;
    double billsAmount = 0;
};

// Recomputes the current-stock ledger from the bills and answers every key
// where it differs from tblTimeStock, in key order. Which bills count follows
// the posting switch gIsCheckUpdate: with 0 every stored bill that is not
// voided (stock moves at save), with 1 every audited bill (stock moves at
// audit). A line counts with the signs it is stored with (red bills store
// negative quantities) and on its bill's warehouse. Both sides are compared
// at the ledger's six decimals, so a difference is a real one, never a
// rounding artefact. One statement, so it sees one consistent state; a
// database error raises db::DbError.
std::vector<LedgerDifference> checkLedger(db::Connection& connection, int checkUpdateSwitch);

// A bill whose posted marker (fstockposted) says otherwise than the switch:
// posted while it does not count, or counting while not posted. With every
// marker right and no differing key, the ledger holds the lines of exactly
// the marked bills.
struct MarkerDifference {
    qint32 interId = 0;
    QString billNo;
    bool posted = false;
};
std::vector<MarkerDifference> checkPostedMarkers(db::Connection& connection, int checkUpdateSwitch);

// Sets every wrong marker right and every differing key to what its bills add up to, in one write
// transaction that recomputes under the lock, so bills saved meanwhile are
// neither lost nor counted twice. A key whose bills add up to 0 / 0 loses its
// row. Answers the keys it rewrote, with the figures found before (the
// markers set right are not counted).
std::vector<LedgerDifference> repairLedger(db::Connection& connection, int checkUpdateSwitch);

}  // namespace otherin::stock
