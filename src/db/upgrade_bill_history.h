#pragma once

#include <QStringList>

namespace otherin::db {
class Connection;
}

namespace otherin::db::schema {

// Step 14: the change history (otherin_history). One row per bill per
// transaction that wrote it (fkind 'bill'), and one per administrative table
// per transaction (fkind the table's name): which operation (fop, several
// joined by 、 when one transaction did more), the server login (frole), the
// module user (fuserid), the database's time, and the state before and after
// (fbefore, fafter). A bill's state is its compact text (billHistoryText).
//
// On a server the history is written by the owner's triggers only, so every
// writer is recorded and nobody but the owner can change or delete a row:
// statement-level triggers with transition tables add to the transaction's
// row of each bill (keyed by txid_current(); rows copied from a file carry
// 0), the state after is taken once,
// at commit, and administrative tables record their changed rows as JSON
// (tblUser without what is kept of passwords). In a database file the module
// writes the bill rows in the operation's own transaction (see
// bill::BillHistory), and triggers record the administrative tables.
void addChangeHistory(Connection& connection);

// The administrative tables whose changes are recorded.
QStringList historyAdministrativeTables();

}  // namespace otherin::db::schema
