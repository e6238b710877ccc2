#pragma once

#include "db/connection.h"

namespace otherin::db {

// Holds one write transaction: begun on construction, rolled back on
// destruction unless committed. Nested guards join the outer transaction, so an
// operation's posting steps can be called inside a larger save.
//
// However commit or rollback end, no transaction is left open on the database
// afterwards: a failed commit is rolled back, and a failed rollback drops the
// physical connection. Both still raise the DbError they met.
class TransactionGuard {
  public:
    // How an outer transaction's commit reaches the disk.
    enum class Sync {
        // The commit is on the disk when commit() returns.
        Full,
        // The commit is written in order but forced to the disk only by the
        // next Full commit on the database, which carries it along. For a
        // write that nothing durable depends on until such a commit follows,
        // like a counter advanced before the save that uses it: a power cut
        // in between loses both or neither.
        WithNextCommit,
    };

    explicit TransactionGuard(Connection& connection, Sync sync = Sync::Full);
    ~TransactionGuard();
    TransactionGuard(const TransactionGuard&) = delete;
    TransactionGuard& operator=(const TransactionGuard&) = delete;

    void commit();
    void rollback();

  private:
    bool leave();
    void endOnDatabase();
    void restoreSync();

    Connection& connection_;
    bool outer_ = false;
    bool done_ = false;
    int epoch_ = 0;
    bool relaxed_ = false;
};

}  // namespace otherin::db
