// A clerk at the journal window while other clerks save, for clerks_bench
// --journals: the window itself (off screen), filled by the query dialog's
// default query ("本期", the clerk's accounting period), following the other
// clerks' writes as it does on a desk. A journal clerk only watches; an
// auditing clerk also audits and deletes bills from it by the journal's own
// commands, as a person would, one bill at a time.
#pragma once

#include <QString>

namespace otherin::bench {

// Nanoseconds of the machine's steady clock, which every process reads alike.
qint64 steadyNs();

struct JournalClerkRun {
    QString connectionString;
    qint64 userId = 0;
    int period = 3;       // of 2026: the journal shows this period's bills
    bool audits = false;  // the clerk audits and deletes from the journal
    double seconds = 0;   // how long an auditing clerk works
    QString outFile;      // what the clerk did, written at the end
};

// Runs one clerk in this process: says "ready" once the journal shows, starts
// on "go" read from standard input and says "done" when it has written its
// file. A journal clerk follows until "stop", then until it has caught up
// with what it heard; an auditing clerk works `seconds` and ends. The file:
//   journal: "done RELOADS FOLLOWED REFRESHED FAILED RUN_MS", "ms …" (each
//            reload begun before "stop"), "seen ID:NS …" (when a reload first
//            showed each bill), "told …" (what the clerk was told, | apart);
//   auditor: "done AUDITS DELETES", "audited …", "deleted …", "told …".
// Exit code 1 when the clerk was told something it did not expect.
int runJournalClerk(int& argc, char** argv, const JournalClerkRun& run);

}  // namespace otherin::bench
