#pragma once

#include <QString>
#include <vector>

namespace otherin::db {
class Connection;
}

namespace otherin::entry {

struct LoginContext;

// The switches that decide how stock and bills move: gIsCheckUpdate,
// gIsCloseStock, gUpdateSingleBill, gIsAddDelNumber. They live in the
// database (tblSystemSwitch) and are the same for every user: per-user
// values would let one user's save and another's audit both post a bill.
struct SharedSwitch {
    QString name;
    int value = 0;
    QString note;
};

// The names, in the order they are listed.
const std::vector<QString>& sharedSwitchNames();

// Fills the context's switches from the open connection. A switch without a
// row is 0; a value that is not a number raises SettingsError.
void readSharedSwitches(LoginContext& ctx);

// Every known switch with its stored value (0 without a row) and note.
std::vector<SharedSwitch> listSharedSwitches(db::Connection& connection);

// The stored posting switch gIsCheckUpdate (0 without a row): the rule the
// ledger is checked under.
int postingSwitch(db::Connection& connection);

// Sets a switch to 0 or 1. Raises db::DbError for an unknown name or value,
// and for a change of gIsCheckUpdate while bills that count are not audited:
// their lines are in the ledger under one rule and would be posted or taken
// out again under the other.
void setSharedSwitch(db::Connection& connection, const QString& name, int value);

}  // namespace otherin::entry
