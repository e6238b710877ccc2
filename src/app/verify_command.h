#pragma once

#include <QString>
#include <QTextStream>

namespace otherin::app {

// `otherin verify --db PATH [--repair]`: compares the current-stock ledger with
// what the bills that count add up to (under the posting switch given, 0 at
// save or 1 at audit) and prints each differing key, the ledger's figures
// against the bills', and a summary. With `repair` the differing keys are then
// rewritten from the bills in one transaction and the ledger is checked again.
// Answers the process exit status: 0 when the ledger agrees with the bills
// (after the repair, when one was asked for), 1 when it differs or on an
// error (told on `err`). A database file that does not exist is an error, not
// a new empty database.
int runVerify(const QString& connectionString, bool repair, int checkUpdateSwitch, QTextStream& out,
              QTextStream& err);

}  // namespace otherin::app
