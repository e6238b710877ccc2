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
    explicit TransactionGuard(Connection& connection);
    ~TransactionGuard();
    TransactionGuard(const TransactionGuard&) = delete;
    TransactionGuard& operator=(const TransactionGuard&) = delete;

    void commit();
    void rollback();

  private:
    bool leave();
    void endOnDatabase();

    Connection& connection_;
    bool outer_ = false;
    bool done_ = false;
    int epoch_ = 0;
};

}  // namespace otherin::db
