#pragma once

#include <span>

#include "entry/login_context.h"
#include "support/test_database.h"

namespace otherin::testing {

// One row: the database before, one operation, all that is seen after.
//
// given: bills separated by "; ", then " | " and the ledger if any; "~" goes on
//   in the row before's database. A bill is its id and flags, then its lines as
//   item*qty[@price, default 2][=amount]: "1AV 101*5 102*4@2.5=10". Flags: A
//   audited (by user 5), V voided, P posted, R red, O dated before the period,
//   F on its first day, U3 entered by user 3, S1 split from bill 1, H4 written
//   off under 4, K7 reconciled with 7. Ledger: "101:8 103:3=9.99" (amount
//   default qty*2).
// run: operation[/mode...] argument. Modes: save (the ledger moves at save, not
//   at audit), own (own bills only), admin, closed (period closed), start10 (the
//   period starts 2026-12-10), freed (QTRK000003 freed before), protect (the
//   database refuses to delete lines).
// told: + or - (the answer, or a procedure's intValue), the icon (! exclamation,
//   i information, x critical, 0 none, ? an OK/Cancel question) and the one text
//   shown (a procedure's strInfo or error).
// after: bills | ledger | freed numbers ("1:QT04 2:QT05"); a part left out or
//   "~" is as before, "-" is empty. Bills read back with C2 for an auditor other
//   than 5 and #NUMBER for a number other than QTnn; a bill written without
//   lines keeps the lines it had.
struct Scenario {
    const char* given;
    const char* run;
    const char* told = "+";
    const char* after = "";
};

// Runs the rows in order, each checked against everything it states.
void runScenarios(std::span<const Scenario> rows);

// The seeding and the clerk (period 2026/12) the rows use, for tests of their own.
void seedBills(TestDatabase& db, const QString& given, const QStringList& modes = {});
void logIn(entry::LoginContext& ctx, const TestDatabase& db, const QString& user);
// The bills' flags and the ledger as a row's `after` writes them.
QString stateOf(TestDatabase& db);

}  // namespace otherin::testing
