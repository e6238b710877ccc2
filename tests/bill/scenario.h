#pragma once

#include <span>

#include "entry/login_context.h"
#include "entry/prompter.h"
#include "support/test_database.h"

namespace otherin::testing {

// The operations a scenario row can run. The Proc* rows call a stored procedure
// on its own: their answer is intValue 1, their text strInfo (or the database
// error it throws).
enum class Op {
    Audit,
    UnAudit,
    Void,
    UnVoid,
    Delete,
    SplitCheck,
    SplitSave,
    Restore,
    WriteOff,
    UnWriteOff,
    ProcSplit,
    ProcRestore,
    ProcWriteOff,
    ProcUnWriteOff,
};

// One row: the database before, one operation, everything seen after.
//
// Bills: "1AV 101*5 102*4@2.5=10; 2 101*1" is bill 1 (number QT01) with flags and
// lines item*qty[@price, default 2][=amount, default qty*price], then bill 2.
// Flags: A audited (by user 5), V voided, P posted, R red, O dated before the
// period, F on its first day, U3 entered by user 3, S1 split from bill 1, H4
// written off under 4, K7 reconciled with 7. After a run the bills read back the
// same way, with C2 for an auditor other than the seeded one and #NUMBER for a
// number other than QTnn; when `after` lists no lines, every line must be as it
// was. Ledger: "101:8 103:3=9.99" is item:qty[=amount, default qty*2].
// A null `bills` goes on in the row before's database; a null expectation means
// "as before the operation".
struct Scenario {
    const char* bills = nullptr;
    const char* ledger = "";
    Op op = Op::Audit;
    const char* arg = "";  // ids, one id, or "id:cut,cut" for a split
    int posting = 1;       // gIsCheckUpdate: 1 posts at audit, 0 at save
    // own: own bills only; admin; closed: period closed; start10: the period
    // starts 2026-12-10; freed: number QTRK000003 freed before; protect: the
    // database refuses to delete lines.
    const char* mode = "";
    bool answer = false;
    const char* text = "";  // the one message shown, "" for none
    entry::Icon icon = entry::Icon::Exclamation;
    bool asked = false;  // the text is an OK/Cancel question, not a message
    const char* after = nullptr;
    const char* ledgerAfter = nullptr;
    const char* freed = nullptr;  // tblBillNoAdd as "id:number ..."
};

// Runs the rows in order on the database the environment names.
void runScenarios(std::span<const Scenario> rows);

// The seeding and the clerk (user `user`, period 2026/12) the rows use, for the
// tests that run operations of their own.
void seedScenario(TestDatabase& db, const Scenario& s);
void logIn(entry::LoginContext& ctx, const TestDatabase& db, const QString& user);

}  // namespace otherin::testing
