#pragma once

class QSqlDriver;

namespace otherin::db {

// Several clerks' programs write into one embedded file, one at a time: a
// writer that finds the file's write lock taken waits for it. SQLite's own
// timed wait sleeps in growing steps of up to 100 ms, so a writer often
// sleeps on long after the lock was given up while the others take it in
// turn. These waits are short and of random length instead: 0.5 to 2 ms at
// first, growing slowly to 1.5 to 6 ms, so every waiter looks again within a
// few ms of the lock's release and no two look in step. After `deadlineMs` of
// one wait the statement is answered busy, as before, and is told in the
// clerk's words like any lock held by another program.
//
// Installed on the driver's own SQLite handle; answers false (and changes
// nothing) when the driver holds none, e.g. a server's driver.
bool waitBrieflyWhenBusy(QSqlDriver* driver, int deadlineMs);

}  // namespace otherin::db
